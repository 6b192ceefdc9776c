// Binding ads into cells, their images and their click-through.
#include <mutex>
#include <thread>

#include "ovix/common/Events.hpp"
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
  std::vector<std::string> asked, opened;
};

// A host's own kind of cell.
struct HostCell : ui::TableViewCell {
  using TableViewCell::TableViewCell;
};

class BindingTest : public test::IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    // Small on the wire, too large a thumbnail to take.
    answer("GET", "/wide.png", test::png(5000, 2, 0xFF010203), 200, "image/png");
    answer("GET", "/text", "not an image", 200, "text/plain");
    ui::Application::setURLHandler(handler_);  // reset by the fixture
  }

  std::shared_ptr<RecordingHandler> handler_ = std::make_shared<RecordingHandler>();
};

TEST_F(BindingTest, DefaultBindingFillsThePlainCellOnceAndShowsTheImageAtItsSize) {
  auto cell = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  manager().setInfeed(cell, ad("a", "/img/red.png"), 80, Size{60, 40});
  EXPECT_TRUE(loaded(*cell));
  EXPECT_EQ(identifier(*cell), "uuid-a");
  EXPECT_EQ(cell->textLabel()->text() + "/" + cell->detailTextLabel()->text(),
            "Title a/Advertiser a");
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
  ASSERT_EQ(centre(*cell->imageView()), test::kRed);
  const auto image = cell->imageView()->image();
  EXPECT_EQ(image->size(), (Size{60, 40}));
  EXPECT_EQ(image->scale(), 1.0);
  EXPECT_TRUE(cell->imageView()->clipsToBounds() &&
              cell->imageView()->contentMode() == ui::ContentMode::scaleAspectFill);
  manager().setInfeed(cell, ad("b"), 80, Size{60, 40});
  EXPECT_EQ(identifier(*cell) + "/" + cell->textLabel()->text(), "uuid-a/Title a") << "bound once";
}

TEST_F(BindingTest, RebindingReplacesButtonAndListenerWhichDiesWithItsCellAndSubclassesAreRefused) {
  auto cell = ui::make<ui::TableViewCell>();
  manager().setInfeed(cell, ad("a"), 80, Size{60, 40});
  std::weak_ptr<OvixClickListener> first = listener(*cell);
  setLoaded(*cell, false);
  manager().setInfeed(cell, ad("b"), 80, Size{60, 40});
  EXPECT_TRUE(first.expired()) << "the replaced listener is released at once";
  std::weak_ptr<OvixClickListener> watcher = listener(*cell);
  auto button = clickButtons(*cell).at(0);
  cell.reset();
  EXPECT_TRUE(watcher.expired()) << "the button does not own its target";
  button->sendTouchUpInside();  // the cell is gone; nothing opens
  EXPECT_TRUE(handler_->opened.empty());

  auto hostCell = ui::make<HostCell>();
  manager().setInfeed(hostCell, ad("c"), 80, Size{60, 40});
  EXPECT_FALSE(loaded(*hostCell));
  EXPECT_TRUE(clickButtons(*hostCell).empty());
}

// Images at their natural size: ReuseTest.
TEST_F(BindingTest, ImagesOfNoSizeAreNoneAndBadImagesClearTheViewOrKeepThePlaceholder) {
  auto cell = ui::make<ui::TableViewCell>();
  manager().setInfeed(cell, ad("a", "/img/red.png"), 80, Size{0, 0});
  EXPECT_EQ(cell->imageView()->image(), nullptr);
  std::vector<std::shared_ptr<ui::ImageView>> views;
  for (const char* image : {"/text", "/missing.png", "not a url", "/wide.png"}) {
    views.push_back(ui::make<ui::ImageView>());
    bindCustom(ui::make<ui::TableViewCell>(), ad("b", image), views.back());
  }
  const auto placeholder = views[1]->image();
  ASSERT_NE(placeholder, nullptr);
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(cell->imageView()->image(), nullptr);
  EXPECT_EQ(views[0]->image(), nullptr) << "undecodable";
  for (int kept : {1, 2, 3}) EXPECT_EQ(views[kept]->image(), placeholder) << kept;
}

TEST_F(BindingTest, CustomBindingFillsTheHostsViewsAndSizesTheButtonPerCellKind) {
  const std::vector labels{ui::make<ui::Label>(), ui::make<ui::Label>(), ui::make<ui::Label>(),
                           ui::make<ui::Label>()};
  auto hostCell = ui::make<HostCell>();
  manager().setInfeed(hostCell, ad("a"), ui::make<ui::ImageView>(), labels[0], labels[1], labels[2],
                      labels[3], 90, Rect(0, 0, 30, 20));
  EXPECT_TRUE(loaded(*hostCell)) << "custom binding takes subclasses";
  EXPECT_EQ(labels[0]->text() + "/" + labels[1]->text() + "/" + labels[2]->text() + "/" +
                labels[3]->text(),
            "Title a/Description a/Advertiser a/PR");
  EXPECT_EQ(clickButtons(*hostCell).at(0)->frame(), Rect(0, 0, 320, 90));
  EXPECT_EQ(manager().imageViewRect(), Rect(0, 0, 30, 20));

  auto plain = ad("b");
  plain->setAdvertiser("");
  auto collection = ui::make<ui::CollectionViewCell>();
  manager().setAdLabelString("Sponsored");
  manager().setInfeed(collection, plain, ui::make<ui::ImageView>(), labels[0], nullptr, labels[1],
                      nullptr, Size{150, 200});
  EXPECT_EQ(labels[1]->text(), "Sponsored by ");
  EXPECT_EQ(clickButtons(*collection).at(0)->frame(), Rect(0, 0, 150, 200));
}

TEST_F(BindingTest, TapsAndOpenAdHandTheClickUrlToTheApplication) {
  auto cell = ui::make<ui::TableViewCell>();
  manager().setInfeed(cell, ad("landing"), 80, Size{60, 40});
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
  clicks->addListener(view, ad("a"), Size{10, 10});
  auto firstButton = clickButtons(*view).at(0);
  auto secondButton = ui::make<ui::Button>();
  secondButton->setTag(kClickButtonTag);
  setClickUrl(*secondButton, "https://second");
  view->addSubview(secondButton);

  // Web URLs go normalised and escaped, other schemes as written or not at
  // all; the first button wins. Each URL with what the application is handed
  // (null: not asked).
  const std::pair<std::string, const char*> cases[] = {
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

// Taps and openAd are heard with the cell's ad, its click URL and whether it
// opened. A listener released in a callback hears nothing more, and without
// one nothing at all is posted to the main queue.
TEST_F(BindingTest, ListenerHearsClicksUntilReleasedAndWithoutOneNothingIsPosted) {
  auto listener = std::make_shared<test::RecordingListener>();
  const auto heard = listener->heard;
  manager().setEventListener(listener);
  auto cell = ui::make<ui::TableViewCell>();
  manager().setInfeed(cell, ad("landing"), 80, Size{60, 40});
  const auto tap = [&] { clickButtons(*cell).at(0)->sendTouchUpInside(); };
  tap();
  handler_->failOpening = true;
  EXPECT_FALSE(manager().openAd(cell));
  EXPECT_FALSE(manager().openAd(cell->contentView())) << "no click button: no click";
  EXPECT_TRUE(heard->empty()) << "posted, not called";
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(*heard, (std::vector<std::string>{
                        "click uuid-landing https://click.example/landing opened",
                        "click uuid-landing https://click.example/landing refused",
                    }));

  // Expiries come from any thread, each in a callback of its own.
  heard->clear();
  const std::weak_ptr<OvixEventListener> watcher = listener;
  listener->onEvent = [&listener] { listener.reset(); };
  std::thread([] { events::postAdsExpired(manager(), {"old-1", "old-2"}); }).join();
  tap();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(*heard, std::vector<std::string>{"expired old-1"});
  EXPECT_TRUE(watcher.expired());

  // A listener gone is none: the same calls post nothing.
  auto shown = boundCell(stock("quiet", {"https://ad.ovix.example/imp/quiet"}));
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  std::mutex mutex;
  std::vector<dispatch::Task> posted;
  dispatch::setMainExecutor([&](dispatch::Task task) {
    std::lock_guard lock(mutex);
    posted.push_back(std::move(task));
  });
  tap();
  manager().openAd(cell);
  manager().tryImpression(shown, test::kWillDisplay);
  events::postAdsExpired(manager(), {"old-3"});
  const bool finished = dispatch::waitForPendingWork(10s);
  dispatch::setMainExecutor(nullptr);
  EXPECT_TRUE(finished);
  EXPECT_EQ(posted.size(), 0u);
  EXPECT_EQ(server_.requests().size(), 1u) << "the beacon went";
  for (auto& task : posted) task();
}

}  // namespace
}  // namespace ovix
