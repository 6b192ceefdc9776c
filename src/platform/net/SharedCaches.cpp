#include "platform/net/SharedCaches.hpp"

namespace ovix::net {

SharedCaches::SharedCaches() : share_(curl_share_init()) {
  if (share_ == nullptr) return;
  const bool ready =
      curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &SharedCaches::lock) == CURLSHE_OK &&
      curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock) == CURLSHE_OK &&
      curl_share_setopt(share_, CURLSHOPT_USERDATA, static_cast<void*>(this)) == CURLSHE_OK &&
      curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) == CURLSHE_OK &&
      curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK;
  if (!ready) {
    curl_share_cleanup(share_);
    share_ = nullptr;
  }
}

SharedCaches::~SharedCaches() {
  if (share_ != nullptr) curl_share_cleanup(share_);
}

void SharedCaches::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
  static_cast<SharedCaches*>(self)->mutexes_.at(data).lock();
}

void SharedCaches::unlock(CURL*, curl_lock_data data, void* self) {
  static_cast<SharedCaches*>(self)->mutexes_.at(data).unlock();
}

}  // namespace ovix::net
