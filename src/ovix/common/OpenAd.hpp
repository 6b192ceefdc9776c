#pragma once

#include <optional>
#include <string>

namespace ovix {

// Opens an ad's click URL through the application.
class OpenAd {
 public:
  OpenAd() = delete;

  // Whether the URL was handed to the application: false when it is absent,
  // not a URL, or one the application cannot open. Main thread.
  static bool openAd(const std::optional<std::string>& url);
};

}  // namespace ovix
