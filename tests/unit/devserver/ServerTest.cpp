// The development server in process, reached through the SDK's own network
// layer over real HTTPS, as the SDK reaches the ad server.
#include "devserver/Server.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <set>

#include "ovix/platform/ImageDecoding.hpp"
#include "support/TemporaryDirectory.hpp"
#include "unit/net/NetTest.hpp"

namespace ovix::devserver {
namespace {

using nlohmann::json;

class ServerTest : public net::NetTest {
 protected:
  // Trust comes from the server started, not from the test servers.
  void SetUp() override {}

  // Starts a server on a free port over the sample ads and points the SDK at it.
  std::unique_ptr<Server> start(Faults faults = {}) {
    ServerOptions options;
    options.port = 0;
    options.cacheDirectory = cache_.path();
    options.inventory = Inventory::load(OVIX_SAMPLE_ADS).value();
    options.faults = faults;
    options.log = [this](const std::string& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
    };
    auto server = std::make_unique<Server>(std::move(options));
    const auto error = server->start();
    EXPECT_FALSE(error) << *error;
    EXPECT_FALSE(net::setExtraTrustedCertificates(server->certificatePath().string()));
    EXPECT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server->port()));
    return server;
  }

  static net::Delivery get(const std::string& path) {
    return fetch(request("https://ad.ovix.example" + path));
  }

  static net::Delivery post(const std::string& body) {
    auto ask = request("https://ad.ovix.example/ad/v2.ios");
    ask.method = "POST";
    ask.setValue("OvixTest/1.0", "User-Agent");
    ask.setValue("application/json", "Content-Type");
    ask.body = body;
    return fetch(std::move(ask));
  }

  static std::string adBody(const json& infeeds) {
    return json{{"infeeds", infeeds}, {"advertising_id", ""}, {"app", "a"}, {"version", "1"}}
        .dump();
  }

  static long status(const net::Delivery& delivery) {
    EXPECT_FALSE(delivery.error) << delivery.error->description();
    return delivery.response ? delivery.response->statusCode() : 0;
  }

  // The log, complete once the server has stopped.
  std::vector<std::string> lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

  test::TemporaryDirectory cache_;
  std::mutex mutex_;
  std::vector<std::string> lines_;  // guarded by mutex_
};

TEST_F(ServerTest, AnswersUpToCountAdsPerSlotAndNamesUnknownSlots) {
  const auto server = start();
  const auto answer = post(adBody(
      {{"top-feed", {{"count", 2}}}, {"news-feed", {{"count", 9}}}, {"gone", {{"count", 1}}}}));
  ASSERT_EQ(status(answer), 200);
  EXPECT_EQ(answer.response->valueForHeaderField("Content-Type"), "application/json");
  const auto body = json::parse(*answer.data);
  ASSERT_EQ(body["ads"]["top-feed"].size(), 2u);
  EXPECT_EQ(body["ads"]["top-feed"][0]["title"], "Weekend trips from 49 a night");
  EXPECT_EQ(body["ads"]["top-feed"][1]["imp_url"],
            json::array({"https://ad.ovix.example/imp/top-2"}));
  EXPECT_FALSE(body["ads"]["top-feed"][0].contains("id"));
  EXPECT_EQ(body["ads"]["news-feed"].size(), 3u);
  EXPECT_EQ(body["errors"], (json{{"gone", "unknown infeed id"}}));

  const auto refused = post("{\"infeeds\": [1]}");
  ASSERT_EQ(status(refused), 400);
  EXPECT_EQ(json::parse(*refused.data)["error"], "\"infeeds\" must be an object of slot ids");
  EXPECT_EQ(status(post("not json")), 400);
  EXPECT_EQ(status(get("/ad/v2.ios")), 404);
  // The path decodes to a terminal title, a bell and a C1 cursor move.
  EXPECT_EQ(status(get("/%1B%5D0;owned%07%9BH")), 404);

  server->stop();
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "POST /ad/v2.ios 200 5 ads",
                         "POST /ad/v2.ios 400 \"infeeds\" must be an object of slot ids",
                         "POST /ad/v2.ios 400 the body is not valid JSON",
                         "GET /ad/v2.ios 404",
                         "GET /\\u001b]0;owned\\u0007\\u009bH 404",
                     }));
}

TEST_F(ServerTest, CountsServedAdsBeaconsAndClicksPerAdInStats) {
  const auto server = start();
  ASSERT_EQ(status(post(adBody({{"top-feed", {{"count", 1}}}}))), 200);
  EXPECT_EQ(status(get("/imp/top-1")), 204);
  EXPECT_EQ(status(get("/imp/top-1")), 204);
  EXPECT_EQ(status(get("/vimp/top-1")), 204);
  const auto landing = get("/click/news-2");
  ASSERT_EQ(status(landing), 200);
  EXPECT_NE(landing.data->find("Hiking boots built for wet trails"), std::string::npos);
  EXPECT_EQ(status(get("/imp/nobody")), 404);
  EXPECT_EQ(status(get("/click/nobody")), 404);

  const AdCounts top1{1, 2, 1, 0};
  const AdCounts news2{0, 0, 0, 1};
  const Stats stats = server->stats();
  EXPECT_EQ(stats.ads.size(), 7u);
  EXPECT_EQ(stats.ads.at("top-1"), top1);
  EXPECT_EQ(stats.ads.at("news-2"), news2);
  EXPECT_EQ(stats.ads.at("top-2"), AdCounts{});
  EXPECT_EQ(stats.totals, (AdCounts{1, 2, 1, 1}));

  const auto answered = get("/stats");
  ASSERT_EQ(status(answered), 200);
  const auto body = json::parse(*answered.data);
  EXPECT_EQ(body, stats.toJson());
  EXPECT_EQ(body["ads"]["top-1"],
            (json{{"served", 1}, {"impressions", 2}, {"viewable_impressions", 1}, {"clicks", 0}}));
}

TEST_F(ServerTest, ServesEveryBannerOfTheSampleAdsDecodably) {
  const auto server = start();
  const auto inventory = Inventory::load(OVIX_SAMPLE_ADS).value();
  std::set<std::string> types;
  std::set<encoders::Rgba8> grounds;
  std::size_t count = 0;
  for (const auto& [slot, ads] : inventory.slots()) {
    for (const Ad& ad : ads) {
      const std::string url = ad.fields["image_url"];
      const auto image = fetch(request(url));
      ASSERT_EQ(status(image), 200) << url;
      types.insert(image.response->valueForHeaderField("Content-Type"));
      const auto decoded = gfx::decodeImage(image.data->data(), image.data->size());
      ASSERT_TRUE(decoded) << url;
      EXPECT_EQ(decoded->width(), 640);
      EXPECT_EQ(decoded->height(), 360);
      // Each ad's own ground fills the top-left corner, to a lossy codec's precision.
      const auto ground = groundColor(url.substr(url.rfind('/') + 1));
      ASSERT_TRUE(ground) << url;
      grounds.insert(*ground);
      ++count;
      for (const auto& [x, y] : {std::pair{0, 0}, std::pair{79, 44}}) {
        const std::uint32_t pixel = decoded->pixel(x, y);
        EXPECT_EQ(pixel >> 24, 0xffu) << "opaque";
        for (int channel = 0; channel < 3; ++channel) {
          EXPECT_NEAR((pixel >> (16 - 8 * channel)) & 0xff, (*ground)[channel], 12) << url;
        }
      }
    }
  }
  EXPECT_EQ(grounds.size(), count) << "one ground per ad";
  EXPECT_EQ(types, (std::set<std::string>{"image/png", "image/jpeg", "image/gif", "image/webp"}));
  EXPECT_EQ(status(get("/images/nothing.png")), 404);
}

TEST_F(ServerTest, FaultSwitchesChangeOnlyTheAnswersTheyName) {
  const std::string ask = adBody({{"top-feed", {{"count", 3}}}});
  {
    Faults faults;
    faults.status = 503;
    const auto server = start(faults);
    const auto answer = post(ask);
    ASSERT_EQ(status(answer), 503);
    EXPECT_EQ(json::parse(*answer.data)["ads"]["top-feed"].size(), 3u);
    EXPECT_EQ(status(get("/imp/top-1")), 204);
  }
  {
    Faults faults;
    faults.garbage = true;
    const auto server = start(faults);
    const auto answer = post(ask);
    ASSERT_EQ(status(answer), 200);
    EXPECT_TRUE(json::parse(*answer.data, nullptr, false).is_discarded()) << *answer.data;
    EXPECT_EQ(server->stats().totals.served, 0);
  }
  {
    Faults faults;
    faults.delay = std::chrono::milliseconds(20);
    const auto server = start(faults);
    const auto answer = post(ask);
    ASSERT_EQ(status(answer), 200);
    EXPECT_EQ(json::parse(*answer.data)["ads"]["top-feed"].size(), 3u);
  }
  {
    Faults faults;
    faults.imageDelay = std::chrono::milliseconds(20);
    faults.slowImages = std::set<std::string>{"ocean.png"};
    const auto server = start(faults);
    EXPECT_EQ(status(get("/images/ocean.png")), 200);
    EXPECT_EQ(status(get("/images/ocean.gif")), 200);
  }
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "POST /ad/v2.ios 503 3 ads",
                         "GET /imp/top-1 204",
                         "POST /ad/v2.ios 200 3 ads, garbage body",
                         "POST /ad/v2.ios 200 3 ads, delayed 20 ms",
                         "GET /images/ocean.png 200 image/png, delayed 20 ms",
                         "GET /images/ocean.gif 200 image/gif",
                     }));
}

// Whether a TCP connection to `address`:`port` is accepted.
bool accepts(const char* address, std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  ::inet_pton(AF_INET, address, &to.sin_addr);
  const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
  ::close(fd);
  return connected;
}

TEST_F(ServerTest, ListensOnLoopbackOnlyReusesItsCertificateAndRefusesABusyPortOrASecondStart) {
  const auto first = start();
  // Bound to every address, it would take 127.0.0.2 too (all of 127/8 is loopback).
  EXPECT_TRUE(accepts("127.0.0.1", first->port()));
  EXPECT_FALSE(accepts("127.0.0.2", first->port()));
  const auto pem = first->certificatePath();
  ServerOptions options;
  options.port = first->port();
  options.cacheDirectory = cache_.path();
  Server second(std::move(options));
  const auto error = second.start();
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("cannot listen on 127.0.0.1:" + std::to_string(first->port())),
            std::string::npos)
      << *error;
  EXPECT_EQ(second.certificatePath(), pem);
  EXPECT_TRUE(first->start().has_value());
  first->stop();
  first->stop();

  Faults faults;
  faults.status = 99;
  ServerOptions refused;
  refused.port = 0;
  refused.cacheDirectory = cache_.path();
  refused.faults = faults;
  EXPECT_TRUE(Server(std::move(refused)).start().has_value());
}

}  // namespace
}  // namespace ovix::devserver
