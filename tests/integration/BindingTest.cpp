// Binding ads into cells, their images and their click-through.
#include "ovix/OvixClickListener.hpp"
#include "ovix/platform/Application.hpp"
#include "ovix/platform/CollectionViewCell.hpp"
#include "support/IntegrationTest.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;

// Records what the SDK asks the application.
class RecordingHandler : public ui::URLHandler {
 public:
  bool canOpenURL(const std::string& url) override {
    asked.push_back(url);
    return url.rfind("app:", 0) != 0;
  }
  bool openURL(const std::string& url) override {
    opened.push_back(url);
    return !failOpening;
  }
  bool failOpening = false;
  std::vector<std::string> asked;
  std::vector<std::string> opened;
};

class HostCell : public ui::TableViewCell {
 public:
  explicit HostCell(ui::ViewKey key) : TableViewCell(key, Style::subtitle) {}
};

class BindingTest : public test::IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    answer("GET", "/img.png", test::png(300, 200, 0xFFC81E1E), 200, "image/png");
    // Small on the wire, too large a thumbnail to take.
    answer("GET", "/wide.png", test::png(5000, 2, 0xFF010203), 200, "image/png");
    answer("GET", "/text", "not an image", 200, "text/plain");
    ui::Application::setURLHandler(handler_);
  }

  void TearDown() override {
    ui::Application::resetURLHandler();
    IntegrationTest::TearDown();
  }

  // Binds `record` into a plain cell and the host's own `imageView` and labels.
  static void bindCustom(const std::shared_ptr<OvixAdInfo>& record,
                         const std::shared_ptr<ui::ImageView>& imageView) {
    manager().setInfeed(ui::make<ui::TableViewCell>(), record, imageView, ui::make<ui::Label>(),
                        nullptr, ui::make<ui::Label>(), nullptr, 80);
  }

  static std::shared_ptr<OvixAdInfo> ad(
      const std::string& image = "https://ad.ovix.example/img.png") {
    auto record = std::make_shared<OvixAdInfo>();
    record->setTitle("Title");
    record->setAdvertiser("Acme");
    record->setDescript("Description");
    record->setImageUrl(image);
    record->setClickUrl("https://click.example/landing");
    record->setUuid("11111111-2222-4333-8444-555555555555");
    return record;
  }

  std::shared_ptr<RecordingHandler> handler_ = std::make_shared<RecordingHandler>();
};

TEST_F(BindingTest, DefaultBindingFillsThePlainCellOnceAndShowsTheImageAtItsSize) {
  auto cell = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  auto record = ad();
  manager().setInfeed(cell, record, 80, Size{60, 40});
  EXPECT_TRUE(loaded(*cell));
  EXPECT_EQ(identifier(*cell), record->uuid());
  EXPECT_EQ(cell->textLabel()->text(), "Title");
  EXPECT_EQ(cell->detailTextLabel()->text(), "Acme");
  const auto placeholder = cell->imageView()->image();
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->size(), (Size{60, 40})) << "the placeholder, redrawn";

  const auto& content = cell->contentView()->subviews();
  const auto label = std::dynamic_pointer_cast<ui::Label>(content.back());
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->frame(), Rect(299, 59, 21, 21));
  EXPECT_EQ(label->text(), "PR");
  const auto buttons = clickButtons(*cell);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(cell->subviews().back(), buttons[0]) << "on top";
  EXPECT_EQ(buttons[0]->frame(), Rect(0, 0, 320, 80));

  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  const auto image = cell->imageView()->image();
  ASSERT_NE(image, placeholder);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->size(), (Size{60, 40}));
  EXPECT_EQ(image->pixel(30, 20), 0xFFC81E1Eu);

  manager().setInfeed(cell, ad(), 80, Size{60, 40});
  EXPECT_EQ(cell->contentView()->subviews().size(), content.size()) << "bound once";
}

TEST_F(BindingTest, RebindingReplacesButtonAndListenerWhichDiesWithItsCellAndSubclassesAreRefused) {
  auto cell = ui::make<ui::TableViewCell>();
  manager().setInfeed(cell, ad(), 80, Size{60, 40});
  std::weak_ptr<OvixClickListener> first = listener(*cell);
  setLoaded(*cell, false);
  manager().setInfeed(cell, ad(), 80, Size{60, 40});
  EXPECT_TRUE(first.expired()) << "the replaced listener is released at once";
  std::weak_ptr<OvixClickListener> watcher = listener(*cell);
  auto button = clickButtons(*cell).at(0);
  cell.reset();
  EXPECT_TRUE(watcher.expired()) << "the button does not own its target";
  button->sendTouchUpInside();  // the cell is gone; nothing opens
  EXPECT_TRUE(handler_->opened.empty());

  auto hostCell = ui::make<HostCell>();
  manager().setInfeed(hostCell, ad(), 80, Size{60, 40});
  EXPECT_FALSE(loaded(*hostCell));
  EXPECT_TRUE(clickButtons(*hostCell).empty());
}

TEST_F(BindingTest, ImagesAtNaturalSizeOrNoneAndBadImagesClearTheViewOrKeepThePlaceholder) {
  auto cell = ui::make<ui::TableViewCell>();
  manager().setInfeed(cell, ad(), 80, Size{0, 0});
  EXPECT_EQ(cell->imageView()->image(), nullptr);
  const std::pair<const char*, std::shared_ptr<ui::ImageView>> views[] = {
      {"https://ad.ovix.example/img.png", ui::make<ui::ImageView>()},
      {"https://ad.ovix.example/text", ui::make<ui::ImageView>()},
      {"https://ad.ovix.example/missing.png", ui::make<ui::ImageView>()},
      {"not a url", ui::make<ui::ImageView>()},
      {"https://ad.ovix.example/wide.png", ui::make<ui::ImageView>()}};
  for (const auto& [url, view] : views) bindCustom(ad(url), view);
  const auto placeholder = views[0].second->image();
  ASSERT_NE(placeholder, nullptr);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(cell->imageView()->image(), nullptr);
  ASSERT_NE(views[0].second->image(), nullptr);
  EXPECT_EQ(views[0].second->image()->size(), (Size{300, 200}));
  EXPECT_EQ(views[1].second->image(), nullptr) << "undecodable";
  for (int i : {2, 3, 4}) EXPECT_EQ(views[i].second->image(), placeholder) << views[i].first;
}

TEST_F(BindingTest, CustomBindingFillsTheHostsViewsAndSizesTheButtonPerCellKind) {
  auto title = ui::make<ui::Label>();
  auto description = ui::make<ui::Label>();
  auto advertiser = ui::make<ui::Label>();
  auto adLabel = ui::make<ui::Label>();
  auto hostCell = ui::make<HostCell>();
  manager().setInfeed(hostCell, ad(), ui::make<ui::ImageView>(), title, description, advertiser,
                      adLabel, 90, Rect(0, 0, 30, 20));
  EXPECT_TRUE(loaded(*hostCell)) << "custom binding takes subclasses";
  EXPECT_EQ(title->text() + description->text() + advertiser->text() + adLabel->text(),
            "TitleDescriptionAcmePR");
  EXPECT_EQ(clickButtons(*hostCell).at(0)->frame(), Rect(0, 0, 320, 90));

  auto plain = ad();
  plain->setAdvertiser("");
  auto sponsor = ui::make<ui::Label>();
  auto collection = ui::make<ui::CollectionViewCell>();
  manager().setAdLabelString("Sponsored");
  manager().setInfeed(collection, plain, ui::make<ui::ImageView>(), ui::make<ui::Label>(), nullptr,
                      sponsor, nullptr, Size{150, 200});
  EXPECT_EQ(sponsor->text(), "Sponsored by ");
  EXPECT_EQ(clickButtons(*collection).at(0)->frame(), Rect(0, 0, 150, 200));
}

TEST_F(BindingTest, TapsAndOpenAdHandTheClickUrlToTheApplication) {
  auto cell = ui::make<ui::TableViewCell>();
  manager().setInfeed(cell, ad(), 80, Size{60, 40});
  clickButtons(*cell).at(0)->sendTouchUpInside();
  EXPECT_EQ(handler_->opened, (std::vector<std::string>{"https://click.example/landing"}));
  EXPECT_FALSE(manager().openAd(cell->contentView())) << "direct subviews only";
  // An opener that accepts the URL but fails to open it is believed.
  handler_->failOpening = true;
  EXPECT_FALSE(manager().openAd(cell));
  handler_->failOpening = false;

  auto view = ui::make<ui::View>();
  auto untagged = ui::make<ui::Button>();
  setClickUrl(*untagged, "https://untagged");
  view->addSubview(untagged);
  EXPECT_FALSE(manager().openAd(view));
  const auto clicks = std::make_shared<OvixClickListener>();  // the button's target, held
  clicks->addListener(view, ad(), Size{10, 10});
  auto firstButton = clickButtons(*view).at(0);
  auto secondButton = ui::make<ui::Button>();
  secondButton->setTag(kClickButtonTag);
  setClickUrl(*secondButton, "https://second");
  view->addSubview(secondButton);

  // Web URLs go normalised and escaped, other schemes as written or not at
  // all; the first button wins.
  struct Case {
    std::string click;
    const char* handed;  // null: the application is not asked
  };
  const Case cases[] = {
      {"https://click.example/landing", "https://click.example/landing"},
      {"HTTPS://Click.Example/a b\"`$(id);|'?q=1 2#\xC2\x85",
       "https://Click.Example/a%20b%22%60%24(id)%3B%7C%27?q=1%202#%C2%85"},
      {"https://\xC3\xA9xample.test/\x01", "https://%C3%A9xample.test/%01"},
      {"myapp://item/42?x=%41&y=$(id)", "myapp://item/42?x=%41&y=$(id)"},
      {"UTUUUUUUUUUUvp:/%377", "UTUUUUUUUUUUvp:/%377"},
      {"myapp://item/4 2", nullptr},
      {"myapp://item/\xC2\x85/42", nullptr},
      {"myapp://item/\x85/42", nullptr},
      {"https://%377/", nullptr},
      {"https:x", nullptr},
      {"//click.example/", nullptr},
  };
  for (const auto& [click, handed] : cases) {
    setClickUrl(*firstButton, click);
    handler_->asked.clear();
    handler_->opened.clear();
    EXPECT_EQ(manager().openAd(view), handed != nullptr) << click;
    const auto expected = handed ? std::vector<std::string>{handed} : std::vector<std::string>{};
    EXPECT_EQ(handler_->asked, expected) << click;
    EXPECT_EQ(handler_->opened, expected) << click;
  }
  // Asked, refused, not opened, by tap or by openAd.
  setClickUrl(*firstButton, "app://elsewhere");
  firstButton->sendTouchUpInside();
  EXPECT_FALSE(manager().openAd(view));
  EXPECT_EQ(handler_->asked.size(), 2u);
  EXPECT_TRUE(handler_->opened.empty());
  ui::Application::resetURLHandler();
  setClickUrl(*firstButton, "myapp://item/42");
  EXPECT_FALSE(manager().openAd(view)) << "the desktop opener takes http and https only";
}

}  // namespace
}  // namespace ovix
