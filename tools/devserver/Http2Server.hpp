#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "Certificate.hpp"
#include "Exchange.hpp"

namespace ovix::devserver {

// An HTTP/2 server over TLS (libnghttp2 and OpenSSL), for loopback: ALPN
// "h2" only, so a client that does not offer it is refused. Each complete
// request goes to the handler on the server's one thread, which serves every
// connection with a poll loop: the handler must not block, and asks for a
// delay in its answer instead, which holds back that answer only. Bounded:
// 64 connections (a client beyond waits to be accepted, and an idle
// connection that has answered is closed for it), 100 concurrent streams
// each, request heads of 64 KiB and bodies of 1 MiB (a larger one resets its
// stream). A handler that throws answers 500.
// Construct, start(), stop() and destroy on the thread that owns the server;
// port(), connections() and answered() from any thread once started.
class Http2Server {
 public:
  static constexpr std::size_t kMaxConnections = 64;
  static constexpr std::uint32_t kMaxStreams = 100;
  static constexpr std::size_t kMaxHeadBytes = 64 * 1024;
  static constexpr std::size_t kMaxBodyBytes = 1 << 20;

  Http2Server(std::shared_ptr<const Certificate> certificate, ExchangeHandler handler);
  // Stops.
  ~Http2Server();
  Http2Server(const Http2Server&) = delete;
  Http2Server& operator=(const Http2Server&) = delete;

  // Listens on `host`:`port` (0 picks a free port) and starts serving.
  // Returns why it could not; a server starts at most once.
  std::optional<std::string> start(const std::string& host, std::uint16_t port);
  // Drops delayed answers, closes every connection and joins the server's
  // thread. Safe to call more than once.
  void stop();

  std::uint16_t port() const { return port_; }
  // The connections accepted so far.
  std::size_t connections() const { return connections_.load(); }
  // The requests answered so far.
  std::size_t answered() const { return answered_.load(); }

 private:
  struct ContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
  };

  std::optional<std::string> listen(const std::string& host, std::uint16_t port);
  void run();

  const std::shared_ptr<const Certificate> certificate_;
  const ExchangeHandler handler_;
  std::unique_ptr<SSL_CTX, ContextDeleter> context_;
  int listener_ = -1;
  int wake_ = -1;  // an eventfd, readable once stop() is called
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<std::size_t> connections_{0};
  std::atomic<std::size_t> answered_{0};
};

}  // namespace ovix::devserver
