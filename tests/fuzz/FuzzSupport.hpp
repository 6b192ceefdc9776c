#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "ovix/Logging.hpp"

// What the fuzz targets share: a check that stops the run with a message, a
// reader that takes typed values from the fuzzer's bytes, and the entry
// points, which the corpus replays (FuzzCorpusTest) call too.
namespace ovix::fuzz {

// Reports the broken property and aborts, which libFuzzer records as a crash.
#define OVIX_FUZZ_CHECK(condition)                                                             \
  ((condition) ? (void)0                                                                       \
               : (std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition), \
                  std::abort()))

// Typed values from the front of the input. Past its end every value is zero
// or empty, so any input is a whole request.
struct Input {
  std::string_view rest;

  // The next bytes as they lie in memory, so NaN and infinities come up.
  template <class T>
  T raw() {
    T value{};
    const std::size_t length = std::min(sizeof(T), rest.size());
    if (length > 0) std::memcpy(&value, rest.data(), length);
    rest.remove_prefix(length);
    return value;
  }
  bool flag() { return (raw<std::uint8_t>() & 1) != 0; }
  // A length byte, then up to that many bytes.
  std::string string() {
    const std::size_t length = raw<std::uint8_t>();
    std::string text(rest.substr(0, length));
    rest.remove_prefix(text.size());
    return text;
  }
};

int fuzzResponse(const std::uint8_t* data, std::size_t size);
int fuzzImage(const std::uint8_t* data, std::size_t size);
int fuzzUrl(const std::uint8_t* data, std::size_t size);
int fuzzRequest(const std::uint8_t* data, std::size_t size);

}  // namespace ovix::fuzz

// Each target file ends with this, which the corpus replays leave out. The
// fuzzers run with the log on, so that its formatting is exercised too, and
// standard output sent nowhere.
#ifdef OVIX_FUZZ_NO_MAIN
#define OVIX_FUZZ_MAIN(function)
#else
#define OVIX_FUZZ_MAIN(function)                                                      \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {                                \
    ::ovix::logging = std::freopen("/dev/null", "w", stdout) != nullptr;              \
    return 0;                                                                         \
  }                                                                                   \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    return function(data, size);                                                      \
  }
#endif
