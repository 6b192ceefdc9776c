#include "ovix/platform/UserAgent.hpp"

#include <mutex>

namespace ovix::useragent {
namespace {

std::mutex mutex;
Provider installed;  // guarded by mutex

}  // namespace

void setProvider(Provider provider) {
  std::lock_guard lock(mutex);
  installed = std::move(provider);
}

std::string browserUserAgent() {
  Provider provider;
  {
    std::lock_guard lock(mutex);
    provider = installed;
  }
  return provider ? provider() : std::string();
}

}  // namespace ovix::useragent
