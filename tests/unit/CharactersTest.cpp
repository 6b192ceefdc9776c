#include "ovix/common/Characters.hpp"

#include <gtest/gtest.h>

namespace ovix {
namespace {

TEST(CharactersTest, AdLabelKeepsTwoUserPerceivedCharacters) {
  const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
  const std::pair<std::string, std::string> cases[] = {
      {"PR", "PR"},
      {"Sponsored", "Sp"},
      {"", ""},
      {"\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8X", "\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8"},
      {family + "e\u0301x", family + "e\u0301"},  // clusters, not code points
      {"\xff\xfeZ", "\xff\xfe"},                  // invalid bytes count one each
  };
  for (const auto& [text, label] : cases) EXPECT_EQ(adLabelText(text), label) << text;
}

}  // namespace
}  // namespace ovix
