#pragma once

#include <memory>
#include <string>

#include "ovix/Export.hpp"

namespace ovix::ui {

// Opens URLs for the SDK, such as an ad's click URL. A host installs its own
// to open links its way (an in-app browser, a custom scheme). Main thread only.
class OVIX_EXPORT URLHandler {
 public:
  virtual ~URLHandler() = default;
  // Whether openURL would accept `url`; opens nothing.
  virtual bool canOpenURL(const std::string& url) = 0;
  // Whether the URL was handed on to be opened.
  virtual bool openURL(const std::string& url) = 0;
};

// The application the SDK runs in. All calls on the main thread.
//
// Until the host installs a handler, http and https URLs open in the desktop's
// browser: `xdg-open` is looked up on PATH and started with posix_spawnp and
// the URL as its only argument, never through a shell, and is reaped in the
// background. Other schemes, and URLs holding spaces or control characters,
// are declined: canOpenURL and openURL return false. openURL returning true
// means the opener started, not that a page appeared.
//
// The SDK hands on an ad's click URL only in a form no opener or script can
// misread: http and https normalised, with spaces, control characters,
// non-ASCII bytes and shell characters (quotes, "$", ";", "|"...)
// percent-encoded; other schemes, such as the host's deep links, as the ad
// server wrote them, for an installed handler to judge, and never when they
// hold a space or a control character.
class OVIX_EXPORT Application {
 public:
  Application() = delete;

  static bool canOpenURL(const std::string& url);
  static bool openURL(const std::string& url);

  // Routes both calls to `handler`; null restores the default.
  static void setURLHandler(std::shared_ptr<URLHandler> handler);
  static void resetURLHandler();
};

}  // namespace ovix::ui
