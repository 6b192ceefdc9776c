#pragma once

#include <string>

#include "ovix/platform/Application.hpp"

namespace ovix::ui {

// The URL handler a host gets until it installs its own: http and https in
// the desktop's browser through xdg-open, nothing else.
class DesktopOpener final : public URLHandler {
 public:
  bool canOpenURL(const std::string& url) override;
  bool openURL(const std::string& url) override;
};

}  // namespace ovix::ui
