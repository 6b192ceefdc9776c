#include "platform/ui/Text.hpp"

#include <gtest/gtest.h>

namespace ovix::ui::text {
namespace {

TEST(TextTest, OneLineReplacesInvalidBytesAndLineBreaks) {
  EXPECT_EQ(oneLine("plain \u00e9\u6f22"), "plain \u00e9\u6f22");
  EXPECT_EQ(oneLine("two\nlines\r\u2028"), "two lines  ");
  EXPECT_EQ(oneLine("bad\xff\xc3"), "bad\ufffd\ufffd");
  EXPECT_EQ(oneLine("\xed\xa0\x80"), "\ufffd\ufffd\ufffd") << "a surrogate is not UTF-8";
}

TEST(TextTest, TruncatesAtTheTailBetweenClustersToFitTheWidth) {
  const auto surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* const cr = cairo_create(surface);
  useFont(cr, Font::systemFont(17));
  const std::string text = "Fresh vegetables, picked this morning";
  EXPECT_EQ(truncatedAtTail(cr, text, width(cr, text)), text);
  const double available = width(cr, text) / 2;
  const std::string cut = truncatedAtTail(cr, text, available);
  ASSERT_TRUE(cut.ends_with("\u2026")) << cut;
  const std::string kept = cut.substr(0, cut.size() - 3);
  EXPECT_EQ(text.rfind(kept, 0), 0u);
  EXPECT_LE(width(cr, cut), available);
  EXPECT_GT(width(cr, text.substr(0, kept.size() + 1) + "\u2026"), available)
      << "one more character would not fit";

  // "e" and a combining acute accent stay together.
  const std::string accented = "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301";
  for (double w = 1; w < width(cr, accented); w += 3) {
    const std::string part = truncatedAtTail(cr, accented, w);
    EXPECT_TRUE(part.empty() || part == "\u2026" || part.ends_with("\u0301\u2026")) << w;
  }
  EXPECT_EQ(truncatedAtTail(cr, text, 1), "");
  EXPECT_EQ(truncatedAtTail(cr, text, width(cr, "\u2026")), "\u2026");
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace ovix::ui::text
