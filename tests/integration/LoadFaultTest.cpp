// Loads against servers that misbehave: each load's delegate hears exactly
// one failure, with the fault's error, and nothing is left running.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "ovix/model/OvixAds.hpp"
#include "ovix/Ovix.hpp"
#include "support/CaptureStdout.hpp"
#include "support/FaultServer.hpp"
#include "support/RecordingDelegate.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::Fault;
using test::FaultServer;
using test::RecordingDelegate;

class LoadFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(net::setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath()));
  }

  void TearDown() override {
    net::clearConnectOverrides();
    OvixManager::shared().clearAd();
  }

  // Loads from a server of each fault at once; a transfer takes the route set
  // when it starts, so each goes to its own server.
  static void expectEachToFail(const std::vector<Fault>& faults) {
    std::vector<std::unique_ptr<FaultServer>> servers;
    std::vector<std::shared_ptr<RecordingDelegate>> delegates;
    for (Fault fault : faults) {
      servers.push_back(std::make_unique<FaultServer>(fault));
      servers.back()->routeLoads();
      delegates.push_back(std::make_shared<RecordingDelegate>());
      OvixRequest request;
      request.set("a", 1);
      OvixManager::shared().loadOvix(request, delegates.back());
    }
    ASSERT_TRUE(dispatch::waitForPendingWork(10s));
    for (std::size_t i = 0; i < faults.size(); ++i) {
      SCOPED_TRACE(test::name(faults[i]));
      ASSERT_EQ(delegates[i]->calls(), 1);
      const auto outcome = *delegates[i]->outcome();
      ASSERT_TRUE(outcome.error);
      EXPECT_EQ(outcome.error->domain(), Error::kURLDomain);
      EXPECT_EQ(outcome.error->code(), test::expectedCode(faults[i]));
      EXPECT_TRUE(outcome.onMainThread);
    }
    EXPECT_EQ(dispatch::pendingWork(), 0u);
    EXPECT_EQ(net::pendingTransfers(), 0u);
    EXPECT_FALSE(OvixManager::shared().ovixAds()->ads()) << "no ad came through";
  }
};

TEST_F(LoadFaultTest, AnswersThatNeverFinishTimeOutAtTheWholeTransferBound) {
  expectEachToFail(test::neverFinishingFaults());
}

TEST_F(LoadFaultTest, BrokenConnectionsUntrustworthyServersAndUnknownHostsFail) {
  expectEachToFail({Fault::kResetMidBody, Fault::kHandshakeFailure, Fault::kWrongHost,
                    Fault::kExpiredCertificate, Fault::kUnresolvableHost});
}

TEST_F(LoadFaultTest, OversizeAnswersAndRedirectsOutOfHttpsOrInCirclesAreRefused) {
  expectEachToFail({Fault::kOversizeAnnounced, Fault::kOversizeChunked, Fault::kRedirectToFile,
                    Fault::kRedirectLoop, Fault::kRedirectToCleartext});
}

// The most memory this process has held at once, in bytes.
std::size_t peakMemory() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

TEST_F(LoadFaultTest, AnAnswerOfMillionsOfAdsAddsTheFirstThousandInBoundedMemory) {
  std::string answer = R"({"ads": {"a": [)";
  for (int i = 0; i < 1'300'000; ++i) answer += i ? ",{}" : "{}";
  answer += "]}}";
  ASSERT_LT(answer.size(), std::size_t{4} << 20) << "within the answer's bound";
  test::TlsServer server;
  server.handle("POST", "/ad/v2.ios", [&](const auto&, auto& response) {
    response.set_content(answer, "application/json");
  });
  net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port());
  const std::size_t before = peakMemory();
  auto delegate = std::make_shared<RecordingDelegate>();
  OvixRequest request;
  request.set("a", 1);
  OvixManager::shared().loadOvix(request, delegate);
  ASSERT_TRUE(dispatch::waitForPendingWork(20s));
  ASSERT_EQ(delegate->calls(), 1);
  EXPECT_EQ(delegate->outcome()->count, 1000);
  EXPECT_EQ(OvixManager::shared().ovixAds()->ads()->size(), 1000u);
  EXPECT_LT(peakMemory() - before, std::size_t{256} << 20);
}

TEST_F(LoadFaultTest, TerminalControlsInAnAnswerReachTheLogEscaped) {
  test::TlsServer server;
  server.handle("POST", "/ad/v2.ios", [](const auto&, auto& response) {
    response.set_header("X-Note", "\x1b]0;retitled\x07\x1b[2J");
    // A raw C1 control (CSI) is valid inside a JSON string.
    response.set_content("{\"ads\": {\"a\": [{\"title\": \"\xc2\x9b" "31mred\"}]}}",
                         "application/json");
  });
  net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port());
  auto delegate = std::make_shared<RecordingDelegate>();
  logging = true;
  test::CaptureStdout out;
  {
    OvixRequest request;
    request.set("a", 1);
    OvixManager::shared().loadOvix(request, delegate);
  }
  const bool finished = dispatch::waitForPendingWork(10s);
  const std::string log = out.stop();
  logging = false;
  ASSERT_TRUE(finished);
  EXPECT_EQ(delegate->outcome()->count, 1);
  EXPECT_EQ(log.find_first_of("\x1b\x07"), std::string::npos);
  EXPECT_EQ(log.find("\xc2\x9b"), std::string::npos);
  EXPECT_NE(log.find("\\u001b]0;retitled\\u0007\\u001b[2J"), std::string::npos) << log;
  EXPECT_NE(log.find("\\u009b31mred"), std::string::npos);
}

}  // namespace
}  // namespace ovix
