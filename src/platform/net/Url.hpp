#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ovix::net {

// An absolute URL that the network layer accepts, parsed and normalised by
// libcurl's URL API. Immutable; safe to share between threads.
class Url {
 public:
  // Returns no URL for an empty or malformed string, one without a scheme
  // and host, or one whose normalised text holds a space or a control
  // character (an escaped one in the host, which is decoded). Any thread.
  static std::optional<Url> make(std::string_view text);

  // The normalised text of the URL.
  const std::string& string() const { return text_; }
  const std::string& scheme() const { return scheme_; }
  const std::string& host() const { return host_; }

 private:
  Url(std::string text, std::string scheme, std::string host);

  std::string text_;
  std::string scheme_;
  std::string host_;
};

}  // namespace ovix::net
