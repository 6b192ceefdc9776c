#include "Http2Session.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "Http2Server.hpp"

namespace ovix::devserver {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path of `target`, the part before any '?', with each %XX replaced by
// its byte.
std::string decodedPath(std::string_view target) {
  const std::string_view path = target.substr(0, target.find('?'));
  std::string decoded;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() && hexDigit(path[i + 1]) >= 0 &&
        hexDigit(path[i + 2]) >= 0) {
      decoded += static_cast<char>(hexDigit(path[i + 1]) * 16 + hexDigit(path[i + 2]));
      i += 2;
    } else {
      decoded += path[i];
    }
  }
  return decoded;
}

std::uint8_t* nvBytes(std::string& text) {
  return reinterpret_cast<std::uint8_t*>(text.data());
}

Http2Session& sessionOf(void* self) {
  return *static_cast<Http2Session*>(self);
}

}  // namespace

Http2Session::Http2Session(const ExchangeHandler& handler, std::atomic<std::size_t>& answered)
    : handler_(handler), answered_(answered) {
  nghttp2_session_callbacks* callbacks = nullptr;
  if (nghttp2_session_callbacks_new(&callbacks) != 0) return;
  nghttp2_session_callbacks_set_on_begin_headers_callback(callbacks, onBeginHeaders);
  nghttp2_session_callbacks_set_on_header_callback(callbacks, onHeader);
  nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, onData);
  nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, onFrame);
  nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, onClose);
  nghttp2_session* session = nullptr;
  const int made = nghttp2_session_server_new(&session, callbacks, this);
  nghttp2_session_callbacks_del(callbacks);
  if (made != 0) return;
  session_.reset(session);
  const nghttp2_settings_entry settings[] = {
      {NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, Http2Server::kMaxStreams},
      {NGHTTP2_SETTINGS_MAX_HEADER_LIST_SIZE, Http2Server::kMaxHeadBytes}};
  if (nghttp2_submit_settings(session, NGHTTP2_FLAG_NONE, settings, std::size(settings)) != 0) {
    session_.reset();
  }
}

Http2Session::~Http2Session() {
  session_.reset();  // before the streams its callbacks reach
}

bool Http2Session::open() const {
  return session_ && (nghttp2_session_want_read(session_.get()) != 0 ||
                      nghttp2_session_want_write(session_.get()) != 0);
}

std::optional<Http2Session::Clock::time_point> Http2Session::nextDue() const {
  if (due_.empty()) return std::nullopt;
  return due_.begin()->first;
}

bool Http2Session::receive(const std::uint8_t* data, std::size_t length) {
  return session_ && nghttp2_session_mem_recv(session_.get(), data, length) >= 0;
}

void Http2Session::answerDue(Clock::time_point now) {
  while (!due_.empty() && due_.begin()->first <= now) {
    const std::int32_t id = due_.begin()->second;
    due_.erase(due_.begin());
    streams_.at(id).due.reset();  // a closed stream takes its entry with it
    respond(id);
  }
}

bool Http2Session::send(std::string& output, std::size_t limit) {
  const std::uint8_t* data = nullptr;
  while (session_ && output.size() < limit) {
    const ssize_t length = nghttp2_session_mem_send(session_.get(), &data);
    if (length < 0) return false;
    if (length == 0) break;
    output.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
  }
  return session_ != nullptr;
}

void Http2Session::terminate() {
  if (session_) nghttp2_session_terminate_session(session_.get(), NGHTTP2_NO_ERROR);
}

void Http2Session::complete(std::int32_t id) {
  const auto found = streams_.find(id);
  if (found == streams_.end() || found->second.refused) return;
  Stream& stream = found->second;
  stream.exchange.path = decodedPath(stream.exchange.target);
  try {
    stream.answer = handler_(stream.exchange);
  } catch (...) {
    stream.answer = Answer{.status = 500};
  }
  std::string().swap(stream.exchange.body);
  if (stream.answer.delay.count() > 0) {
    stream.due = Clock::now() + stream.answer.delay;
    due_.emplace(*stream.due, id);
    return;
  }
  respond(id);
}

void Http2Session::respond(std::int32_t id) {
  Stream& stream = streams_.at(id);
  const Answer& answer = stream.answer;
  const bool noContent = answer.status == 204 || answer.status == 304;
  HeaderFields fields{{":status", std::to_string(answer.status)}};
  if (!answer.contentType.empty()) fields.emplace_back("content-type", answer.contentType);
  if (!noContent) fields.emplace_back("content-length", std::to_string(answer.body.size()));
  fields.insert(fields.end(), answer.fields.begin(), answer.fields.end());
  std::vector<nghttp2_nv> headers;
  for (auto& [name, value] : fields) {
    headers.push_back(
        {nvBytes(name), nvBytes(value), name.size(), value.size(), NGHTTP2_NV_FLAG_NONE});
  }
  nghttp2_data_provider body{};
  body.read_callback = readBody;
  const bool hasBody = !noContent && !answer.body.empty() && stream.exchange.method != "HEAD";
  if (nghttp2_submit_response(session_.get(), id, headers.data(), headers.size(),
                              hasBody ? &body : nullptr) == 0) {
    ++answered_;
    answeredOne_ = true;
  } else {
    nghttp2_submit_rst_stream(session_.get(), NGHTTP2_FLAG_NONE, id, NGHTTP2_INTERNAL_ERROR);
  }
}

void Http2Session::refuse(std::int32_t id, Stream& stream) {
  stream.refused = true;
  stream.exchange = Exchange();
  nghttp2_submit_rst_stream(session_.get(), NGHTTP2_FLAG_NONE, id, NGHTTP2_CANCEL);
}

int Http2Session::onBeginHeaders(nghttp2_session*, const nghttp2_frame* frame, void* self) {
  if (frame->hd.type == NGHTTP2_HEADERS && frame->headers.cat == NGHTTP2_HCAT_REQUEST) {
    sessionOf(self).streams_.try_emplace(frame->hd.stream_id);
  }
  return 0;
}

int Http2Session::onHeader(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
                           std::size_t nameLength, const std::uint8_t* value,
                           std::size_t valueLength, std::uint8_t, void* self) {
  // Trailers are read and dropped.
  if (frame->hd.type != NGHTTP2_HEADERS || frame->headers.cat != NGHTTP2_HCAT_REQUEST) return 0;
  const auto found = sessionOf(self).streams_.find(frame->hd.stream_id);
  if (found == sessionOf(self).streams_.end() || found->second.refused) return 0;
  Stream& stream = found->second;
  stream.headBytes += nameLength + valueLength + 32;  // as SETTINGS_MAX_HEADER_LIST_SIZE counts
  if (stream.headBytes > Http2Server::kMaxHeadBytes) {
    sessionOf(self).refuse(frame->hd.stream_id, stream);
    return 0;
  }
  const std::string_view key(reinterpret_cast<const char*>(name), nameLength);
  std::string text(reinterpret_cast<const char*>(value), valueLength);
  Exchange& exchange = stream.exchange;
  if (key == ":method") {
    exchange.method = std::move(text);
  } else if (key == ":path") {
    exchange.target = std::move(text);
  } else if (key == ":authority" || (key == "host" && exchange.authority.empty())) {
    exchange.authority = std::move(text);
  } else if (!key.starts_with(':')) {
    exchange.fields.emplace_back(key, std::move(text));
  }
  return 0;
}

int Http2Session::onData(nghttp2_session*, std::uint8_t, std::int32_t id, const std::uint8_t* data,
                         std::size_t length, void* self) {
  const auto found = sessionOf(self).streams_.find(id);
  if (found == sessionOf(self).streams_.end() || found->second.refused) return 0;
  std::string& body = found->second.exchange.body;
  if (body.size() + length > Http2Server::kMaxBodyBytes) {
    sessionOf(self).refuse(id, found->second);
    return 0;
  }
  body.append(reinterpret_cast<const char*>(data), length);
  return 0;
}

int Http2Session::onFrame(nghttp2_session*, const nghttp2_frame* frame, void* self) {
  const bool ofRequest = frame->hd.type == NGHTTP2_HEADERS || frame->hd.type == NGHTTP2_DATA;
  if (ofRequest && (frame->hd.flags & NGHTTP2_FLAG_END_STREAM) != 0) {
    sessionOf(self).complete(frame->hd.stream_id);
  }
  return 0;
}

int Http2Session::onClose(nghttp2_session*, std::int32_t id, std::uint32_t, void* self) {
  auto& connection = sessionOf(self);
  const auto found = connection.streams_.find(id);
  if (found == connection.streams_.end()) return 0;
  if (const auto due = found->second.due) {
    const auto [first, last] = connection.due_.equal_range(*due);
    const auto entry = std::find_if(first, last, [id](const auto& e) { return e.second == id; });
    if (entry != last) connection.due_.erase(entry);
  }
  connection.streams_.erase(found);
  return 0;
}

ssize_t Http2Session::readBody(nghttp2_session*, std::int32_t id, std::uint8_t* buffer,
                               std::size_t length, std::uint32_t* flags, nghttp2_data_source*,
                               void* self) {
  const auto found = sessionOf(self).streams_.find(id);
  if (found == sessionOf(self).streams_.end()) return NGHTTP2_ERR_TEMPORAL_CALLBACK_FAILURE;
  Stream& stream = found->second;
  const std::string& body = stream.answer.body;
  const std::size_t count = std::min(length, body.size() - stream.bodySent);
  std::memcpy(buffer, body.data() + stream.bodySent, count);
  stream.bodySent += count;
  if (stream.bodySent == body.size()) *flags |= NGHTTP2_DATA_FLAG_EOF;
  return static_cast<ssize_t>(count);
}

}  // namespace ovix::devserver
