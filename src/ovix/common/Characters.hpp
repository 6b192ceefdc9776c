#pragma once

#include <string>
#include <string_view>

namespace ovix {

// The ad label's text: `text` whole when it has fewer than 3 user-perceived
// characters (extended grapheme clusters), else its first 2. A byte that is
// not valid UTF-8 counts as one character.
std::string adLabelText(std::string_view text);

}  // namespace ovix
