#include "ovix/ViewTags.hpp"

#include <gtest/gtest.h>

#include "ovix/common/Characters.hpp"
#include "ovix/OvixClickListener.hpp"

namespace ovix {
namespace {

TEST(ViewTagsTest, TagsStartEmptyAreIndependentAndFollowTheView) {
  auto button = ui::make<ui::Button>();
  EXPECT_FALSE(loaded(*button));
  EXPECT_EQ(listener(*button), nullptr);
  EXPECT_EQ(identifier(*button), "");
  EXPECT_EQ(clickUrl(*button), std::nullopt);

  auto held = std::make_shared<OvixClickListener>();
  std::weak_ptr<OvixClickListener> watcher = held;
  setLoaded(*button, true);
  setListener(*button, std::move(held));
  setIdentifier(*button, "UUID");
  setClickUrl(*button, "https://click");
  EXPECT_TRUE(loaded(*button));
  EXPECT_EQ(identifier(*button), "UUID");
  EXPECT_EQ(clickUrl(*button), "https://click");
  EXPECT_FALSE(watcher.expired()) << "the view holds its listener";

  setClickUrl(*button, std::nullopt);
  EXPECT_EQ(clickUrl(*button), std::nullopt);
  EXPECT_TRUE(loaded(*button)) << "keys do not collide";
  button.reset();
  EXPECT_TRUE(watcher.expired()) << "released with the view";
}

TEST(ViewTagsTest, AdLabelKeepsTwoUserPerceivedCharacters) {
  EXPECT_EQ(adLabelText("PR"), "PR");
  EXPECT_EQ(adLabelText("Sponsored"), "Sp");
  EXPECT_EQ(adLabelText("A"), "A");
  EXPECT_EQ(adLabelText(""), "");
  EXPECT_EQ(adLabelText("\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8X"),
            "\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8")
      << "a flag is one character";
  const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
  EXPECT_EQ(adLabelText(family + "e\u0301x"), family + "e\u0301") << "clusters, not code points";
  EXPECT_EQ(adLabelText("\xff\xfeZ"), "\xff\xfe") << "invalid bytes count one each";
}

}  // namespace
}  // namespace ovix
