#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A request and its answer as the development servers see them, whatever
// the transport carried them: plain values, any thread.
namespace ovix::devserver {

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// A complete request.
struct Exchange {
  std::string method;     // "GET", "POST"...
  std::string target;     // the path and query as sent: "/imp/a%20b?x=1"
  std::string path;       // the target's path, percent-decoded: "/imp/a b"
  std::string authority;  // the authority or else the Host header field
  HeaderFields fields;    // the other header fields
  std::string body;
};

// What a request is answered with. Every member has a default, so that
// designated initializers name only what they set.
struct Answer {
  int status = 200;
  std::string contentType{};  // sent when not empty
  std::string body{};
  HeaderFields fields{};               // further header fields, names in lower case
  std::chrono::milliseconds delay{0};  // waited before the answer goes out
  std::string note{};                  // what the request log says after the status
};

using ExchangeHandler = std::function<Answer(const Exchange&)>;

}  // namespace ovix::devserver
