#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "Exchange.hpp"
#include "Http2Session.hpp"

namespace ovix::devserver {

// One TLS connection of Http2Server: the handshake, which must choose h2,
// then the bytes between the socket and the connection's Http2Session.
// Belongs to the server's thread.
class Http2Connection {
 public:
  using Clock = Http2Session::Clock;

  // Takes `socket`, connected and non-blocking, and closes it when destroyed,
  // saying GOAWAY first when it can. `handler` and `answered` must outlive
  // the connection.
  Http2Connection(int socket, SSL_CTX* context, const ExchangeHandler& handler,
                  std::atomic<std::size_t>& answered);
  ~Http2Connection();
  Http2Connection(const Http2Connection&) = delete;
  Http2Connection& operator=(const Http2Connection&) = delete;

  int socket() const { return socket_; }
  // What to poll the socket for.
  short events() const;
  // When the next delayed answer is due.
  std::optional<Clock::time_point> nextDue() const {
    return session_ ? session_->nextDue() : std::nullopt;
  }
  // Whether closing it loses nothing (see Http2Session::idle) and all it
  // had to send is sent.
  bool idle() const { return session_ && session_->idle() && outputTaken_ == output_.size(); }
  // Queues what is due, then reads and writes what the socket allows.
  // Returns false once the connection is over.
  bool service(short revents, Clock::time_point now);

 private:
  struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
  };

  bool handshake();
  bool receive();
  bool send();
  // How the last TLS call that returned `result` went: true when it only
  // has to wait for the socket.
  bool mayRetry(int result);

  const int socket_;
  const ExchangeHandler& handler_;
  std::atomic<std::size_t>& answered_;
  std::unique_ptr<SSL, SslDeleter> ssl_;
  std::unique_ptr<Http2Session> session_;  // once the handshake is done
  std::string output_;                     // what the session queued and TLS has not taken yet
  std::size_t outputTaken_ = 0;
  bool wantsWrite_ = false;  // TLS waits for the socket to take more
};

}  // namespace ovix::devserver
