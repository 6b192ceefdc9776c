#include "platform/ui/DesktopOpener.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

namespace ovix::ui {
namespace {

// http or https, case aside, then "//" and more, with no spaces or control
// characters for the opener to misread.
bool isWebURL(const std::string& url) {
  const auto colon = url.find(':');
  if (colon == std::string::npos) return false;
  std::string scheme = url.substr(0, colon);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (scheme != "http" && scheme != "https") return false;
  if (url.compare(colon + 1, 2, "//") != 0 || url.size() == colon + 3) return false;
  return std::none_of(url.begin(), url.end(),
                      [](unsigned char c) { return c <= 0x20 || c == 0x7f; });
}

// Waits for the opener off the main thread: some openers return only when the
// browser quits.
void reapInBackground(pid_t pid) {
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the finished opener stays a zombie until exit.
  }
}

}  // namespace

bool DesktopOpener::canOpenURL(const std::string& url) {
  return isWebURL(url);
}

bool DesktopOpener::openURL(const std::string& url) {
  if (!isWebURL(url)) return false;

  // The opener starts with no blocked signals and default SIGPIPE and
  // SIGCHLD, whatever the host's threads have set.
  posix_spawnattr_t attributes;
  if (::posix_spawnattr_init(&attributes) != 0) return false;
  sigset_t none;
  sigset_t defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string program = "xdg-open";
  std::string argument = url;
  char* const arguments[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int failure =
      ::posix_spawnp(&pid, program.c_str(), nullptr, &attributes, arguments, environ);
  ::posix_spawnattr_destroy(&attributes);
  if (failure != 0) return false;
  reapInBackground(pid);
  return true;
}

}  // namespace ovix::ui
