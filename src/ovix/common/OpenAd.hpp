#pragma once

#include <optional>
#include <string>

namespace ovix {

// Opens an ad's click URL through the application.
class OpenAd {
 public:
  OpenAd() = delete;

  // Whether the application opened the URL: false when it is absent, not a
  // URL, or one the application cannot open or failed to open. Main thread.
  static bool openAd(const std::optional<std::string>& url);
};

}  // namespace ovix
