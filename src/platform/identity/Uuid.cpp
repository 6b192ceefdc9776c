#include "platform/identity/Uuid.hpp"

#include <pthread.h>
#include <sys/random.h>
#include <uuid/uuid.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace ovix::identity {
namespace {

// Counts forks, in the child: a pool filled before a fork is thrown away, so
// parent and child never hand out the same bytes.
std::atomic<std::uint64_t> forks{0};

void countFork() {
  forks.fetch_add(1, std::memory_order_relaxed);
}

// Kernel randomness fetched a block at a time, one system call per 256 uuids.
// One per thread, so no lock.
class RandomPool {
 public:
  RandomPool() {
    static const bool watching = (::pthread_atfork(nullptr, nullptr, &countFork), true);
    (void)watching;
  }

  // Fills `out`; false when the kernel gives no randomness.
  bool take(std::uint8_t* out, std::size_t size) {
    const std::uint64_t generation = forks.load(std::memory_order_relaxed);
    if (generation != generation_) {
      generation_ = generation;
      used_ = sizeof bytes_;
    }
    if (sizeof bytes_ - used_ < size && !refill()) return false;
    std::memcpy(out, bytes_ + used_, size);
    used_ += size;
    return true;
  }

 private:
  bool refill() {
    std::size_t filled = 0;
    while (filled < sizeof bytes_) {
      const ssize_t got = ::getrandom(bytes_ + filled, sizeof bytes_ - filled, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      filled += static_cast<std::size_t>(got);
    }
    used_ = 0;
    return true;
  }

  std::uint8_t bytes_[4096];
  std::size_t used_ = sizeof bytes_;
  std::uint64_t generation_ = 0;
};

}  // namespace

void writeUuid(char* out) {
  thread_local RandomPool pool;
  std::uint8_t id[16];
  if (pool.take(id, sizeof id)) {
    id[6] = static_cast<std::uint8_t>((id[6] & 0x0f) | 0x40);  // version 4: random
    id[8] = static_cast<std::uint8_t>((id[8] & 0x3f) | 0x80);  // the RFC 4122 variant
  } else {
    ::uuid_generate_random(id);
  }
  static constexpr auto kPairs = [] {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> pairs{};
    for (std::size_t i = 0; i < pairs.size(); ++i) pairs[i] = {kDigits[i >> 4], kDigits[i & 0x0f]};
    return pairs;
  }();
  // 8-4-4-4-12 digits: the bytes before which a dash goes.
  char* at = out;
  for (std::size_t i = 0; i < sizeof id; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) *at++ = '-';
    std::memcpy(at, kPairs[id[i]].data(), 2);
    at += 2;
  }
}

std::string makeUuidString() {
  std::string text(kUuidLength, '-');
  writeUuid(text.data());
  return text;
}

}  // namespace ovix::identity
