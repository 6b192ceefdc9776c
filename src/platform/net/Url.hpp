#pragma once

#include <string>
#include <string_view>

#include "platform/error/Result.hpp"

namespace ovix::net {

// An absolute URL parsed and normalised by libcurl's URL API. Immutable; safe
// to share between threads.
class Url {
 public:
  // A URL the network layer accepts, in any scheme (one it cannot load fails
  // its transfer with kUnsupportedURL). Refuses (kBadURL) an empty or
  // malformed string, one without a scheme and host, one whose normalised
  // text holds a space or a control character (an escaped one in the host,
  // which is decoded), or one whose normalised text, parsed again, gives
  // another text, scheme or host: libcurl parses that text again when it
  // transfers, and must find what was checked. Any thread.
  static Result<Url> make(std::string_view text);

  // The same URL for handing to another program, such as a desktop opener:
  // spaces, control characters, non-ASCII bytes and the characters a shell
  // reads (" ' ` $ ; | < > \ ^ { }) are percent-encoded, the host too, and
  // the text reads back as itself. Refuses what make would refuse
  // once so encoded. Any thread.
  static Result<Url> makeEncoded(std::string_view text);

  // The normalised text of the URL.
  const std::string& string() const { return text_; }
  const std::string& scheme() const { return scheme_; }
  // Decoded.
  const std::string& host() const { return host_; }

 private:
  Url(std::string text, std::string scheme, std::string host);

  std::string text_;
  std::string scheme_;
  std::string host_;
};

}  // namespace ovix::net
