#include "ControlEscaping.hpp"

#include <cstddef>

namespace ovix::text {
namespace {

bool continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence led by the non-ASCII byte at
// `text[at]`, or 0 when there is none: no overlong forms, no surrogates,
// nothing beyond U+10FFFF.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const std::size_t left = text.size() - at;
  const unsigned char lead = byte(0);
  if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && continuation(byte(1)) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !continuation(byte(1)) || !continuation(byte(2))) return 0;
    if (lead == 0xE0 && byte(1) < 0xA0) return 0;
    if (lead == 0xED && byte(1) > 0x9F) return 0;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !continuation(byte(1)) || !continuation(byte(2)) || !continuation(byte(3))) {
      return 0;
    }
    if (lead == 0xF0 && byte(1) < 0x90) return 0;
    if (lead == 0xF4 && byte(1) > 0x8F) return 0;
    return 4;
  }
  return 0;
}

void appendEscape(std::string& out, unsigned char codePoint) {
  constexpr char kHex[] = "0123456789abcdef";
  const char escape[] = {'\\', 'u', '0', '0', kHex[codePoint >> 4], kHex[codePoint & 0xF]};
  out.append(escape, sizeof escape);
}

}  // namespace

void appendEscapingControls(std::string& out, std::string_view text) {
  std::size_t pending = 0;  // where the text not yet appended starts
  std::size_t at = 0;
  while (at < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if ((byte >= 0x20 && byte < 0x7F) || byte == '\n' || byte == '\t') {
      ++at;
      continue;
    }
    unsigned char control = byte;
    std::size_t length = 1;
    if (byte >= 0x80) {
      length = sequenceLength(text, at);
      const auto second = length == 2 ? static_cast<unsigned char>(text[at + 1]) : 0;
      if (byte == 0xC2 && second != 0 && second <= 0x9F) {
        control = second;  // a C1 control in UTF-8
      } else if (length == 0 && byte <= 0x9F) {
        length = 1;  // a lone byte an 8-bit terminal takes for a C1 control
      } else {
        at += length == 0 ? 1 : length;  // valid UTF-8, or a byte no terminal acts on
        continue;
      }
    }
    out.append(text, pending, at - pending);
    appendEscape(out, control);
    at += length;
    pending = at;
  }
  out.append(text, pending, text.size() - pending);
}

std::string escapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscapingControls(out, text);
  return out;
}

}  // namespace ovix::text
