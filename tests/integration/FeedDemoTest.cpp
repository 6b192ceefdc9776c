// The demo host, `ovix feed`, run end to end as a person runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>

#include "ovix/platform/ImageDecoding.hpp"
#include "support/Process.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix {
namespace {

TEST(FeedDemoTest, FeedLoadsShowsCountsEveryDisplayedAdOnceAndDrawsThePicture) {
  char folder[] = "/tmp/ovix-feed-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string png = std::string(folder) + "/feed.png";
  const auto result = test::runProcess({OVIX_TOOL_PATH, "feed", "--rows", "12", "--png", png});
  ASSERT_EQ(result.status, 0) << result.out << result.err;

  std::smatch m;
  ASSERT_TRUE(std::regex_search(result.out, m, std::regex(R"(loaded (\d+) ads\n)")));
  EXPECT_EQ(m[1], "6");
  ASSERT_TRUE(std::regex_search(result.out, m, std::regex(R"(feed (\d+) rows, (\d+) ads\n)")));
  EXPECT_EQ(m[1], "12");
  EXPECT_EQ(m[2], "3");
  ASSERT_TRUE(std::regex_search(
      result.out, m, std::regex(R"(impressions sent (\d+), counted by server (\d+)\n)")));
  EXPECT_EQ(m[1], m[2]);
  EXPECT_EQ(m[1], "6") << "three ads, two beacon URLs each, once";
  EXPECT_TRUE(std::regex_search(result.out, std::regex(R"(opened https://\S+\n)")));
  ASSERT_TRUE(std::regex_search(result.out, m, std::regex(R"(picture (\S+) (\d+)x(\d+)\n)")));
  EXPECT_EQ(m[1], png);
  EXPECT_EQ(m[2], "375");
  EXPECT_EQ(m[3], "960");

  std::ifstream file(png, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), {});
  const auto picture = gfx::decodeImage(bytes.data(), bytes.size());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width(), 375);
  std::remove(png.c_str());
  ::rmdir(folder);
}

// Enough rows that reused cells go from story to ad, ad to story, ad to ad,
// and from the default binding straight to a custom one.
TEST(FeedDemoTest, ScrollingFeedShowsEachRowItsOwnAdThroughReusedCells) {
  test::TemporaryDirectory folder;
  const std::string png = (folder.path() / "feed.png").string();
  const auto result =
      test::runProcess({OVIX_TOOL_PATH, "feed", "--scroll", "--rows", "120", "--png", png});
  EXPECT_NE(result.out.find("scrolled 120 rows with 12 cells: 30 ad rows, 0 wrong images, "
                            "0 stray labels, 0 stray buttons\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("picture " + png + " 375x812\n"), std::string::npos);
  EXPECT_EQ(result.status, 0) << result.err;
}

}  // namespace
}  // namespace ovix
