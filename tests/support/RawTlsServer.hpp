#pragma once

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
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/TlsServer.hpp"

namespace ovix::test {

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
    arrived_.notify_all();
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

  // The bytes of request `index`, once it has arrived in full.
  std::optional<std::string> waitForRequest(std::size_t index, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const bool arrived = arrived_.wait_for(lock, timeout, [&] { return requests_.size() > index; });
    return arrived ? std::optional(requests_[index]) : std::nullopt;
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
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(std::move(received));
    }
    arrived_.notify_all();
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
          return arrived_.wait_for(lock, std::chrono::milliseconds(100),
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
  std::condition_variable arrived_;
  std::vector<std::string> requests_;  // guarded by mutex_
  int connection_ = -1;                // guarded by mutex_
  bool stopping_ = false;              // guarded by mutex_
};

}  // namespace ovix::test
