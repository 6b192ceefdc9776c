#include "platform/identity/Uuid.hpp"

#include <pthread.h>
#include <sys/random.h>
#include <uuid/uuid.h>

#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace ovix::identity {
namespace {

// Counts forks, in the child: a generator seeded before a fork is seeded
// again, so parent and child never make the same uuids.
std::atomic<std::uint64_t> forks{0};

void countFork() {
  forks.fetch_add(1, std::memory_order_relaxed);
}

// xoshiro256** seeded from the kernel's random source, one per thread, so no
// lock. Uuids must be unique, not secret: 256 bits of seed make a collision
// as unlikely as with kernel randomness for each uuid, which cost a system
// call per 256 uuids and more time per record than the rest of its parsing.
class Generator {
 public:
  Generator() {
    static const bool watching = (::pthread_atfork(nullptr, nullptr, &countFork), true);
    (void)watching;
  }

  // Fills out[0, 16); false when the kernel gives no randomness.
  bool fill(std::uint8_t* out) {
    const std::uint64_t generation = forks.load(std::memory_order_relaxed);
    if (!seeded_ || generation != generation_) {
      if (!seed()) return false;
      generation_ = generation;
    }
    const std::uint64_t words[2] = {next(), next()};
    std::memcpy(out, words, sizeof words);
    return true;
  }

 private:
  bool seed() {
    std::size_t filled = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(state_);
    while (filled < sizeof state_) {
      const ssize_t got = ::getrandom(bytes + filled, sizeof state_ - filled, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      filled += static_cast<std::size_t>(got);
    }
    state_[0] |= 1;  // never the all-zero state, which stays zero
    seeded_ = true;
    return true;
  }

  std::uint64_t next() {
    const std::uint64_t result = std::rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = std::rotl(state_[3], 45);
    return result;
  }

  std::uint64_t state_[4] = {};
  bool seeded_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace

void writeUuid(char* out) {
  thread_local Generator generator;
  std::uint8_t id[16];
  if (generator.fill(id)) {
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
  // 8-4-4-4-12 digits.
  char* at = out;
  const auto digits = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i, at += 2) std::memcpy(at, kPairs[id[i]].data(), 2);
  };
  digits(0, 4);
  *at++ = '-';
  digits(4, 6);
  *at++ = '-';
  digits(6, 8);
  *at++ = '-';
  digits(8, 10);
  *at++ = '-';
  digits(10, 16);
}

std::string makeUuidString() {
  std::string text(kUuidLength, '-');
  writeUuid(text.data());
  return text;
}

}  // namespace ovix::identity
