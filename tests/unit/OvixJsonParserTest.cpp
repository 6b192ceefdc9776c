#include "ovix/OvixJsonParser.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "ovix/Logging.hpp"
#include "support/CaptureStdout.hpp"

namespace ovix {
namespace {

OvixJsonParser::List parse(std::string_view text) {
  auto decoded = json::decode(text);
  EXPECT_TRUE(decoded) << text;
  if (!decoded) return {};
  return OvixJsonParser().parse(decoded.value());
}

TEST(OvixJsonParserTest, SlotsYieldRecordsInArrayOrderWithFreshUuids) {
  const auto records = parse(R"({"ads": {
      "a": [{"title": "A1"}, {"title": "A2"}, {}],
      "b": [{"title": "B1", "displayed_advertiser": "Acme", "description": "D",
             "image_url": "https://i", "click_url": "https://c",
             "imp_url": ["https://1", "https://2"], "view_imp_url": ["https://v"],
             "Title": "ignored"}]}})");
  ASSERT_EQ(records.size(), 4u);
  std::vector<std::string> a;
  std::set<std::string> uuids;
  const std::regex uuidForm("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  for (const auto& record : records) {
    if (record->infeedId() == "a") a.push_back(record->title());
    EXPECT_TRUE(std::regex_match(record->uuid(), uuidForm)) << record->uuid();
    uuids.insert(record->uuid());
  }
  EXPECT_EQ(a, (std::vector<std::string>{"A1", "A2", ""}));
  EXPECT_EQ(uuids.size(), 4u);

  const auto& b = *std::find_if(records.begin(), records.end(),
                                [](const auto& r) { return r->infeedId() == "b"; });
  EXPECT_EQ(b->title(), "B1");
  EXPECT_EQ(b->advertiser(), "Acme");
  EXPECT_EQ(b->descript(), "D");
  EXPECT_EQ(b->imageUrl(), "https://i");
  EXPECT_EQ(b->clickUrl(), "https://c");
  EXPECT_EQ(b->impUrl(), (std::vector<std::string>{"https://1", "https://2"}));
  EXPECT_EQ(b->viewableImpUrl(), (std::vector<std::string>{"https://v"}));
}

TEST(OvixJsonParserTest, ValuesOfTheWrongTypeAreNeverConverted) {
  const auto records = parse(R"({"ads": {"s": [{
      "title": 5, "description": null, "image_url": ["x"], "click_url": {"u": "v"},
      "displayed_advertiser": true,
      "imp_url": ["https://1", 2], "view_imp_url": "https://single"}]}})");
  ASSERT_EQ(records.size(), 1u);
  const auto& r = records.front();
  EXPECT_EQ(r->title(), "");
  EXPECT_EQ(r->descript(), "");
  EXPECT_EQ(r->imageUrl(), "");
  EXPECT_EQ(r->clickUrl(), "");
  EXPECT_EQ(r->advertiser(), "");
  EXPECT_TRUE(r->impUrl().empty());
  EXPECT_TRUE(r->viewableImpUrl().empty());
}

TEST(OvixJsonParserTest, StringsBeyondEightKibibytesCountAsTheWrongType) {
  const std::string most(8 << 10, 'm');
  const std::string over = most + "o";
  const auto records = parse(R"({"ads": {")" + over + R"(": [{}], "s": [{"title": ")" + most +
                             R"(", "description": ")" + over + R"(", "imp_url": ["https://1", ")" +
                             over + R"("], "view_imp_url": [")" + most + R"("]}]}})");
  ASSERT_EQ(records.size(), 1u) << "a slot id that long names no slot";
  const auto& r = records.front();
  EXPECT_EQ(r->title(), most);
  EXPECT_EQ(r->descript(), "");
  EXPECT_TRUE(r->impUrl().empty());
  EXPECT_EQ(r->viewableImpUrl(), std::vector<std::string>{most});
}

TEST(OvixJsonParserTest, MisshapenAnswersYieldWhatIsUsable) {
  EXPECT_TRUE(parse(R"({"ads": [{"title": "x"}]})").empty());
  EXPECT_TRUE(parse(R"({"errors": {"a": "unknown"}})").empty());
  EXPECT_TRUE(parse(R"([{"ads": {}}])").empty());
  EXPECT_TRUE(OvixJsonParser().parse(std::nullopt).empty());
  const auto records =
      parse(R"({"errors": [1], "ads": {"bad": {"title": "x"}, "empty": [], "ok": [3, "s", {}]}})");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records.front()->infeedId(), "ok");
}

TEST(OvixJsonParserTest, LogsEachLevelAndTheErrorsObject) {
  logging = true;
  test::CaptureStdout out;
  parse(R"({"errors": {"x": "unknown"}, "ads": {"s": [{}]}})");
  const std::string text = out.stop();
  logging = false;
  std::vector<std::string> messages;
  const std::regex entry(R"(OvixJsonParser:\d+ - (\S+)  message: (\S+))");
  for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it) {
    messages.push_back((*it)[1].str() + " " + (*it)[2].str());
  }
  EXPECT_EQ(messages,
            (std::vector<std::string>{"parse START", "parse(_:into:) START",
                                      "parse(_:for:into:) START", "parse(_:for:into:) START",
                                      "parse(_:for:into:) END", "parse(_:for:into:) END",
                                      "parse(_:into:) END", "parse END", "deinit deinit"}));
  EXPECT_NE(text.find(R"({"x":"unknown"})"), std::string::npos);
}

TEST(OvixJsonParserTest, DecodingRejectsFragmentsAndInvalidText) {
  for (std::string_view bad : {"", "5", "\"text\"", "{\"a\": }", "{\"a\": \"\xff\"}", "null"}) {
    auto decoded = json::decode(bad);
    ASSERT_FALSE(decoded) << bad;
    EXPECT_EQ(decoded.error().domain(), Error::kJSONDomain);
    EXPECT_EQ(decoded.error().code(), 3840);
  }
}

}  // namespace
}  // namespace ovix
