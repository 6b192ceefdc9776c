// The demo host, `ovix feed`, run end to end as a person runs it.
#include <gtest/gtest.h>

#include "support/Process.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix {
namespace {

TEST(FeedDemoTest, FeedLoadsShowsCountsEveryDisplayedAdOnceAndDrawsThePicture) {
  test::TemporaryDirectory folder;
  const std::string png = (folder.path() / "feed.png").string();
  const auto result = test::runProcess({OVIX_TOOL_PATH, "feed", "--rows", "12", "--png", png});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  // Three ads, two beacon URLs each, sent once and counted by the server; the
  // picture written (PNG writing is checked in RendererTest).
  for (const std::string& line : std::vector<std::string>{
           "loaded 6 ads\n", "feed 12 rows, 3 ads\n", "impressions sent 6, counted by server 6\n",
           "opened https://ad.ovix.example/click/", "picture " + png + " 375x960\n"}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << " in " << result.out;
  }
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
