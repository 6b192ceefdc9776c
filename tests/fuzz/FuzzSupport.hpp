#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// What the fuzz targets share: a check that stops the run with a message, a
// reader that takes typed values from the fuzzer's bytes, and the switch that
// sends the SDK's log to /dev/null so that its formatting is exercised too.
namespace ovix::fuzz {

// Reports the broken property and aborts, which libFuzzer records as a crash.
[[noreturn]] void fail(const char* what, const char* file, int line);

#define OVIX_FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::ovix::fuzz::fail(#condition, __FILE__, __LINE__))

// Turns the SDK's log on with standard output sent to /dev/null. For the
// fuzzers' initialisation; the corpus replays capture the output instead.
void logToNowhere();

// Typed values from raw bytes, each from the front. Past the end every value
// is zero or empty, so any input is a whole request.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return size_ == 0 ? 0 : (--size_, *data_++); }
  bool flag() { return (byte() & 1) != 0; }
  // A length byte, then up to that many bytes.
  std::string string() {
    const std::size_t length = std::min<std::size_t>(byte(), size_);
    std::string text(reinterpret_cast<const char*>(data_), length);
    data_ += length;
    size_ -= length;
    return text;
  }
  // The next eight bytes as they lie in memory, so NaN and infinities come up.
  template <class T>
  T raw() {
    unsigned char bytes[sizeof(T)] = {};
    const std::size_t length = std::min(sizeof(T), size_);
    std::memcpy(bytes, data_, length);
    data_ += length;
    size_ -= length;
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// The entry points, one per target; each returns 0.
int fuzzResponse(const std::uint8_t* data, std::size_t size);
int fuzzImage(const std::uint8_t* data, std::size_t size);
int fuzzUrl(const std::uint8_t* data, std::size_t size);
int fuzzRequest(const std::uint8_t* data, std::size_t size);

}  // namespace ovix::fuzz

// Each target file ends with this, which the corpus replays leave out.
#ifdef OVIX_FUZZ_NO_MAIN
#define OVIX_FUZZ_MAIN(function)
#else
#define OVIX_FUZZ_MAIN(function)                                                      \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {                                \
    ::ovix::fuzz::logToNowhere();                                                     \
    return 0;                                                                         \
  }                                                                                   \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    return function(data, size);                                                      \
  }
#endif
