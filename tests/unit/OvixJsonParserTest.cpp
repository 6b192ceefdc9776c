#include "ovix/OvixJsonParser.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "ovix/Logging.hpp"
#include "support/CaptureStdout.hpp"

namespace ovix {
namespace {

// The records of an answer, each as "slot|title|advertiser|description|image|
// click|imp,|view,", joined by "; "; "error" for text that does not decode.
// Every record must have a fresh random uuid.
std::string parsed(std::string_view text) {
  static std::set<std::string> uuids;
  static const std::regex uuidForm(
      "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  auto decoded = json::decode(text);
  if (!decoded) return "error";
  std::string out;
  for (const auto& r : OvixJsonParser().parse(decoded.value())) {
    EXPECT_TRUE(std::regex_match(r->uuid(), uuidForm)) << r->uuid();
    EXPECT_TRUE(uuids.insert(r->uuid()).second) << r->uuid();
    out += (out.empty() ? "" : "; ") + r->infeedId() + "|" + r->title() + "|" + r->advertiser() +
           "|" + r->descript() + "|" + r->imageUrl() + "|" + r->clickUrl() + "|";
    for (const auto& url : r->impUrl()) out += url + ",";
    out += "|";
    for (const auto& url : r->viewableImpUrl()) out += url + ",";
  }
  return out;
}

TEST(OvixJsonParserTest, AnswersYieldTheirUsableRecordsInOrderNeverConvertATypeAndLogTheirErrors) {
  const std::string most(8 << 10, 'm');  // the longest string taken
  const std::string over = most + "o";
  const std::pair<std::string, std::string> cases[] = {
      {R"({"ads": {"a": [{"title": "A1"}, {"title": "A2"}, {}],
          "b": [{"title": "B1", "displayed_advertiser": "Acme", "description": "D",
                 "image_url": "https://i", "click_url": "https://c", "Title": "ignored",
                 "imp_url": ["https://1", "https://2"], "view_imp_url": ["https://v"]}]}})",
       "a|A1||||||; a|A2||||||; a|||||||; b|B1|Acme|D|https://i|https://c|https://1,https://2,|"
       "https://v,"},
      {R"({"ads": {"s": [{"title": 5, "description": null, "image_url": ["x"],
          "click_url": {"u": "v"}, "displayed_advertiser": true,
          "imp_url": ["https://1", 2], "view_imp_url": "https://single"}]}})",
       "s|||||||"},
      // Strings beyond the limit count as the wrong type; such a slot id names no slot.
      {R"({"ads": {")" + over + R"(": [{}], "s": [{"title": ")" + most + R"(", "description": ")" +
           over + R"(", "imp_url": ["https://1", ")" + over + R"("], "view_imp_url": [")" + most +
           R"("]}]}})",
       "s|" + most + "||||||" + most + ","},
      {R"({"errors": [1], "ads": {"bad": {"title": "x"}, "empty": [], "ok": [3, "s", {}]}})",
       "ok|||||||"},
      {R"({"ads": [{"title": "x"}]})", ""},
      {R"({"errors": {"a": "unknown"}})", ""},
      {R"([{"ads": {}}])", ""},
  };
  for (const auto& [answer, records] : cases) EXPECT_EQ(parsed(answer), records) << answer;
  // Only an object or an array of valid JSON decodes; its error is the response fuzzer's.
  for (const char* text : {"", "5", "\"text\"", "null", "{\"a\": }", "{\"a\": \"\xff\"}"}) {
    EXPECT_FALSE(json::decode(text)) << text;
  }
  EXPECT_TRUE(OvixJsonParser().parse(std::nullopt).empty());

  // The server's errors object reaches the log, for the host's developer.
  logging = true;
  test::CaptureStdout out;
  parsed(R"({"errors": {"x": "unknown"}})");
  logging = false;
  EXPECT_NE(out.stop().find(R"({"x":"unknown"})"), std::string::npos);
}

}  // namespace
}  // namespace ovix
