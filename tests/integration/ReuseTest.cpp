// Cells reused as a feed scrolls: each shows its own ad, and nothing else.
#include <atomic>
#include <thread>

#include "ovix/model/OvixAds.hpp"
#include "support/IntegrationTest.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::kWillDisplay;

class ReuseTest : public test::IntegrationTest {
 protected:
  // Binds a cell again, as a host's data source does for a reused cell.
  static void rebind(const std::shared_ptr<ui::TableViewCell>& cell,
                     const std::shared_ptr<OvixAdInfo>& record) {
    setLoaded(*cell, false);
    manager().setInfeed(cell, record, 80, Size{60, 40});
  }

  // The SDK's labels on the cell: those in the content view beyond the cell's own.
  static std::size_t adLabels(const ui::TableViewCell& cell) {
    std::size_t count = 0;
    for (const auto& view : cell.contentView()->subviews()) {
      count += dynamic_cast<ui::Label*>(view.get()) && view != cell.textLabel() &&
               view != cell.detailTextLabel();
    }
    return count;
  }

  // Runs the main queue until the server holds `held` requests and nothing
  // else is in flight.
  bool settleWithHeld(std::size_t held) {
    return server_.waitForHeld(held, 10s) &&
           dispatch::runMainQueueUntil(
               [&] { return net::pendingTransfers() == held && dispatch::pendingWork() == held; },
               10s);
  }
};

TEST_F(ReuseTest, TheLatestBindingsImageWinsWhicheverDownloadEndsLast) {
  // In `late` the earlier binding's image arrives last: it is dropped. In
  // `early` it arrives first: the placeholder stays until the current
  // binding's own image comes.
  auto late = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  manager().setInfeed(late, ad("a", "/slow/red.png"), 80, Size{60, 40});
  rebind(late, ad("b", "/img/green.png"));
  auto early = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  manager().setInfeed(early, ad("c", "/img/blue.png"), 80, Size{60, 40});
  rebind(early, ad("d", "/slow/red.png"));
  const auto placeholder = early->imageView()->image();
  ASSERT_NE(placeholder, nullptr);

  ASSERT_TRUE(settleWithHeld(2));
  EXPECT_EQ(centre(*late->imageView()), test::kGreen);
  EXPECT_EQ(early->imageView()->image(), placeholder);
  server_.releaseHeld();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(centre(*late->imageView()), test::kGreen) << "another advertiser's image";
  EXPECT_EQ(late->imageView()->image()->size(), (Size{60, 40}));
  EXPECT_EQ(identifier(*late) + "/" + late->textLabel()->text(), "uuid-b/Title b");
  EXPECT_EQ(centre(*early->imageView()), test::kRed);
}

TEST_F(ReuseTest, ABindingOfAnotherKindOrSizeKeepsItsOwnImageSize) {
  // A default binding at 60 by 40, then a custom binding of the same cell at
  // the image's natural size while the first image is still on its way.
  auto cell = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  manager().setInfeed(cell, ad("a", "/slow/red.png"), 80, Size{60, 40});
  ASSERT_TRUE(server_.waitForHeld(1, 10s));
  setLoaded(*cell, false);
  manager().setInfeed(cell, ad("b", "/img/green.png"), cell->imageView(), cell->textLabel(),
                      nullptr, cell->detailTextLabel(), nullptr, 80);
  EXPECT_EQ(adLabels(*cell), 0u) << "a custom binding has no ad label of the SDK's";
  ASSERT_TRUE(settleWithHeld(1));
  server_.releaseHeld();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  ASSERT_NE(cell->imageView()->image(), nullptr) << "blanked by the earlier binding";
  EXPECT_EQ(cell->imageView()->image()->size(), (Size{300, 200}));
  EXPECT_EQ(centre(*cell->imageView()), test::kGreen);
  EXPECT_EQ(manager().imageViewRect(), Rect()) << "the manager still records the last binding's";
}

TEST_F(ReuseTest, RebindingKeepsOneLabelAndOneButtonAndUnbindingLeavesTheHostsCell) {
  auto cell = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  cell->textLabel()->setLineBreakMode(ui::LineBreakMode::wordWrapping);
  const auto built = cell->contentView()->subviews().size();
  for (int i = 0; i < 50; ++i) {
    manager().setAdLabelString(i % 2 ? "PR" : "AD");
    manager().setScreenWidth(300 + i);
    rebind(cell, ad("a", "/img/green.png"));
  }
  rebind(cell, ad("b", "/slow/red.png"));
  EXPECT_EQ(cell->contentView()->subviews().size(), built + 1);
  EXPECT_EQ(adLabels(*cell), 1u);
  EXPECT_EQ(clickButtons(*cell).size(), 1u);
  // A custom binding of the host's own views, its image also on its way.
  auto custom = ui::make<ui::TableViewCell>();
  auto picture = ui::make<ui::ImageView>();
  bindCustom(custom, ad("c", "/slow/green.png"), picture);
  ASSERT_TRUE(server_.waitForHeld(2, 10s));

  std::weak_ptr<OvixClickListener> listenerWatch = listener(*cell);
  manager().prepareForReuse(cell);
  manager().prepareForReuse(custom);
  EXPECT_EQ(cell->contentView()->subviews().size(), built);
  EXPECT_TRUE(clickButtons(*cell).empty()) << "a content row that opens an ad";
  EXPECT_TRUE(clickButtons(*custom).empty());
  EXPECT_TRUE(listenerWatch.expired());
  EXPECT_FALSE(loaded(*cell));
  EXPECT_EQ(identifier(*cell) + cell->textLabel()->text() + cell->detailTextLabel()->text(), "");
  EXPECT_EQ(cell->textLabel()->lineBreakMode(), ui::LineBreakMode::wordWrapping);
  EXPECT_FALSE(cell->detailTextLabel()->adjustsFontSizeToFitWidth());
  EXPECT_EQ(cell->imageView()->image(), nullptr);

  cell->textLabel()->setText("A story");
  picture->setImage(nullptr);
  manager().tryImpression(cell, kWillDisplay);
  server_.releaseHeld();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_EQ(cell->imageView()->image(), nullptr) << "an image landed on a content row";
  EXPECT_EQ(picture->image(), nullptr);
  EXPECT_EQ(cell->textLabel()->text(), "A story");
}

TEST_F(ReuseTest, WorkersReportDisplaysWhileTheMainThreadRebindsAndTheHostChangesItsAds) {
  // The host's own records: a later batch is kept as the very objects added.
  auto first = ad("first", "");
  auto mine = std::vector{ad("x", ""), ad("y", "")};
  for (auto& record : mine) record->setImpUrl({"https://ad.ovix.example/imp/" + record->uuid()});
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  for (int i = 0; i < 4; ++i) cells.push_back(ui::make<ui::TableViewCell>());

  std::atomic<bool> done{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w) {
    workers.emplace_back([&] {
      while (!done) {
        for (const auto& cell : cells) manager().tryImpression(cell, kWillDisplay);
        if (auto next = manager().hasNextAd("s")) (void)next->fields()->title.size();
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    if (i % 100 == 0) {
      manager().clearAd();
      manager().add(std::vector{first});
      manager().add(mine);
    }
    const auto& cell = cells[i % cells.size()];
    auto& record = mine[i % mine.size()];
    i % 3 ? rebind(cell, record) : manager().prepareForReuse(cell);
    record->setTitle("Title " + std::to_string(i));
    record->setImpUrl({"https://ad.ovix.example/imp/" + std::to_string(i)});
    dispatch::drainMainQueue();
  }
  done = true;
  for (auto& worker : workers) worker.join();
  ASSERT_TRUE(dispatch::waitForPendingWork(10s));
  EXPECT_LE(server_.requests().size(), 40u) << "once per ad per fill of the inventory";
}

}  // namespace
}  // namespace ovix
