#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct ssl_st;

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
    kDrip,   // sends one more byte of body every kDripInterval
  };
  static constexpr std::chrono::milliseconds kDripInterval{100};

  explicit RawTlsServer(std::string reply, Mode mode = Mode::kClose);
  ~RawTlsServer();
  RawTlsServer(const RawTlsServer&) = delete;
  RawTlsServer& operator=(const RawTlsServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "https://localhost:<port><path>".
  std::string url(std::string_view path) const;

  // The bytes of request `index`, once it has arrived in full.
  std::optional<std::string> waitForRequest(std::size_t index, std::chrono::milliseconds timeout);

 private:
  void serve();
  void serveConnection(int connection);
  // What the mode does after the reply went out on `ssl`.
  void misbehave(int connection, ssl_st* ssl);
  // Waits up to `pause` for the server to stop; true when it did.
  bool stopsWithin(std::chrono::milliseconds pause);

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
