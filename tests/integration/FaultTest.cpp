// Loads, images and beacons against servers that misbehave, one server per
// fault: a load's delegate hears one failure with the fault's error, an image
// view keeps its placeholder, a beacon's failure is only logged (and, with a
// beacon store, retried when it met no server), and nothing is left running.
// Also the bounds a hostile server meets.
#include <sys/resource.h>

#include <filesystem>
#include <map>

#include "ovix/model/OvixAds.hpp"
#include "platform/net/NetworkThread.hpp"
#include "support/IntegrationTest.hpp"
#include "support/RefusingPort.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;
using test::occurrences;
using test::TlsServer;
using Mode = test::RawTlsServer::Mode;

// Larger than the SDK takes anywhere: 4 MiB answers, 10 MiB images, 1 MiB
// beacon answers.
constexpr std::size_t kOversize = 11 << 20;

// A label longer than DNS allows: the resolver refuses it on the spot without
// asking a name server, so the test neither waits for one nor leaves loopback.
const std::string kUnresolvable = std::string(64, 'u') + ".invalid";

std::string head(std::size_t contentLength) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
         std::to_string(contentLength) + "\r\n\r\n";
}
const std::string kPartial = head(1000) + R"({"ads": {"a": [)";

// A loopback server with one fault, answering every path and method that
// way, and what keeps it running; nothing running: an unresolvable host.
struct FaultServer {
  std::vector<std::shared_ptr<void>> running;
  std::uint16_t port = 443;

  std::string url(const std::string& path) const {
    return "https://" + (running.empty() ? kUnresolvable : "localhost") + ":" +
           std::to_string(port) + path;
  }
};

FaultServer refused() {
  auto port = std::make_shared<test::RefusingPort>();
  return {{port}, port->port()};
}

// The SDK's clock, running a thousand times as fast as the steady clock: a
// beacon's retries come within milliseconds.
clock::TimePoint racingClock() {
  static const auto start = std::chrono::steady_clock::now();
  const auto now = std::chrono::steady_clock::now();
  return now + (now - start) * 999;
}

FaultServer raw(std::string reply, Mode mode) {
  auto server = std::make_shared<test::RawTlsServer>(reply, mode);
  return {{server}, server->port()};
}

// A server answering every GET and POST with `handler`.
FaultServer tls(httplib::Server::Handler handler, TlsServer::Certificate certificate = {}) {
  auto server = std::make_shared<TlsServer>(certificate);
  for (const char* method : {"GET", "POST"}) server->handle(method, ".*", handler);
  return {{server}, server->port()};
}

void json(const httplib::Request&, httplib::Response& response) {
  response.set_content("{}", "application/json");
}

// A redirect to a cleartext server that answers as if all were well: an ad
// answer, or a beacon's 204.
FaultServer downgrade() {
  auto plain = std::make_shared<TlsServer>(TlsServer::Certificate::kNone);
  plain->handle("GET", ".*", [](const auto&, auto& response) { response.status = 204; });
  plain->handle("POST", ".*", [](const auto&, auto& response) {
    response.set_content(R"({"ads": {"a": [{"title": "Planted"}]}})", "application/json");
  });
  auto server = tls([target = plain->url("/")](const auto&, auto& response) {
    response.set_redirect(target, 307);
  });
  server.running.push_back(plain);
  return server;
}

// The folder of the beacon store goes after the servers have stopped (see
// BeaconStoreTest).
class FaultTest : protected test::TemporaryDirectory, public test::IntegrationTest {};

// Each server gets a load, an image and a beacon at once. Beacons go through
// a beacon store: those that met no server are retried to the last retry,
// the others end at once; each is heard once, with the fault's error.
TEST_F(FaultTest, LoadsImagesAndBeaconsFromFaultyServersFailOnceWithTheFaultsError) {
  manager().setBeaconStore((path() / "beacons.db").string());
  auto listener = std::make_shared<test::RecordingListener>();
  manager().setEventListener(listener);
  const auto plain = std::make_shared<TlsServer>(TlsServer::Certificate::kNone);
  constexpr bool kRetried = true, kFinal = false;
  const struct {
    const char* name;
    std::int64_t code;  // of Error::kURLDomain
    bool retried;       // the beacon met no server
    FaultServer server;
  } faults[] = {
      // Never finish: the transfer runs into its whole-transfer bound.
      {"stall before the head", -1001, kFinal, raw("", Mode::kStall)},
      {"stall mid-body", -1001, kFinal, raw(kPartial, Mode::kStall)},
      {"slow drip", -1001, kFinal, raw(head(1 << 20), Mode::kDrip)},
      // Fail on the spot.
      {"reset mid-body", -1005, kFinal, raw(kPartial, Mode::kReset)},
      {"body cut short", -1005, kFinal, raw(kPartial, Mode::kClose)},
      {"reply that is not HTTP", -1011, kFinal, raw("SSH-2.0-OpenSSH_9.2\r\n\r\n", Mode::kClose)},
      {"TLS handshake answered in plain text", -1200, kRetried, {{plain}, plain->port()}},
      {"certificate trusted nowhere", -1202, kRetried,
       tls(json, TlsServer::Certificate::kUntrusted)},
      {"certificate for the wrong host", -1202, kRetried,
       tls(json, TlsServer::Certificate::kWrongHost)},
      {"expired certificate", -1201, kRetried, tls(json, TlsServer::Certificate::kExpired)},
      {"unresolvable host", -1003, kRetried, {}},
      {"connection refused", -1004, kRetried, refused()},
      {"oversize body, announced", -1103, kFinal, tls([](const auto&, auto& response) {
         response.set_content(std::string(kOversize, ' '), "application/json");
       })},
      {"oversize body, chunked", -1103, kFinal, tls([](const auto&, auto& response) {
         // Chunks until the client goes away, when write() fails.
         response.set_chunked_content_provider("application/json", [](std::size_t, auto& sink) {
           return sink.write(std::string(64 << 10, ' ').data(), 64 << 10);
         });
       })},
      {"redirect to file:", -1002, kFinal,
       tls([](const auto&, auto& response) { response.set_redirect("file:///etc/passwd"); })},
      {"redirect loop", -1007, kFinal, tls([](const httplib::Request& request, auto& response) {
         response.set_redirect(request.path);
       })},
      {"redirect to cleartext", -1022, kFinal, downgrade()},
  };
  std::vector<std::shared_ptr<test::RecordingDelegate>> delegates;
  std::vector<std::shared_ptr<ui::ImageView>> views;
  std::vector<std::shared_ptr<const gfx::Image>> placeholders;
  std::vector<std::string> impressions, viewable;
  std::map<std::int64_t, std::size_t> expected;  // error dumps, all attempts of beacons
  std::size_t attempts = 0;
  const std::string log = logOf([&] {
    for (const auto& [name, code, retried, server] : faults) {
      // A transfer takes the route set when it starts, so each goes to its own server.
      net::setConnectOverride("ad.ovix.example", 443,
                              server.running.empty() ? kUnresolvable : "127.0.0.1", server.port);
      delegates.push_back(startLoad());
      views.push_back(ui::make<ui::ImageView>());
      bindCustom(ui::make<ui::TableViewCell>(), ad(name, server.url("/ad.png")), views.back());
      placeholders.push_back(views.back()->image());
      (views.size() % 2 ? viewable : impressions).push_back(server.url("/imp"));
      const std::size_t tries = retried ? 4 : 1;
      expected[code] += tries;
      attempts += tries;
    }
    manager().tryImpression(boundCell(stock("beacon-faults", impressions, viewable)),
                            test::kWillDisplay);
    // Only once the ad is in: the inventory keeps arrivals in order, and one
    // stamped ahead would hold back the expiry of every later one.
    clock::setSourceForTesting(&racingClock);
    EXPECT_TRUE(dispatch::runMainQueueUntil(
        [&] { return listener->heard->size() == 1 + std::size(faults); }, 60s));
  });
  for (std::size_t i = 0; i < std::size(faults); ++i) {
    SCOPED_TRACE(faults[i].name);
    EXPECT_EQ(delegates[i]->heard(),
              "NSURLErrorDomain " + std::to_string(faults[i].code) + " on main");
    ASSERT_NE(placeholders[i], nullptr);
    EXPECT_EQ(views[i]->image(), placeholders[i]);
  }
  EXPECT_EQ(net::pendingTransfers(), 0u);
  EXPECT_EQ(manager().ovixAds()->ads()->size(), 1u) << "no ad came through";
  EXPECT_EQ(occurrences(log, "Failure to load the ad image."), std::size(faults)) << log;
  EXPECT_EQ(occurrences(log, "Impression request error."), attempts);
  EXPECT_EQ(occurrences(log, "Impression request completion."), 0u);
  for (const auto& [code, count] : expected) {
    EXPECT_EQ(occurrences(log, "error code:" + std::to_string(code) + "\n"), count) << code;
  }
  for (const auto& fault : faults) {
    const std::string url = fault.server.url("/imp");
    const std::string code = std::string(" NSURLErrorDomain ").append(std::to_string(fault.code));
    EXPECT_EQ(std::count_if(listener->heard->begin(), listener->heard->end(),
                            [&](const std::string& line) {
                              return line.find(url) != std::string::npos && line.ends_with(code);
                            }),
              1)
        << fault.name;
  }
}

// Open file descriptors of this process.
std::size_t openDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                       std::filesystem::directory_iterator());
}

TEST_F(FaultTest, AdsWithThousandsOfBeaconsSendTenAListWithinTheConnectionBudget) {
  constexpr std::size_t kAds = 5;
  TlsServer server(TlsServer::Certificate::kTrusted, 2 * 64);
  server.handle("GET", "/imp/.*", [&](const auto&, auto& response) {
    server.hold();
    response.status = 204;
  });
  std::vector<std::string> urls;
  for (int n = 0; n < 5000; ++n) urls.push_back(server.url("/imp/" + std::to_string(n)));
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  for (std::size_t i = 0; i < kAds; ++i) {
    cells.push_back(boundCell(stock("many-" + std::to_string(i), urls, urls)));
  }
  const std::size_t before = openDescriptors();
  const std::string log = logOf([&] {
    for (const auto& cell : cells) manager().tryImpression(cell, test::kWillDisplay);
    // 100 beacons: 64 on the wire and held, the rest waiting for a connection.
    ASSERT_TRUE(server.waitForHeld(64, 10s));
    EXPECT_EQ(net::NetworkThread::shared().waiting(), 2 * 10 * kAds - 64);
    EXPECT_LE(openDescriptors(), before + 2 * 64 + 16) << "both ends of each connection";
    server.releaseHeld();
  });
  EXPECT_EQ(server.requests().size(), 2 * 10 * kAds);
  EXPECT_EQ(occurrences(log, "Dropped 4990 beacon URLs beyond the first 10 of a list."), 2 * kAds);
  EXPECT_EQ(occurrences(log, "Impression request completion."), 2 * 10 * kAds);
}

// The most memory this process has held at once, in bytes.
std::size_t peakMemory() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

TEST_F(FaultTest, AnAnswerOfMillionsOfAdsAddsTheFirstThousandInBoundedMemory) {
  std::string ads = R"({"ads": {"a": [)";
  for (int i = 0; i < 1'300'000; ++i) ads += i ? ",{}" : "{}";
  ads += "]}}";
  ASSERT_LT(ads.size(), std::size_t{4} << 20) << "within the answer's bound";
  answer("POST", "/ad/v2.ios", ads);
  const std::size_t before = peakMemory();
  auto delegate = startLoad();
  ASSERT_TRUE(dispatch::waitForPendingWork(20s));
  EXPECT_EQ(delegate->heard(), "1000 ads off main");
  EXPECT_EQ(manager().ovixAds()->ads()->size(), 1000u);
  EXPECT_LT(peakMemory() - before, std::size_t{256} << 20);
}

TEST_F(FaultTest, TerminalControlsInAnAnswerReachTheLogEscaped) {
  server_.handle("POST", "/ad/v2.ios", [](const auto&, auto& response) {
    response.set_header("X-Note", "\x1b]0;retitled\x07\x1b[2J");
    // A raw C1 control (CSI) is valid inside a JSON string.
    response.set_content(
        "{\"ads\": {\"a\": [{\"title\": \"\xc2\x9b"
        "31mred\"}]}}",
        "application/json");
  });
  std::shared_ptr<test::RecordingDelegate> delegate;
  const std::string log = logOf([&] { delegate = startLoad(); });
  EXPECT_EQ(delegate->heard(), "1 ads off main");
  EXPECT_EQ(log.find_first_of("\x1b\x07"), std::string::npos);
  EXPECT_EQ(log.find("\xc2\x9b"), std::string::npos);
  EXPECT_NE(log.find("\\u001b]0;retitled\\u0007\\u001b[2J"), std::string::npos) << log;
  EXPECT_NE(log.find("\\u009b31mred"), std::string::npos);
}

}  // namespace
}  // namespace ovix
