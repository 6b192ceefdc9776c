#pragma once

#include <string>
#include <string_view>

// Text safe to write to a terminal. Any thread.
namespace ovix::text {

// Appends `text` to `out` with every control character a terminal would act
// on written as `\u` and four lower-case hex digits of its code point: C0
// controls other than line feed and tab, DEL, C1 controls (U+0080 to U+009F)
// and bytes 0x80 to 0x9F that are not part of valid UTF-8. Everything else,
// valid UTF-8 beyond C1 included, is appended unchanged.
void appendEscapingControls(std::string& out, std::string_view text);

// Whether `text` holds a control character of those, line feed and tab
// included.
bool holdsControls(std::string_view text);

// `text` escaped as appendEscapingControls does.
std::string escapeControls(std::string_view text);

}  // namespace ovix::text
