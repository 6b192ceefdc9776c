#pragma once

#include <nghttp2/nghttp2.h>

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

// The HTTP/2 side of one connection of Http2Server: an nghttp2 server
// session, its streams and their delayed answers. It takes the bytes the
// client sent and gives the bytes to send back; each complete request goes to
// the handler, whose answer goes out at once or when its delay is up.
// Belongs to the server's thread.
class Http2Session {
 public:
  using Clock = std::chrono::steady_clock;

  // A session with its SETTINGS queued; open() is false when nghttp2 could
  // not make it. `handler` and `answered` must outlive it.
  Http2Session(const ExchangeHandler& handler, std::atomic<std::size_t>& answered);
  ~Http2Session();
  Http2Session(const Http2Session&) = delete;
  Http2Session& operator=(const Http2Session&) = delete;

  // Whether it still reads or writes: false after a fatal error, or once
  // GOAWAY has gone both ways.
  bool open() const;
  // Whether it has answered a request and has no stream open: closing it
  // loses nothing, and the client knew to use it.
  bool idle() const { return answeredOne_ && streams_.empty(); }
  // When the next delayed answer is due.
  std::optional<Clock::time_point> nextDue() const;

  // Takes bytes from the client; false on a fatal error.
  bool receive(const std::uint8_t* data, std::size_t length);
  // Queues the answers due by `now`.
  void answerDue(Clock::time_point now);
  // Appends what there is to send to `output` while it holds fewer than
  // `limit` bytes; false on a fatal error.
  bool send(std::string& output, std::size_t limit);
  // Queues GOAWAY.
  void terminate();

 private:
  struct Stream {
    Exchange exchange;
    std::size_t headBytes = 0;
    bool refused = false;
    Answer answer;
    std::size_t bodySent = 0;
    std::optional<Clock::time_point> due;
  };
  struct SessionDeleter {
    void operator()(nghttp2_session* session) const { nghttp2_session_del(session); }
  };

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

  const ExchangeHandler& handler_;
  std::atomic<std::size_t>& answered_;
  std::map<std::int32_t, Stream> streams_;
  std::multimap<Clock::time_point, std::int32_t> due_;  // delayed answers by stream
  bool answeredOne_ = false;
  // Last, so that it goes first: its callbacks reach the members above.
  std::unique_ptr<nghttp2_session, SessionDeleter> session_;
};

}  // namespace ovix::devserver
