#include "ovix/common/Log.hpp"

#include <gtest/gtest.h>

#include <regex>

#include "support/CaptureStdout.hpp"

namespace ovix {
namespace {

const std::string kOpen(73, '>');
const std::string kClose(73, '<');

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { logging = true; }
  void TearDown() override { logging = false; }
};

TEST_F(LogTest, EntryHasTheFiveLinesWithDateFileLineFunctionAndMessage) {
  test::CaptureStdout out;
  ULog("/src/Ovix/OvixClient.swift", "request(by:delegate:)", 57, "START");
  ULog("request(by:delegate:)", "");
  const std::uint_least32_t line = __LINE__ - 1;
  const std::string text = out.stop();

  const std::regex entry("\n" + kOpen +
                         "\n\\[\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}\\] "
                         "OvixClient:57 - request\\(by:delegate:\\)  message: START\n" +
                         kClose + "\n\n" + "\n" + kOpen +
                         "\n\\[[^\\]]+\\] LogTest:" + std::to_string(line) +
                         " - request\\(by:delegate:\\)  message: \n" + kClose + "\n\n");
  EXPECT_TRUE(std::regex_match(text, entry)) << text;
}

TEST_F(LogTest, FileNamesLoseTheirFoldersAndOnlyTheLastExtension) {
  EXPECT_EQ(stringByDeletingPathExtension(lastPathComponent("OvixClient")), "OvixClient");
  EXPECT_EQ(stringByDeletingPathExtension(lastPathComponent("/a/b/archive.tar.gz")), "archive.tar");
  EXPECT_EQ(stringByDeletingPathExtension(lastPathComponent("1.2.0")), "1.2");
  EXPECT_EQ(lastPathComponent("/a/b/"), "b");
  EXPECT_EQ(stringByDeletingPathExtension(".hidden"), ".hidden");
}

TEST_F(LogTest, NothingIsWrittenWhileTheSwitchIsOff) {
  test::CaptureStdout out;
  logging = false;
  ULog("f", "silent");
  ULogPrints(std::nullopt);
  ULogPrints(Error(Error::kURLDomain, -1001, "The request timed out."));
  logging = true;
  ULog("f", "heard");
  logging = false;
  ULog("f", "silent again");
  const std::string text = out.stop();
  EXPECT_EQ(text.find("silent"), std::string::npos);
  EXPECT_NE(text.find("message: heard"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

std::string dumpOf(const auto& value) {
  test::CaptureStdout out;
  ULogPrints(value);
  return out.stop();
}

std::string framed(const std::string& body) {
  return "\n" + kOpen + "\n" + body + kClose + "\n\n";
}

TEST_F(LogTest, ValueDumpsOfAbsentValuesErrorsAndResponses) {
  EXPECT_EQ(dumpOf(std::nullopt), framed("nil\n"));
  EXPECT_EQ(dumpOf(std::optional<std::string_view>()), framed("nil\n"));  // an answer not UTF-8

  const Error error(Error::kURLDomain, 404, "Not a status");
  EXPECT_EQ(dumpOf(error), framed("error code:404\n" + error.description() + "\n"))
      << "an error never gets a status sentence";

  const HttpResponse notFound("https://x/ad", 404, {{"Content-Type", "text/plain"}});
  EXPECT_EQ(dumpOf(notFound),
            framed("HTTP status code:404\n404 Not Found.\n" + notFound.description() + "\n"));
  const HttpResponse ok("https://x/ad", 200, {});
  EXPECT_EQ(dumpOf(ok), framed("HTTP status code:200\n" + ok.description() + "\n"));
  EXPECT_EQ(dumpOf(HttpResponse("u", 503, {})).find("503 Service Temporarily Unavailable.\n") !=
                std::string::npos,
            true);
}

TEST_F(LogTest, ValueDumpsOfPlainValues) {
  EXPECT_EQ(dumpOf(std::string("text")), framed("text\n"));
  EXPECT_EQ(dumpOf(false), framed("false\n"));
  EXPECT_EQ(dumpOf(std::int64_t{-3}), framed("-3\n"));
  EXPECT_EQ(dumpOf(35.6), framed("35.6\n"));
  EXPECT_EQ(dumpOf(std::vector<std::string>{"a", "b"}), framed("[\"a\", \"b\"]\n"));
  EXPECT_EQ(dumpOf(std::map<std::string, std::string>{{"User-Agent", "UA"}}),
            framed("[\"User-Agent\": \"UA\"]\n"));
}

TEST_F(LogTest, ControlCharactersInValuesAreEscapedAndTheRestIsKept) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view value;
    std::string_view written;
  } cases[] = {
      {"\x1b]0;title\a\x1b[2J", "\\u001b]0;title\\u0007\\u001b[2J"},
      {"a\rb\0c"sv, "a\\u000db\\u0000c"},
      {"del\x7f", "del\\u007f"},
      {"\xc2\x9bK \xc2\x85", "\\u009bK \\u0085"},
      {"lone \x9bK, cut short \xe2\x9b", "lone \\u009bK, cut short \xe2\\u009b"},
      {"line\nnext\ttab", "line\nnext\ttab"},
      {"caf\xc3\xa9 \xc3\x9b \xc2\xa0 \xe6\x97\xa5 \xf0\x9f\x99\x82 \xff",
       "caf\xc3\xa9 \xc3\x9b \xc2\xa0 \xe6\x97\xa5 \xf0\x9f\x99\x82 \xff"},
  };
  for (const auto& [value, written] : cases) {
    const std::string expected(written);
    test::CaptureStdout out;
    ULog(value, value);
    const std::string entry = out.stop();
    EXPECT_NE(entry.find(" - " + expected + "  message: " + expected + "\n" + kClose),
              std::string::npos)
        << entry;
    EXPECT_EQ(dumpOf(std::string(value)), framed(expected + "\n"));
    EXPECT_EQ(dumpOf(std::map<std::string, std::string>{{"X", std::string(value)}}),
              framed("[\"X\": \"" + expected + "\"]\n"));
    const HttpResponse response("https://x/ad", 200, {{"X-Note", std::string(value)}});
    EXPECT_NE(dumpOf(response).find("X-Note: " + expected + " } }\n" + kClose), std::string::npos);
  }
}

}  // namespace
}  // namespace ovix
