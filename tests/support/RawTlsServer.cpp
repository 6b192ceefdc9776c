#include "support/RawTlsServer.hpp"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

#include "support/TlsServer.hpp"

namespace ovix::test {
namespace {

// The body length the head announces, in the field as libcurl spells it; 0
// without one.
std::size_t contentLength(const std::string& head) {
  const auto at = head.find("\r\nContent-Length:");
  return at == std::string::npos ? 0 : std::stoul(head.substr(at + 17));
}

}  // namespace

RawTlsServer::RawTlsServer(std::string reply, Mode mode) : reply_(std::move(reply)), mode_(mode) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, SOMAXCONN) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

RawTlsServer::~RawTlsServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    // Wakes the server thread from accept(), reading or a pause.
    if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
  }
  arrived_.notify_all();
  ::shutdown(listener_, SHUT_RDWR);
  thread_.join();
  ::close(listener_);
}

std::string RawTlsServer::url(std::string_view path) const {
  return "https://localhost:" + std::to_string(port_) + std::string(path);
}

std::optional<std::string> RawTlsServer::waitForRequest(std::size_t index,
                                                        std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const bool arrived = arrived_.wait_for(lock, timeout, [&] { return requests_.size() > index; });
  return arrived ? std::optional(requests_[index]) : std::nullopt;
}

bool RawTlsServer::stopsWithin(std::chrono::milliseconds pause) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, pause, [this] { return stopping_; });
}

void RawTlsServer::serve() {
  // A client that hangs up first must not end the process: writes then fail
  // with EPIPE instead.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  for (;;) {
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || connection < 0) {
        if (connection >= 0) ::close(connection);
        return;
      }
      connection_ = connection;
    }
    const int on = 1;  // replies written piecemeal must not wait for acknowledgements
    ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    serveConnection(connection);
    std::lock_guard lock(mutex_);
    connection_ = -1;
    ::close(connection);
  }
}

void RawTlsServer::serveConnection(int connection) {
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()),
                                                            SSL_CTX_free);
  const auto certificate = TlsServer::credentials(TlsServer::Certificate::kTrusted);
  if (!context || SSL_CTX_use_certificate(context.get(), certificate->certificate()) != 1 ||
      SSL_CTX_use_PrivateKey(context.get(), certificate->key()) != 1) {
    return;
  }
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), SSL_free);
  if (!ssl || SSL_set_fd(ssl.get(), connection) != 1 || SSL_accept(ssl.get()) != 1) {
    ERR_clear_error();
    return;
  }
  std::string received;
  std::size_t headEnd = std::string::npos;
  char buffer[4096];
  for (;;) {
    if (headEnd == std::string::npos) {
      if (auto end = received.find("\r\n\r\n"); end != std::string::npos) headEnd = end + 4;
    }
    if (headEnd != std::string::npos &&
        received.size() >= headEnd + contentLength(received.substr(0, headEnd))) {
      break;
    }
    const int n = SSL_read(ssl.get(), buffer, sizeof buffer);
    if (n <= 0) {
      ERR_clear_error();
      return;
    }
    received.append(buffer, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(received));
  }
  arrived_.notify_all();
  if (!reply_.empty()) SSL_write(ssl.get(), reply_.data(), static_cast<int>(reply_.size()));
  misbehave(connection, ssl.get());
  ERR_clear_error();
}

void RawTlsServer::misbehave(int connection, SSL* ssl) {
  switch (mode_) {
    case Mode::kClose:
      SSL_shutdown(ssl);
      return;
    case Mode::kStall: {
      // Reads until the client hangs up or the destructor shuts the socket down.
      char buffer[256];
      while (SSL_read(ssl, buffer, sizeof buffer) > 0) {
      }
      return;
    }
    case Mode::kReset: {
      const linger abort{1, 0};  // close() then sends RST instead of FIN
      ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      return;
    }
    case Mode::kDrip:
      // Bounded by the client, who hangs up when its time-out runs out.
      while (!stopsWithin(kDripInterval) && SSL_write(ssl, "x", 1) == 1) {
      }
      return;
  }
}

}  // namespace ovix::test
