// The development server as host developers use it: `ovix serve` beside
// `ovix load`, and the library inside a host that loads through the SDK.
#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include "devserver/Server.hpp"
#include "ovix/Ovix.hpp"
#include "support/BackgroundProcess.hpp"
#include "support/Process.hpp"
#include "support/RecordingDelegate.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;

struct Listening {
  std::string port;
  std::string certificate;
};

// "ovix serve listening on https://127.0.0.1:PORT (certificate PATH)"
std::optional<Listening> parseListening(const std::string& line) {
  const std::string prefix = "ovix serve listening on https://127.0.0.1:";
  const auto open = line.find(" (certificate ");
  if (line.rfind(prefix, 0) != 0 || open == std::string::npos || line.back() != ')') {
    return std::nullopt;
  }
  return Listening{line.substr(prefix.size(), open - prefix.size()),
                   line.substr(open + 14, line.size() - open - 15)};
}

TEST(ServeTest, OvixLoadGetsTheSampleAdsAndTheServerStopsCleanlyOnSigint) {
  test::TemporaryDirectory cache;
  test::BackgroundProcess serve(
      {OVIX_TOOL_PATH, "serve", "--port", "0", "--cache", cache.path().string()});
  ASSERT_TRUE(serve.running());
  const auto first = serve.readLine(60s);
  ASSERT_TRUE(first) << serve.errors();
  const auto listening = parseListening(*first);
  ASSERT_TRUE(listening) << *first;
  EXPECT_EQ(listening->certificate, (cache.path() / "devserver.crt").string());

  const auto printed = test::runProcess(
      {OVIX_TOOL_PATH, "serve", "--print-cert-path", "--cache", cache.path().string()});
  EXPECT_EQ(printed.status, 0);
  EXPECT_EQ(printed.out, listening->certificate + "\n");

  const auto load = test::runProcess({OVIX_TOOL_PATH, "load", "--infeed", "top-feed:2", "--rotate",
                                      "top-feed:2", "--connect", "127.0.0.1:" + listening->port,
                                      "--cacert", listening->certificate});
  ASSERT_EQ(load.status, 0) << load.out << load.err;
  EXPECT_NE(load.out.find("success 2\n"), std::string::npos) << load.out;
  EXPECT_NE(load.out.find("\"title\":\"Weekend trips from 49 a night\""), std::string::npos);
  EXPECT_NE(load.out.find("\"clickUrl\":\"https://ad.ovix.example/click/top-2\""),
            std::string::npos);

  EXPECT_EQ(serve.stop(SIGINT), 0) << serve.errors();
  EXPECT_EQ(serve.remainingOutput(), "POST /ad/v2.ios 200 2 ads\novix serve stopped by SIGINT\n");
  EXPECT_EQ(serve.errors(), "");
}

TEST(ServeTest, SigtermStopsItAndBadOptionsAreRefused) {
  test::TemporaryDirectory cache;
  test::BackgroundProcess serve({OVIX_TOOL_PATH, "serve", "--port", "0", "--cache",
                                 cache.path().string(), "--delay", "5", "--image-delay", "5",
                                 "--status", "500"});
  const auto first = serve.readLine(60s);
  ASSERT_TRUE(first && parseListening(*first)) << serve.errors();
  EXPECT_EQ(serve.stop(SIGTERM), 0);
  EXPECT_EQ(serve.remainingOutput(), "ovix serve stopped by SIGTERM\n");

  for (const std::vector<std::string>& options : {std::vector<std::string>{"--status", "99"},
                                                  {"--port", "65536"},
                                                  {"--delay", "-1"},
                                                  {"--image-delay", "x"},
                                                  {"--ads"},
                                                  {"--loud"}}) {
    std::vector<std::string> argv = {OVIX_TOOL_PATH, "serve"};
    argv.insert(argv.end(), options.begin(), options.end());
    const auto refused = test::runProcess(argv);
    EXPECT_EQ(refused.status, 2) << options[0];
    EXPECT_NE(refused.err.find("usage: ovix serve"), std::string::npos);
  }
  const auto missing = test::runProcess({OVIX_TOOL_PATH, "serve", "--port", "0", "--cache",
                                         cache.path().string(), "--ads", "/nonexistent.json"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "ovix serve: cannot read /nonexistent.json\n");
}

// A host loading through the SDK from the server in process.
TEST(ServeTest, AHostLoadsTheSampleAdsThroughTheSdkAndTheServerCountsThemServed) {
  test::TemporaryDirectory cache;
  devserver::ServerOptions options;
  options.port = 0;
  options.cacheDirectory = cache.path();
  options.inventory = devserver::Inventory::load(OVIX_SAMPLE_ADS).value();
  devserver::Server server(std::move(options));
  ASSERT_FALSE(server.start());
  ASSERT_FALSE(net::setExtraTrustedCertificates(server.certificatePath().string()));
  ASSERT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port()));

  auto delegate = std::make_shared<test::RecordingDelegate>();
  {
    OvixRequest request;
    request.set("news-feed", 2);
    request.set("top-feed", 1);
    OvixManager::shared().loadOvix(request, delegate);
  }
  ASSERT_TRUE(delegate->waitOnMainQueue());
  EXPECT_EQ(delegate->outcome()->count, 3);
  for (const char* id : {"news-1", "news-2"}) {
    const auto ad = OvixManager::shared().hasNextAd("news-feed");
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->impUrl(),
              std::vector<std::string>{"https://ad.ovix.example/imp/" + std::string(id)});
    EXPECT_EQ(ad->clickUrl(), "https://ad.ovix.example/click/" + std::string(id));
    EXPECT_EQ(ad->imageUrl().rfind("https://ad.ovix.example/images/", 0), 0u);
  }
  const auto stats = server.stats();
  EXPECT_EQ(stats.totals.served, 3);
  EXPECT_EQ(stats.ads.at("top-1").served, 1);

  net::clearConnectOverrides();
  OvixManager::shared().clearAd();
  EXPECT_TRUE(dispatch::waitForPendingWork(10s));
}

}  // namespace
}  // namespace ovix
