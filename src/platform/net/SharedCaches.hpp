#pragma once

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>

namespace ovix::net {

// The TLS session cache and the DNS cache every transfer shares: a later
// connection to a host resumes its TLS session rather than making a full
// handshake, and its name is not looked up again. Made and used on the
// network thread; libcurl's resolver threads may reach it too, so it locks.
class SharedCaches {
 public:
  SharedCaches();
  // Call only when no easy handle uses it any more.
  ~SharedCaches();
  SharedCaches(const SharedCaches&) = delete;
  SharedCaches& operator=(const SharedCaches&) = delete;

  // For CURLOPT_SHARE; null when libcurl could not make it (transfers then
  // keep caches of their own).
  CURLSH* handle() const { return share_; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
  static void unlock(CURL*, curl_lock_data data, void* self);

  CURLSH* share_ = nullptr;  // owned: curl_share_cleanup in the destructor
  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

}  // namespace ovix::net
