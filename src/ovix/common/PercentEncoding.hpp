#pragma once

#include <string>
#include <string_view>

namespace ovix {

// Escapes every byte outside ALPHA, DIGIT and -._~!$&'()*+,;=:@/? as %XX, the
// percent sign included: "%41" becomes "%2541", a space "%20", non-ASCII
// characters their UTF-8 bytes.
std::string addingPercentEncodingForURLQuery(std::string_view text);

}  // namespace ovix
