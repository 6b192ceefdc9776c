// The development server and `ovix load` as host developers use them: `ovix
// serve` beside `ovix load`, and the server in process reached through the
// SDK's network, as the SDK reaches it.
#include <gtest/gtest.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "devserver/Certificate.hpp"
#include "devserver/SampleImages.hpp"
#include "devserver/Server.hpp"
#include "ovix/platform/ImageDecoding.hpp"
#include "platform/net/Fetch.hpp"
#include "support/BackgroundProcess.hpp"
#include "support/Process.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

struct Listening {
  std::string port;
  std::string certificate;
};

// Starts `ovix serve` with `options` and reads where it listens:
// "ovix serve listening on https://127.0.0.1:PORT (certificate PATH)".
std::optional<Listening> serve(std::unique_ptr<test::BackgroundProcess>& process,
                               const test::TemporaryDirectory& cache,
                               std::vector<std::string> options = {}) {
  std::vector<std::string> argv = {OVIX_TOOL_PATH,       "serve", "--port", "0", "--cache",
                                   cache.path().string()};
  argv.insert(argv.end(), options.begin(), options.end());
  process = std::make_unique<test::BackgroundProcess>(argv);
  const auto line = process->readLine(60s);
  std::smatch m;
  if (!line || !std::regex_match(*line, m,
                                 std::regex(R"(ovix serve listening on https://127\.0\.0\.1:)"
                                            R"((\d+) \(certificate (.+)\))"))) {
    ADD_FAILURE() << line.value_or("no line") << process->errors();
    return std::nullopt;
  }
  return Listening{m[1], m[2]};
}

test::ProcessResult load(const Listening& server, std::vector<std::string> options) {
  std::vector<std::string> argv = {OVIX_TOOL_PATH, "load",
                                   "--connect",    "127.0.0.1:" + server.port,
                                   "--cacert",     server.certificate};
  argv.insert(argv.end(), options.begin(), options.end());
  return test::runProcess(argv);
}

TEST(ServeTest, OvixLoadRotatesImpressesOnceAndClicksTheServedAdsAndSigintStopsTheServer) {
  test::TemporaryDirectory cache;
  std::unique_ptr<test::BackgroundProcess> server;
  const auto listening = serve(server, cache);
  ASSERT_TRUE(listening);
  EXPECT_EQ(listening->certificate, (cache.path() / "devserver.crt").string());
  const auto printed = test::runProcess(
      {OVIX_TOOL_PATH, "serve", "--print-cert-path", "--cache", cache.path().string()});
  EXPECT_EQ(printed.out, listening->certificate + "\n");

  const auto result =
      load(*listening, {"--infeed", "top-feed:1", "--rotate", "top-feed:2", "--rotate",
                        "news-feed:1", "--impress", "top-feed", "--impress", "top-feed",
                        "--impress", "news-feed", "--click", "top-feed"});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(
      result.out, m,
      std::regex("success 1\nad (.*)\nad (.*)\nad none\n(impressed [0-9A-F-]{36}\n)\\3"
                 "impressed none\nopened https://ad.ovix.example/click/top-1\n$")))
      << result.out;
  EXPECT_EQ(m[1], m[2]) << "one ad, rotated";
  const auto ad = Json::parse(m[1].str());
  EXPECT_EQ(ad.size(), 9u);
  EXPECT_EQ(ad["title"], "Weekend trips from 49 a night");
  EXPECT_EQ(ad["infeedId"], "top-feed");
  EXPECT_EQ(ad["impUrl"], Json::array({"https://ad.ovix.example/imp/top-1"}));

  // One line per request; the beacons go out once, beside the banner's downloads.
  EXPECT_EQ(server->stop(SIGINT), 0) << server->errors();
  const std::string log = server->remainingOutput();
  EXPECT_TRUE(log.starts_with("POST /ad/v2.ios 200 1 ad\n")) << log;
  EXPECT_TRUE(log.ends_with("\novix serve stopped by SIGINT\n")) << log;
  for (const std::string beacon : {"\nGET /imp/top-1 204\n", "\nGET /vimp/top-1 204\n"}) {
    const auto at = log.find(beacon);
    EXPECT_TRUE(at != std::string::npos && log.find(beacon, at + 1) == std::string::npos)
        << beacon << " once in " << log;
  }
  EXPECT_EQ(server->errors(), "");
}

TEST(ServeTest, FaultSwitchesFailTheLoadAndBadOptionsAreRefused) {
  test::TemporaryDirectory cache;
  std::unique_ptr<test::BackgroundProcess> server;
  const auto listening = serve(server, cache, {"--status", "503", "--delay", "5", "--garbage"});
  ASSERT_TRUE(listening);
  const auto failed = load(*listening, {"--infeed", "top-feed:3"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("failure "), std::string::npos) << failed.out;
  EXPECT_EQ(server->stop(SIGTERM), 0);
  EXPECT_EQ(server->remainingOutput(),
            "POST /ad/v2.ios 503 3 ads, delayed 5 ms, garbage body\n"
            "ovix serve stopped by SIGTERM\n");

  struct Case {
    std::vector<std::string> argv;
    int status;
    std::string says;  // in its output
  };
  const Case cases[] = {
      {{"serve", "--status", "99"}, 2, "usage: ovix serve"},
      {{"serve", "--port", "65536"}, 2, "usage: ovix serve"},
      {{"serve", "--delay", "-1"}, 2, "usage: ovix serve"},
      {{"serve", "--image-delay", "x"}, 2, "usage: ovix serve"},
      {{"serve", "--ads"}, 2, "usage: ovix serve"},
      {{"serve", "--loud"}, 2, "usage: ovix serve"},
      {{"serve", "--port", "0", "--cache", cache.path().string(), "--ads", "/nonexistent.json"},
       1,
       "ovix serve: cannot read /nonexistent.json\n"},
      {{"load", "--infeed", "a"}, 2, "--infeed"},
      {{"load"}, 1, "failure none\n"},
      {{"load", "--infeed", "a:1", "--device-model", "iPad"}, 1, "no outcome\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {OVIX_TOOL_PATH};
    argv.insert(argv.end(), c.argv.begin(), c.argv.end());
    const auto result = test::runProcess(argv);
    EXPECT_EQ(result.status, c.status) << c.argv.back();
    EXPECT_NE((result.out + result.err).find(c.says), std::string::npos)
        << result.out << result.err;
  }
}

// A GET or POST through the SDK's own network: the status (0 for none) and body.
std::pair<long, std::string> send(const std::string& path, const std::string& body = "") {
  net::Request request(net::Url::make("https://ad.ovix.example" + path).value());
  if (!body.empty()) request.method = "POST";
  request.body = body;
  std::optional<std::pair<long, std::string>> answer;
  net::fetch(std::move(request), {},
             [&](std::optional<std::string> data, std::optional<HttpResponse> response,
                 std::optional<Error>) {
               answer.emplace(response ? response->statusCode() : 0, data.value_or(""));
             });
  EXPECT_TRUE(dispatch::runMainQueueUntil([&] { return answer.has_value(); }, 10s));
  return answer.value_or(std::pair{0L, ""});
}

std::string read(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Caches a CA, as earlier versions made: CA:TRUE, no key usage. Returns its PEM.
std::string cacheEarlierCa(const std::filesystem::path& cache) {
  const auto made = devserver::Certificate::make("Earlier", -1h, 24h * 300);
  X509* ca = made->certificate();
  for (const int nid : {NID_basic_constraints, NID_key_usage, NID_ext_key_usage}) {
    X509_EXTENSION_free(X509_delete_ext(ca, X509_get_ext_by_NID(ca, nid, -1)));
  }
  X509_EXTENSION* constraints =
      X509V3_EXT_conf_nid(nullptr, nullptr, NID_basic_constraints, "critical,CA:TRUE");
  X509_add_ext(ca, constraints, -1);
  X509_EXTENSION_free(constraints);
  EXPECT_GT(X509_sign(ca, made->key(), EVP_sha256()), 0);
  std::ofstream(cache / "devserver.crt") << made->pem();
  std::ofstream(cache / "devserver.key") << made->keyPem();
  return made->pem();
}

TEST(ServeTest, TheServerListensOnLoopbackOnlyServesBannersCountsAndEscapesItsLog) {
  test::TemporaryDirectory cache;
  const std::string earlier = cacheEarlierCa(cache.path());
  devserver::ServerOptions options;
  options.port = 0;
  options.cacheDirectory = cache.path();
  options.inventory = devserver::Inventory::load(OVIX_SAMPLE_ADS).value();
  std::vector<std::string> log;  // the server makes one call at a time; read once it stopped
  options.log = [&log](const std::string& line) { log.push_back(line); };
  const auto inventory = options.inventory;
  devserver::Server server(std::move(options));
  ASSERT_FALSE(server.start());
  // The earlier CA replaced by a server certificate that signs nothing else,
  // its key kept private.
  const auto keyPath = cache.path() / "devserver.key";
  const auto certificate =
      devserver::Certificate::fromPem(read(server.certificatePath()), read(keyPath));
  ASSERT_TRUE(certificate);
  EXPECT_NE(certificate->pem(), earlier);
  EXPECT_EQ(X509_check_ca(certificate->certificate()), 0);
  EXPECT_EQ(X509_get_extended_key_usage(certificate->certificate()), std::uint32_t{XKU_SSL_SERVER});
  struct stat key {};
  ASSERT_EQ(::stat(keyPath.c_str(), &key), 0);
  EXPECT_EQ(key.st_mode & 0777, 0600u);
  // A second server on the same folder reuses the certificate, and the port is taken.
  devserver::ServerOptions busy;
  busy.port = server.port();
  busy.cacheDirectory = cache.path();
  const auto refused = devserver::Server(std::move(busy)).start();
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->find("cannot listen on 127.0.0.1:" + std::to_string(server.port())),
            std::string::npos);
  EXPECT_EQ(read(server.certificatePath()), certificate->pem());
  // Bound to every address, it would take 127.0.0.2 too (all of 127/8 is loopback).
  ASSERT_FALSE(net::setExtraTrustedCertificates(server.certificatePath().string()));
  ASSERT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.2", server.port()));
  EXPECT_EQ(send("/stats").first, 0);
  ASSERT_FALSE(net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port()));

  // Every banner decodes, each ad's own ground in its top-left corner.
  std::set<encoders::Rgba8> grounds;
  for (const auto& [slot, ads] : inventory.slots()) {
    for (const auto& ad : ads) {
      const std::string url = ad.fields["image_url"];
      const std::string bytes = send(url.substr(url.find("/images/"))).second;
      const auto image = gfx::decodeImage(bytes.data(), bytes.size());
      const auto ground = devserver::groundColor(url.substr(url.rfind('/') + 1));
      ASSERT_TRUE(image && ground) << url;
      grounds.insert(*ground);
      EXPECT_EQ((gfx::PixelSize{image->width(), image->height()}), (gfx::PixelSize{640, 360}));
      for (int channel = 0; channel < 4; ++channel) {
        const int shift = channel == 3 ? 24 : 16 - 8 * channel;
        EXPECT_NEAR((image->pixel(0, 0) >> shift) & 0xff, (*ground)[channel], 12) << url;
      }
    }
  }
  EXPECT_EQ(grounds.size(), 7u) << "one ground per ad";

  const auto answer = Json::parse(send("/ad/v2.ios", R"({"infeeds": {"top-feed": {"count": 1},
      "news-feed": {"count": 9}, "gone": {"count": 1}}})")
                                      .second);
  EXPECT_EQ(answer["ads"]["news-feed"].size(), 3u);
  EXPECT_EQ(answer["errors"], (Json{{"gone", "unknown infeed id"}}));
  EXPECT_EQ(send("/imp/top-1").first, 204);
  EXPECT_EQ(send("/imp/top-1").first, 204);
  EXPECT_EQ(send("/vimp/top-1").first, 204);
  const auto landing = send("/click/news-2");
  EXPECT_NE(landing.second.find("Hiking boots built for wet trails"), std::string::npos);
  EXPECT_EQ(send("/imp/nobody").first, 404);
  EXPECT_EQ(send("/ad/v2.ios", R"({"infeeds": [1]})").first, 400);
  // The path decodes to a terminal title, a bell and a C1 cursor move.
  EXPECT_EQ(send("/%1B%5D0;owned%07%9BH").first, 404);
  const auto stats = Json::parse(send("/stats").second);
  EXPECT_EQ(stats["ads"]["top-1"],
            (Json{{"served", 1}, {"impressions", 2}, {"viewable_impressions", 1}, {"clicks", 0}}));
  EXPECT_EQ(stats["totals"],
            (Json{{"served", 4}, {"impressions", 2}, {"viewable_impressions", 1}, {"clicks", 1}}));

  server.stop();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(
      std::vector(log.end() - 4, log.end()),
      (std::vector<std::string>{"GET /imp/nobody 404 unknown ad",
                                "POST /ad/v2.ios 400 \"infeeds\" must be an object of slot ids",
                                "GET /\\u001b]0;owned\\u0007\\u009bH 404", "GET /stats 200"}));
  net::clearConnectOverrides();
}

}  // namespace
}  // namespace ovix
