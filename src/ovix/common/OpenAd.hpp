#pragma once

#include <optional>
#include <string>

namespace ovix {

// Opens an ad's click URL through the application.
class OpenAd {
 public:
  OpenAd() = delete;

  // Hands the click URL to the application and returns what its opener said.
  // An http or https URL goes normalised and percent-encoded (spaces, control
  // characters, non-ASCII bytes and shell characters such as quotes, "$" and
  // ";" escaped), so that no opener, nor a script it runs, reads the server's
  // raw text; one that does not normalise is not opened. Any other scheme,
  // such as a host's deep link, goes as written, which only a host's own
  // URLHandler takes; it is refused without asking the application when it
  // holds a space or a control character (C0, DEL, C1 raw or as UTF-8).
  // False also when the URL is absent or has no scheme. Main thread.
  static bool openAd(const std::optional<std::string>& url);
};

}  // namespace ovix
