#include "ovix/common/Log.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "support/CaptureStdout.hpp"

namespace ovix {
namespace {

const std::string kOpen(73, '>'), kClose(73, '<');

std::string framed(const std::string& body) {
  return "\n" + kOpen + "\n" + body + kClose + "\n\n";
}

std::string dumpOf(const auto& value) {
  test::CaptureStdout out;
  ULogPrints(value);
  return out.stop();
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { logging = true; }
  void TearDown() override { logging = false; }
};

TEST_F(LogTest, EntryHasTheFiveLinesWithDateFileLineFunctionAndMessageOnlyWhileSwitchedOn) {
  test::CaptureStdout out;
  logging = false;
  ULog("f", "silent");
  ULogPrints(Error(Error::kURLDomain, -1001, "The request timed out."));
  logging = true;
  ULog("/src/Ovix/OvixClient.swift", "request(by:delegate:)", 57, "START");
  ULog("request(by:delegate:)", "");
  const std::uint_least32_t line = __LINE__ - 1;
  const std::string text = out.stop();

  const std::regex stamp(R"(\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\])");
  EXPECT_EQ(
      std::regex_replace(text, stamp, "[T]"),
      framed("[T] OvixClient:57 - request(by:delegate:)  message: START\n") +
          framed("[T] LogTest:" + std::to_string(line) + " - request(by:delegate:)  message: \n"));
}

// The dumps the SDK writes: answers (nil when not UTF-8), errors, headers,
// click results. HTTP responses' dumps are in the log of ImpressionTest and
// LoadTest.
TEST_F(LogTest, ValueDumps) {
  const Error error(Error::kURLDomain, 404, "Not a status");
  const std::pair<std::string, std::string> dumps[] = {
      {dumpOf(std::optional<std::string_view>()), "nil\n"},
      {dumpOf(std::optional<std::string_view>("text")), "text\n"},
      {dumpOf(error), "error code:404\n" + error.description() + "\n"},  // no status sentence
      {dumpOf(false), "false\n"},
      {dumpOf(std::map<std::string, std::string>{{"User-Agent", "UA"}, {"X", "\"q\""}}),
       "[\"User-Agent\": \"UA\", \"X\": \"\\\"q\\\"\"]\n"},
  };
  for (const auto& [dump, body] : dumps) EXPECT_EQ(dump, framed(body));
}

// Beacons finishing together log at once: each dump must stay whole, not
// interleave line by line with another thread's.
TEST_F(LogTest, DumpsWrittenByThreadsAtOnceStayWhole) {
  const Error error(Error::kURLDomain, -1004, "Could not connect to the server.");
  test::CaptureStdout out;
  {
    const auto log = [&] {
      for (int i = 0; i < 200; ++i) ULogPrints(error);
    };
    std::jthread a(log), b(log), c(log), d(log);
  }
  const auto whole = framed("error code:-1004\n" + error.description() + "\n");
  EXPECT_EQ(test::occurrences(out.stop(), whole), 800u);
}

// Entries and dumps escape separately; every dump goes through one writer.
TEST_F(LogTest, ControlCharactersInValuesAreEscapedAndTheRestIsKept) {
  using namespace std::string_view_literals;
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"\x1b]0;title\a\x1b[2J", "\\u001b]0;title\\u0007\\u001b[2J"},
      {"a\rb\0c\x7f"sv, "a\\u000db\\u0000c\\u007f"},
      {"\xc2\x9bK \xc2\x85, lone \x9bK, cut short \xe2\x9b",
       "\\u009bK \\u0085, lone \\u009bK, cut short \xe2\\u009b"},
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
    EXPECT_EQ(dumpOf(std::map<std::string, std::string>{{"X", std::string(value)}}),
              framed("[\"X\": \"" + expected + "\"]\n"));
  }
}

}  // namespace
}  // namespace ovix
