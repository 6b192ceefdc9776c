#pragma once

// The loopback servers the tests talk to.

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "devserver/Certificate.hpp"
#include "platform/net/NetworkThread.hpp"

namespace ovix::test {

// A real HTTPS server on 127.0.0.1 with an ephemeral port, serving from its
// own threads. Reach it as https://localhost:port/ or through
// net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", port()).
// Handlers run on server threads; every other call is thread-safe.
class TlsServer {
 public:
  enum class Certificate {
    kTrusted,    // in trustedCertificatesPath()
    kExpired,    // in trustedCertificatesPath(), valid until yesterday
    kUntrusted,  // a certificate of its own, trusted nowhere
    kWrongHost,  // in trustedCertificatesPath(), for another host than the test hosts
    kNone,       // no TLS: a plain HTTP server, reached as http://localhost:port/
  };

  // A PEM file, made once per process and removed at exit, holding the
  // kTrusted, kExpired and kWrongHost certificates: hand it to
  // net::setExtraTrustedCertificates.
  static const std::string& trustedCertificatesPath() { return trusted().path; }
  // The certificate and key of `certificate` (not kNone), the same for the
  // process but for kUntrusted, which is new each time.
  static std::shared_ptr<const devserver::Certificate> credentials(Certificate certificate) {
    if (certificate == Certificate::kUntrusted) return make("Ovix Untrusted Test Server");
    return certificate == Certificate::kExpired     ? trusted().expired
           : certificate == Certificate::kWrongHost ? trusted().wrongHost
                                                    : trusted().now;
  }

  // `threads` bounds the requests served, or held, at once. A connection is
  // kept while idle for 5 s and 5 requests, the server library's defaults,
  // or with a `keepAlive` time, that long and any number of requests.
  explicit TlsServer(Certificate certificate = Certificate::kTrusted, std::size_t threads = 16,
                     std::chrono::seconds keepAlive = std::chrono::seconds(0))
      : secure_(certificate != Certificate::kNone) {
    if (secure_) {
      const auto presented = credentials(certificate);
      server_ = std::make_unique<httplib::SSLServer>(presented->certificate(), presented->key());
    } else {
      server_ = std::make_unique<httplib::Server>();
    }
    if (!server_->is_valid()) throw std::runtime_error("cannot set up the TLS server");
    // The server library calls this as it starts serving, after it can be stopped.
    auto serving = std::make_shared<std::promise<void>>();
    server_->new_task_queue = [serving, threads] {
      serving->set_value();
      return new httplib::ThreadPool(threads);
    };
    // Without it, replies written piecemeal wait for delayed acknowledgements.
    server_->set_tcp_nodelay(true);
    if (keepAlive.count() > 0) {
      server_->set_keep_alive_timeout(keepAlive.count());
      server_->set_keep_alive_max_count(1000);
    }
    auto listener = std::make_shared<int>(-1);
    server_->set_socket_options([listener](int fd) {
      const int on = 1;
      ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
      *listener = fd;
    });
    const httplib::Server::Handler serve = [this](const auto& request, auto& response) {
      this->serve(request, response);
    };
    server_->Get(".*", serve).Post(".*", serve).Put(".*", serve);
    const int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("cannot bind the TLS server");
    port_ = static_cast<std::uint16_t>(port);
    // The library listens with a short backlog; a burst of clients needs more.
    if (*listener >= 0) ::listen(*listener, SOMAXCONN);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    serving->get_future().wait();
  }
  // Releases held handlers, then stops and joins the server. The SDK closes
  // its idle connections first: the server would wait for them.
  ~TlsServer() {
    net::NetworkThread::shared().closeIdleConnections();
    update([this] { stopping_ = true; });
    server_->stop();
    thread_.join();
  }
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "https://localhost:<port><path>" ("http:" for kNone).
  std::string url(std::string_view path) const {
    return (secure_ ? "https://localhost:" : "http://localhost:") + std::to_string(port_) +
           std::string(path);
  }

  // Serves requests of `method` whose path fully
  // matches `pathPattern`; the handler sees the pattern's groups. A later
  // handler for the same request wins. Others get 404.
  void handle(const std::string& method, const std::string& pathPattern,
              httplib::Server::Handler handler) {
    std::lock_guard lock(mutex_);
    routes_.emplace_back(method, std::regex(pathPattern), std::move(handler));
  }

  // For handlers and content providers: blocks until releaseHeld() or the
  // server stops. Returns false when it stops.
  bool hold() {
    std::unique_lock lock(mutex_);
    ++held_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_ || stopping_; });
    --held_;
    return !stopping_;
  }
  // Waits until `count` calls of hold() are blocked.
  bool waitForHeld(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return held_ >= count; });
  }
  // Lets every held call, and all later ones, go on.
  void releaseHeld() {
    update([this] { released_ = true; });
  }

  // The requests received so far, as the server parsed them (`target` keeps
  // the path and query undecoded).
  std::vector<httplib::Request> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  using Route = std::tuple<std::string, std::regex, httplib::Server::Handler>;  // method, path

  static std::shared_ptr<const devserver::Certificate> make(
      const std::string& name, bool expired = false,
      const std::string& names = devserver::Certificate::kServerNames) {
    using namespace std::chrono_literals;
    auto made =
        devserver::Certificate::make(name, expired ? -48h : -1h, expired ? -24h : 24h, names);
    if (!made) throw std::runtime_error("cannot make the test certificate " + name);
    return made;
  }

  // The certificates trustedCertificatesPath() holds, and the file.
  struct Trusted {
    std::shared_ptr<const devserver::Certificate> now = make("Ovix Test Server");
    std::shared_ptr<const devserver::Certificate> expired = make("Ovix Expired Test Server", true);
    std::shared_ptr<const devserver::Certificate> wrongHost =
        make("Ovix Elsewhere Test Server", false, "DNS:elsewhere.ovix.invalid");
    std::string path = "/tmp/ovix-trusted-XXXXXX";

    Trusted() {
      ::close(::mkstemp(path.data()));
      if (!(std::ofstream(path) << now->pem() << expired->pem() << wrongHost->pem())) {
        throw std::runtime_error("cannot write the trusted certificates file");
      }
    }
    ~Trusted() { ::unlink(path.c_str()); }
  };
  static const Trusted& trusted() {
    static const Trusted certificates;
    return certificates;
  }

  // Changes the state under the lock and wakes the waiters.
  template <typename Change>
  void update(Change change) {
    {
      std::lock_guard lock(mutex_);
      change();
    }
    changed_.notify_all();
  }

  void serve(const httplib::Request& request, httplib::Response& response) {
    httplib::Request routed = request;
    httplib::Server::Handler handler = [](const auto&, auto& response) { response.status = 404; };
    std::unique_lock lock(mutex_);
    requests_.push_back(request);
    for (auto route = routes_.rbegin(); route != routes_.rend(); ++route) {
      const auto& [method, pattern, serves] = *route;
      if (method == request.method && std::regex_match(routed.path, routed.matches, pattern)) {
        handler = serves;
        break;
      }
    }
    lock.unlock();
    handler(routed, response);
  }

  std::unique_ptr<httplib::Server> server_;
  const bool secure_;
  std::uint16_t port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Route> routes_;               // guarded by mutex_
  std::vector<httplib::Request> requests_;  // guarded by mutex_
  std::size_t held_ = 0;                    // guarded by mutex_
  bool released_ = false;                   // guarded by mutex_
  bool stopping_ = false;                   // guarded by mutex_
};

// A TLS server on 127.0.0.1 that keeps each request's bytes exactly as they
// arrived (head and Content-Length body) and answers every connection with
// the same raw reply, then behaves as its mode says. For checking what goes
// on the wire, which a parsing server hides, and for servers that misbehave
// in ways a parsing server cannot. Presents TlsServer's kTrusted certificate; serves
// one connection at a time on its own thread. Thread-safe.
class RawTlsServer {
 public:
  // What follows the reply. Every mode ends when the client hangs up or the
  // server is destroyed.
  enum class Mode {
    kClose,  // closes the connection cleanly
    kStall,  // keeps the connection open and sends nothing more
    kReset,  // resets the connection (TCP RST, no TLS close)
    kDrip,   // sends one more byte of body every 100 ms
  };

  explicit RawTlsServer(std::string reply, Mode mode = Mode::kClose)
      : reply_(std::move(reply)), mode_(mode) {
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
  ~RawTlsServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      // Wakes the server thread from accept(), reading or a pause.
      if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
    }
    stopped_.notify_all();
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  RawTlsServer(const RawTlsServer&) = delete;
  RawTlsServer& operator=(const RawTlsServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "https://localhost:<port><path>".
  std::string url(std::string_view path) const {
    return "https://localhost:" + std::to_string(port_) + std::string(path);
  }

  // The bytes of each request that arrived in full, recorded before the reply goes out.
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void serve() {
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
      ERR_clear_error();
      std::lock_guard lock(mutex_);
      connection_ = -1;
      ::close(connection);
    }
  }

  void serveConnection(int connection) {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()),
                                                              SSL_CTX_free);
    const auto certificate = TlsServer::credentials(TlsServer::Certificate::kTrusted);
    if (!context || SSL_CTX_use_certificate(context.get(), certificate->certificate()) != 1 ||
        SSL_CTX_use_PrivateKey(context.get(), certificate->key()) != 1) {
      return;
    }
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), SSL_free);
    if (!ssl || SSL_set_fd(ssl.get(), connection) != 1 || SSL_accept(ssl.get()) != 1) return;
    // Reads the head, then as many body bytes as its Content-Length (as
    // libcurl spells it) announces.
    std::string received;
    for (std::size_t headEnd = std::string::npos, length = 0;;) {
      if (headEnd == std::string::npos) {
        if (auto end = received.find("\r\n\r\n"); end != std::string::npos) {
          headEnd = end + 4;
          const auto at = received.substr(0, headEnd).find("\r\nContent-Length:");
          if (at != std::string::npos) length = std::stoul(received.substr(at + 17));
        }
      }
      if (headEnd != std::string::npos && received.size() >= headEnd + length) break;
      char buffer[4096];
      const int n = SSL_read(ssl.get(), buffer, sizeof buffer);
      if (n <= 0) return;
      received.append(buffer, static_cast<std::size_t>(n));
    }
    std::unique_lock lock(mutex_);
    requests_.push_back(std::move(received));
    lock.unlock();
    if (!reply_.empty()) SSL_write(ssl.get(), reply_.data(), static_cast<int>(reply_.size()));
    char buffer[256];
    switch (mode_) {
      case Mode::kClose:
        SSL_shutdown(ssl.get());
        return;
      case Mode::kStall:
        // Reads until the client hangs up or the destructor shuts the socket down.
        while (SSL_read(ssl.get(), buffer, sizeof buffer) > 0) {
        }
        return;
      case Mode::kReset: {
        const linger abort{1, 0};  // close() then sends RST instead of FIN
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        return;
      }
      case Mode::kDrip: {
        // Bounded by the client, who hangs up when its time-out runs out.
        const auto stopsWithinAPause = [this] {
          std::unique_lock lock(mutex_);
          return stopped_.wait_for(lock, std::chrono::milliseconds(100),
                                   [this] { return stopping_; });
        };
        while (!stopsWithinAPause() && SSL_write(ssl.get(), "x", 1) == 1) {
        }
        return;
      }
    }
  }

  const std::string reply_;
  const Mode mode_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<std::string> requests_;  // guarded by mutex_
  int connection_ = -1;                // guarded by mutex_
  bool stopping_ = false;              // guarded by mutex_
};

}  // namespace ovix::test
