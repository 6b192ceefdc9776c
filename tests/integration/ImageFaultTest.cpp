// Image downloads from servers that misbehave: the failure is only logged,
// the image view keeps its placeholder and nothing is left running.
#include <gtest/gtest.h>

#include "ovix/Ovix.hpp"
#include "support/CaptureStdout.hpp"
#include "support/FaultServer.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::Fault;
using test::FaultServer;
using test::occurrences;

class ImageFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(net::setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath()));
  }

  void TearDown() override { OvixManager::shared().setImageViewRect(Rect()); }

  // Binds a cell per fault whose image comes from that fault's server.
  static void expectEachToKeepItsPlaceholder(const std::vector<Fault>& faults) {
    std::vector<std::unique_ptr<FaultServer>> servers;
    std::vector<std::shared_ptr<ui::ImageView>> views;
    std::vector<std::shared_ptr<const gfx::Image>> placeholders;
    logging = true;
    test::CaptureStdout out;
    for (Fault fault : faults) {
      servers.push_back(std::make_unique<FaultServer>(fault));
      auto ad = std::make_shared<OvixAdInfo>();
      ad->setUuid("image-" + std::string(test::name(fault)));
      ad->setImageUrl(servers.back()->url("/ad.png"));
      views.push_back(ui::make<ui::ImageView>());
      OvixManager::shared().setInfeed(ui::make<ui::TableViewCell>(), ad, views.back(),
                                      ui::make<ui::Label>(), nullptr, ui::make<ui::Label>(),
                                      nullptr, 80);
      placeholders.push_back(views.back()->image());
    }
    const bool finished = dispatch::waitForPendingWork(20s);
    const std::string log = out.stop();
    logging = false;
    ASSERT_TRUE(finished);
    EXPECT_EQ(occurrences(log, "Failure to load the ad image."), faults.size()) << log;
    for (std::size_t i = 0; i < faults.size(); ++i) {
      SCOPED_TRACE(test::name(faults[i]));
      ASSERT_NE(placeholders[i], nullptr);
      EXPECT_EQ(views[i]->image(), placeholders[i]);
    }
    EXPECT_EQ(dispatch::pendingWork(), 0u);
    EXPECT_EQ(net::pendingTransfers(), 0u);
  }
};

TEST_F(ImageFaultTest, DownloadsThatNeverFinishGiveUpAtTheirTimeOut) {
  expectEachToKeepItsPlaceholder(test::neverFinishingFaults());
}

TEST_F(ImageFaultTest, DownloadsThatFailOrAreRefusedLeaveThePlaceholder) {
  expectEachToKeepItsPlaceholder(test::immediateFaults());
}

}  // namespace
}  // namespace ovix
