// Beacons: an ad's 200 beacon URLs sent to a loopback server that answers each
// after 50 ms, against one beacon sent the same way. They run concurrently on
// the one network thread, so all 200 should take little longer than one.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "model/OvixAds.hpp"
#include "ovix/Impression.hpp"
#include "ovix/Ovix.hpp"
#include "support/Inventory.hpp"
#include "support/Summary.hpp"
#include "support/TlsServer.hpp"

namespace ovix::bench {
namespace {

using Clock = std::chrono::steady_clock;
using test::TlsServer;

constexpr std::size_t kMany = 200;
constexpr auto kServerDelay = std::chrono::milliseconds(50);

std::shared_ptr<OvixAdInfo> adWithBeacons(std::size_t count) {
  auto ad = std::make_shared<OvixAdInfo>();
  ad->setInfeedId("slot-0");
  ad->setUuid("beacons-" + std::to_string(count));
  std::vector<std::string> urls;
  for (std::size_t i = 0; i < count; ++i) {
    urls.push_back("https://ad.ovix.example/imp/" + std::to_string(i) + "?ad=000123&sig=d41d8cd9");
  }
  ad->setImpUrl(std::move(urls));
  return ad;
}

void Beacons(benchmark::State& state, std::size_t count) {
  // Threads enough to hold every beacon's request through its delay at once.
  TlsServer server(TlsServer::Certificate::kTrusted, kMany + 16);
  server.handle("GET", "/imp/.*", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(kServerDelay);
    res.set_content("", "image/gif");
  });
  net::setExtraTrustedCertificates(TlsServer::trustedCertificatesPath());
  net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port());
  const auto ad = adWithBeacons(count);
  std::size_t answered = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    std::make_shared<Impression>()->imp(ad);
    settle();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    answered += count;
    if (server.requests().size() != answered) {
      state.SkipWithError("a beacon did not reach the server");
      break;
    }
  }
  OvixManager::shared().clearAd();
  net::clearConnectOverrides();
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("Beacons_200", Beacons, kMany)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Beacons_1", Beacons, 1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  return compare("Beacons, 200 at once vs one (server answers after 50 ms)", "Beacons_200",
                 "Beacons_1", 2, Measure::kRealTime);
}();

}  // namespace
}  // namespace ovix::bench
