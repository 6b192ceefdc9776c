#include "Http2Server.hpp"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "Http2Connection.hpp"

namespace ovix::devserver {
namespace {

using Clock = Http2Connection::Clock;
using Connections = std::vector<std::unique_ptr<Http2Connection>>;

// Chooses "h2" from the protocols the client offers, and refuses the
// handshake when it is not among them.
int selectH2(SSL*, const unsigned char** selected, unsigned char* selectedLength,
             const unsigned char* offered, unsigned int offeredLength, void*) {
  for (unsigned i = 0; i < offeredLength; i += 1u + offered[i]) {
    if (offered[i] == 2 && i + 3 <= offeredLength && std::memcmp(offered + i + 1, "h2", 2) == 0) {
      *selected = offered + i + 1;
      *selectedLength = 2;
      return SSL_TLSEXT_ERR_OK;
    }
  }
  return SSL_TLSEXT_ERR_ALERT_FATAL;
}

// Milliseconds until the first delayed answer of any connection; -1 for none.
int pollTimeout(const Connections& open) {
  std::optional<Clock::time_point> first;
  for (const auto& connection : open) {
    const auto due = connection->nextDue();
    if (due && (!first || *due < *first)) first = due;
  }
  if (!first) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*first - Clock::now());
  return static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 60'000));
}

}  // namespace

Http2Server::Http2Server(std::shared_ptr<const Certificate> certificate, ExchangeHandler handler)
    : certificate_(std::move(certificate)), handler_(std::move(handler)) {}

Http2Server::~Http2Server() {
  stop();
}

std::optional<std::string> Http2Server::start(const std::string& host, std::uint16_t port) {
  if (context_) return "the server has already been started";
  context_.reset(SSL_CTX_new(TLS_server_method()));
  SSL_CTX* context = context_.get();
  const bool ready = context && certificate_ &&
                     SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) == 1 &&
                     SSL_CTX_use_certificate(context, certificate_->certificate()) == 1 &&
                     SSL_CTX_use_PrivateKey(context, certificate_->key()) == 1;
  ERR_clear_error();
  if (!ready) return "cannot set up TLS with the server's certificate";
  SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_alpn_select_cb(context, selectH2, nullptr);
  if (auto failure = listen(host, port)) return failure;
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) return "cannot make an eventfd: " + std::generic_category().message(errno);
  thread_ = std::thread([this] { run(); });
  return std::nullopt;
}

void Http2Server::stop() {
  if (wake_ >= 0) {
    const std::uint64_t one = 1;
    const auto written = ::write(wake_, &one, sizeof one);
    static_cast<void>(written);  // an eventfd takes it unless 2^64 - 2 came before
  }
  if (thread_.joinable()) thread_.join();
  for (int* descriptor : {&listener_, &wake_}) {
    if (*descriptor >= 0) ::close(*descriptor);
    *descriptor = -1;
  }
}

std::optional<std::string> Http2Server::listen(const std::string& host, std::uint16_t port) {
  const std::string where = host + ":" + std::to_string(port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    return "cannot listen on " + where + " (no such host)";
  }
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
  int error = 0;
  for (const addrinfo* address = found; address; address = address->ai_next) {
    const int socket =
        ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // Without SO_REUSEPORT, so that a second server on a busy port fails.
    const int on = 1;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (socket >= 0 && ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
        ::bind(socket, address->ai_addr, address->ai_addrlen) == 0 &&
        ::listen(socket, SOMAXCONN) == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
      listener_ = socket;
      port_ = ntohs(bound.ss_family == AF_INET6
                        ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                        : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
      return std::nullopt;
    }
    error = errno;
    if (socket >= 0) ::close(socket);
  }
  return "cannot listen on " + where + " (" + std::generic_category().message(error) + ")";
}

void Http2Server::run() {
  // A client that hangs up first must not end the process: writes then fail
  // with EPIPE instead.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

  Connections open;
  std::vector<pollfd> polled;
  const auto idle = [](const auto& connection) { return connection->idle(); };
  for (;;) {
    // Beyond the bound, a client waits to be accepted until a connection
    // closes, or is closed for it when idle.
    const bool accepting =
        open.size() < kMaxConnections || std::any_of(open.begin(), open.end(), idle);
    polled.assign({{wake_, POLLIN, 0}, {listener_, static_cast<short>(accepting ? POLLIN : 0), 0}});
    for (const auto& connection : open) {
      polled.push_back({connection->socket(), connection->events(), 0});
    }
    if (::poll(polled.data(), polled.size(), pollTimeout(open)) < 0 && errno != EINTR) return;
    if (polled[0].revents != 0) return;
    const auto now = Clock::now();
    for (std::size_t i = 0; i < open.size(); ++i) {
      if (!open[i]->service(polled[i + 2].revents, now)) open[i].reset();
    }
    std::erase(open, nullptr);
    if ((polled[1].revents & POLLIN) == 0) continue;
    if (open.size() == kMaxConnections) {
      const auto oldest = std::find_if(open.begin(), open.end(), idle);
      if (oldest != open.end()) open.erase(oldest);
    }
    while (open.size() < kMaxConnections) {
      const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (socket < 0) break;
      const int on = 1;  // answers must not wait for delayed acknowledgements
      ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      ++connections_;
      open.push_back(
          std::make_unique<Http2Connection>(socket, context_.get(), handler_, answered_));
    }
  }
}

}  // namespace ovix::devserver
