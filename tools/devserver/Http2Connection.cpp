#include "Http2Connection.hpp"

#include <openssl/err.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>

namespace ovix::devserver {
namespace {

// What the session may queue before TLS takes it.
constexpr std::size_t kOutputChunk = 64 * 1024;

}  // namespace

Http2Connection::Http2Connection(int socket, SSL_CTX* context, const ExchangeHandler& handler,
                                 std::atomic<std::size_t>& answered)
    : socket_(socket), handler_(handler), answered_(answered), ssl_(SSL_new(context)) {
  if (ssl_ && SSL_set_fd(ssl_.get(), socket_) == 1) {
    SSL_set_accept_state(ssl_.get());
  } else {
    ssl_.reset();
  }
  ERR_clear_error();
}

Http2Connection::~Http2Connection() {
  if (session_) {
    session_->terminate();
    send();  // as far as the socket takes it at once
    session_.reset();
  }
  if (ssl_ && SSL_is_init_finished(ssl_.get())) SSL_shutdown(ssl_.get());
  ssl_.reset();
  ERR_clear_error();
  ::close(socket_);
}

short Http2Connection::events() const {
  return POLLIN | (wantsWrite_ || outputTaken_ < output_.size() ? POLLOUT : 0);
}

bool Http2Connection::service(short revents, Clock::time_point now) {
  if (!ssl_ || (revents & (POLLERR | POLLNVAL)) != 0) return false;
  wantsWrite_ = false;
  if (!session_ && !handshake()) return false;
  if (!session_) return true;
  session_->answerDue(now);
  return receive() && send() && (session_->open() || outputTaken_ < output_.size());
}

bool Http2Connection::handshake() {
  const int result = SSL_do_handshake(ssl_.get());
  if (result != 1) return mayRetry(result);
  // ALPN refuses other protocols; this refuses a client that named none.
  const unsigned char* protocol = nullptr;
  unsigned length = 0;
  SSL_get0_alpn_selected(ssl_.get(), &protocol, &length);
  if (length != 2 || std::memcmp(protocol, "h2", 2) != 0) return false;
  session_ = std::make_unique<Http2Session>(handler_, answered_);
  return session_->open();
}

bool Http2Connection::receive() {
  std::uint8_t buffer[16 * 1024];
  for (;;) {
    const int read = SSL_read(ssl_.get(), buffer, sizeof buffer);
    if (read <= 0) return mayRetry(read);
    if (!session_->receive(buffer, static_cast<std::size_t>(read))) return false;
  }
}

bool Http2Connection::send() {
  for (;;) {
    if (outputTaken_ == output_.size()) {
      output_.clear();
      outputTaken_ = 0;
      if (!session_->send(output_, kOutputChunk)) return false;
      if (output_.empty()) return true;
    }
    const int written = SSL_write(ssl_.get(), output_.data() + outputTaken_,
                                  static_cast<int>(output_.size() - outputTaken_));
    if (written <= 0) return mayRetry(written);
    outputTaken_ += static_cast<std::size_t>(written);
  }
}

bool Http2Connection::mayRetry(int result) {
  const int error = SSL_get_error(ssl_.get(), result);
  ERR_clear_error();
  if (error == SSL_ERROR_WANT_WRITE) wantsWrite_ = true;
  return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
}

}  // namespace ovix::devserver
