#include "platform/text/ControlEscaping.hpp"

#include <cstddef>
#include <optional>

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

// A control character of a text: where it starts, its length in bytes and
// its code point (a lone byte counts as the C1 control of its value).
struct Control {
  std::size_t at;
  std::size_t length;
  unsigned char codePoint;
};

// The first control character at or after `from`: C0, DEL, C1 in UTF-8, or a
// byte 0x80 to 0x9F outside valid UTF-8, which an 8-bit terminal takes for C1.
std::optional<Control> nextControl(std::string_view text, std::size_t from) {
  std::size_t at = from;
  while (at < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F) return Control{at, 1, byte};
    if (byte < 0x80) {
      ++at;
      continue;
    }
    const std::size_t length = sequenceLength(text, at);
    const unsigned char second = length == 2 ? static_cast<unsigned char>(text[at + 1]) : 0;
    if (byte == 0xC2 && second != 0 && second <= 0x9F) return Control{at, 2, second};
    if (length == 0 && byte <= 0x9F) return Control{at, 1, byte};
    at += length == 0 ? 1 : length;  // valid UTF-8, or a byte no terminal acts on
  }
  return std::nullopt;
}

void appendEscape(std::string& out, unsigned char codePoint) {
  constexpr char kHex[] = "0123456789abcdef";
  const char escape[] = {'\\', 'u', '0', '0', kHex[codePoint >> 4], kHex[codePoint & 0xF]};
  out.append(escape, sizeof escape);
}

}  // namespace

void appendEscapingControls(std::string& out, std::string_view text) {
  std::size_t pending = 0;  // where the text not yet appended starts
  for (auto control = nextControl(text, 0); control;
       control = nextControl(text, control->at + control->length)) {
    if (control->codePoint == '\n' || control->codePoint == '\t') continue;
    out.append(text, pending, control->at - pending);
    appendEscape(out, control->codePoint);
    pending = control->at + control->length;
  }
  out.append(text, pending, text.size() - pending);
}

bool holdsControls(std::string_view text) {
  return nextControl(text, 0).has_value();
}

std::string escapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscapingControls(out, text);
  return out;
}

}  // namespace ovix::text
