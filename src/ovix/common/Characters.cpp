#include "ovix/common/Characters.hpp"

#include <utf8proc.h>

namespace ovix {
namespace {

// The byte offset where the grapheme cluster after `count` clusters starts,
// or text.size() when `text` has no more than `count`.
std::size_t offsetAfterCharacters(std::string_view text, std::size_t count) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  utf8proc_int32_t state = 0;
  utf8proc_int32_t previous = -1;
  std::size_t characters = 0;
  for (utf8proc_ssize_t at = 0; at < size;) {
    utf8proc_int32_t codepoint = -1;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &codepoint);
    if (length <= 0) {
      length = 1;  // an invalid byte stands alone
      codepoint = -1;
    }
    const bool breaks = previous < 0 || codepoint < 0 ||
                        utf8proc_grapheme_break_stateful(previous, codepoint, &state);
    if (breaks) {
      if (characters == count) return static_cast<std::size_t>(at);
      ++characters;
      if (codepoint < 0) state = 0;
    }
    previous = codepoint;
    at += length;
  }
  return text.size();
}

}  // namespace

std::string adLabelText(std::string_view text) {
  // Two characters or fewer end where the text ends, so this keeps them whole.
  return std::string(text.substr(0, offsetAfterCharacters(text, 2)));
}

}  // namespace ovix
