#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>

namespace ovix::net {

// Counts the connections the running transfers hold, so that no more are
// opened than the budget allows. A transfer counts as a connection of its own
// until libcurl gives it one; then it counts for that connection, which HTTP/2
// streams share. Connections left idle for reuse do not count: libcurl closes
// one of them before opening a connection beyond its own total. Used on the
// network thread only.
class ConnectionBudget {
 public:
  // A connection as libcurl names it to a transfer about to send: both ends'
  // addresses and ports.
  using Connection = std::string;

  explicit ConnectionBudget(std::size_t limit) : limit_(limit) {}

  // Whether one more transfer may run.
  bool hasRoom() const { return busy_.size() + unattached_ < limit_; }

  // A transfer starts running, without a connection yet.
  void started() { ++unattached_; }
  // A running transfer gets `to`, leaving `from` (none on its first request;
  // a redirect may move it).
  void moved(const std::optional<Connection>& from, const Connection& to);
  // A running transfer ends, holding `at`.
  void ended(const std::optional<Connection>& at);

 private:
  void release(const Connection& connection);

  const std::size_t limit_;
  std::size_t unattached_ = 0;
  std::unordered_map<Connection, std::size_t> busy_;  // transfers per connection
};

}  // namespace ovix::net
