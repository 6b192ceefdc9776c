#pragma once

#include <nghttp2/nghttp2.h>
#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Exchange.hpp"

namespace ovix::devserver {

// One TLS connection of Http2Server and its HTTP/2 session: reads requests,
// hands each complete one to the handler and writes the answers, delayed
// ones once they are due. Belongs to the server's thread.
class Http2Connection {
 public:
  using Clock = std::chrono::steady_clock;

  // Takes `socket`, connected and non-blocking, and closes it when destroyed,
  // saying GOAWAY first when it can.
  // `handler` and `answered` must outlive the connection.
  Http2Connection(int socket, SSL_CTX* context, const ExchangeHandler& handler,
                  std::atomic<std::size_t>& answered);
  ~Http2Connection();
  Http2Connection(const Http2Connection&) = delete;
  Http2Connection& operator=(const Http2Connection&) = delete;

  int socket() const { return socket_; }
  // Whether it has answered a request and has no stream open: closing it
  // loses nothing, and the client knew to use it.
  bool idle() const { return answeredOne_ && streams_.empty() && outputTaken_ == output_.size(); }
  // What to poll the socket for.
  short events() const;
  // When the next delayed answer is due.
  std::optional<Clock::time_point> nextDue() const;
  // Answers what is due, then reads and writes what the socket allows.
  // Returns false once the connection is over.
  bool service(short revents, Clock::time_point now);

 private:
  struct Stream {
    Exchange exchange;
    std::size_t headBytes = 0;
    bool refused = false;
    Answer answer;
    std::size_t bodySent = 0;
    std::optional<Clock::time_point> due;
  };
  struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
  };
  struct SessionDeleter {
    void operator()(nghttp2_session* session) const { nghttp2_session_del(session); }
  };

  bool handshake();
  bool receive();
  bool send();
  // How the last TLS call that returned `result` went: true when it only
  // has to wait for the socket.
  bool mayRetry(int result);
  void complete(std::int32_t id);
  void respond(std::int32_t id);
  void refuse(std::int32_t id, Stream& stream);

  static int onBeginHeaders(nghttp2_session*, const nghttp2_frame* frame, void* self);
  static int onHeader(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
                      std::size_t nameLength, const std::uint8_t* value, std::size_t valueLength,
                      std::uint8_t flags, void* self);
  static int onData(nghttp2_session*, std::uint8_t flags, std::int32_t id, const std::uint8_t* data,
                    std::size_t length, void* self);
  static int onFrame(nghttp2_session*, const nghttp2_frame* frame, void* self);
  static int onClose(nghttp2_session*, std::int32_t id, std::uint32_t error, void* self);
  static ssize_t readBody(nghttp2_session*, std::int32_t id, std::uint8_t* buffer,
                          std::size_t length, std::uint32_t* flags, nghttp2_data_source*,
                          void* self);

  const int socket_;
  const ExchangeHandler& handler_;
  std::atomic<std::size_t>& answered_;
  std::unique_ptr<SSL, SslDeleter> ssl_;
  std::unique_ptr<nghttp2_session, SessionDeleter> session_;  // once the handshake is done
  std::map<std::int32_t, Stream> streams_;
  std::multimap<Clock::time_point, std::int32_t> due_;  // delayed answers by stream
  std::string output_;  // what the session wrote and TLS has not taken yet
  std::size_t outputTaken_ = 0;
  bool wantsWrite_ = false;  // TLS waits for the socket to take more
  bool answeredOne_ = false;
};

}  // namespace ovix::devserver
