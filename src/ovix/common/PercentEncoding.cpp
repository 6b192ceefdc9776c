#include "ovix/common/PercentEncoding.hpp"

#include <array>

namespace ovix {
namespace {

constexpr std::array<bool, 256> allowedBytes() {
  std::array<bool, 256> allowed{};
  for (int c = 'a'; c <= 'z'; ++c) allowed[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) allowed[c] = true;
  for (int c = '0'; c <= '9'; ++c) allowed[c] = true;
  for (char c : std::string_view("-._~!$&'()*+,;=:@/?"))
    allowed[static_cast<unsigned char>(c)] = true;
  return allowed;
}

constexpr std::array<bool, 256> kAllowed = allowedBytes();

}  // namespace

std::string addingPercentEncodingForURLQuery(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (kAllowed[byte]) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 0xF]);
    }
  }
  return encoded;
}

}  // namespace ovix
