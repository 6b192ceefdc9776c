#include "ovix/platform/Application.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/TemporaryDirectory.hpp"

namespace ovix::ui {
namespace {

TEST(ApplicationTest, DefaultHandlerTakesOnlyWebURLsAndPassesOneAsOneArgumentWithoutAShell) {
  Application::setURLHandler(nullptr);
  // Web URLs in any case (https with a query is opened below).
  for (const char* url : {"http://ad.example", "HTTPS://AD.EXAMPLE"}) {
    EXPECT_TRUE(Application::canOpenURL(url)) << url;
  }
  // None of these reaches the opener: openURL declines before starting it.
  for (const char* url :
       {"mailto:ads@example.com", "javascript:alert(1)", "file:///etc/passwd", "ftp://example.com",
        "https://", "https:example.com", "", "https://ad.example/a b", "https://ad.example/\n"}) {
    EXPECT_FALSE(Application::canOpenURL(url)) << url;
    EXPECT_FALSE(Application::openURL(url)) << url;
  }

  // A stand-in xdg-open, first on PATH, writes what it received into a FIFO,
  // which the test reads: opening it waits for the stand-in.
  const test::TemporaryDirectory folder;
  const auto received = folder.path() / "received";
  ASSERT_EQ(::mkfifo(received.c_str(), 0600), 0);
  std::ofstream(folder.path() / "xdg-open")
      << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << received.string() << "'\n";
  std::filesystem::permissions(folder.path() / "xdg-open", std::filesystem::perms::owner_all);

  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (folder.path().string() + ":" + path).c_str(), 1);
  const std::string url = "https://ad.example/c?q=$(touch%20x)&r=`id`;s='t'|u";
  const bool opened = Application::openURL(url);
  ::setenv("PATH", path.c_str(), 1);
  ASSERT_TRUE(opened);

  std::ifstream fifo(received);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fifo), {}), "1\n" + url + "\n");
}

}  // namespace
}  // namespace ovix::ui
