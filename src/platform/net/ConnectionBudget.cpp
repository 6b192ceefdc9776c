#include "platform/net/ConnectionBudget.hpp"

namespace ovix::net {

void ConnectionBudget::moved(const std::optional<Connection>& from, const Connection& to) {
  if (from == to) return;
  if (from) {
    release(*from);
  } else if (unattached_ > 0) {
    --unattached_;
  }
  ++busy_[to];
}

void ConnectionBudget::ended(const std::optional<Connection>& at) {
  if (at) {
    release(*at);
  } else if (unattached_ > 0) {
    --unattached_;
  }
}

void ConnectionBudget::release(const Connection& connection) {
  const auto found = busy_.find(connection);
  if (found != busy_.end() && --found->second == 0) busy_.erase(found);
}

}  // namespace ovix::net
