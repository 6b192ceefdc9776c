#include "ovix/platform/Application.hpp"

#include "platform/ui/DesktopOpener.hpp"

namespace ovix::ui {
namespace {

// Main thread only, like every call that reaches it.
std::shared_ptr<URLHandler>& installedHandler() {
  static std::shared_ptr<URLHandler> handler = std::make_shared<DesktopOpener>();
  return handler;
}

}  // namespace

bool Application::canOpenURL(const std::string& url) {
  const auto handler = installedHandler();  // survives the handler replacing itself
  return handler->canOpenURL(url);
}

bool Application::openURL(const std::string& url) {
  const auto handler = installedHandler();
  return handler->openURL(url);
}

void Application::setURLHandler(std::shared_ptr<URLHandler> handler) {
  installedHandler() = handler ? std::move(handler) : std::make_shared<DesktopOpener>();
}

void Application::resetURLHandler() {
  setURLHandler(nullptr);
}

}  // namespace ovix::ui
