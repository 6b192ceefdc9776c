// Beacons: 200 beacon URLs of 10 ads sent to a loopback server that answers each
// after 50 ms, against one beacon sent the same way. They run concurrently on
// the one network thread. To an HTTP/1.1 server (HTTPS or plain) each needs a
// connection of its own while it waits, at most 64 at once, so they go in
// four rounds; kept connections are reused and their TLS sessions resumed.
// To an HTTP/2 server they are streams of one connection. A bare libcurl
// multi handle opening a fresh connection for each is shown beside them.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>

#include "ovix/Impression.hpp"
#include "ovix/Ovix.hpp"
#include "support/BeaconServer.hpp"
#include "support/Curl.hpp"
#include "support/Inventory.hpp"
#include "support/Summary.hpp"

namespace ovix::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Scheme = BeaconServer::Scheme;

constexpr std::size_t kBeacons = 200;
constexpr auto kServerDelay = std::chrono::milliseconds(50);

// Ads with `count` beacon URLs between them, 10 in each list, as the SDK
// sends no more of a list.
std::vector<std::shared_ptr<OvixAdInfo>> adsWithBeacons(const BeaconServer& server,
                                                        std::size_t count) {
  constexpr std::size_t kPerList = 10;
  std::vector<std::shared_ptr<OvixAdInfo>> ads;
  for (std::size_t first = 0; first < count; first += 2 * kPerList) {
    OvixAdInfo::Fields fields;
    fields.infeedId = "slot-0";
    fields.uuid = "beacons-" + std::to_string(count) + "-" + std::to_string(first);
    for (std::size_t i = first; i < std::min(count, first + 2 * kPerList); ++i) {
      (i - first < kPerList ? fields.impUrl : fields.viewableImpUrl).push_back(server.url(i));
    }
    ads.push_back(std::make_shared<OvixAdInfo>(std::move(fields)));
  }
  return ads;
}

void Beacons(benchmark::State& state, Scheme scheme, std::size_t count) {
  BeaconServer server(scheme, kBeacons + 16, kServerDelay);
  const auto ads = adsWithBeacons(server, count);
  std::size_t sent = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (const auto& ad : ads) std::make_shared<Impression>()->imp(ad);
    settle();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    sent += count;
    if (server.answered() != sent) {
      state.SkipWithError("a beacon was not answered");
      break;
    }
  }
  OvixManager::shared().clearAd();
}

// The same GETs on a multi handle of one's own: new connections, verified TLS.
void BareCurlBeacons(benchmark::State& state, Scheme scheme) {
  BeaconServer server(scheme, kBeacons + 16, kServerDelay);
  const std::string connectTo = "ad.ovix.example:443:127.0.0.1:" + std::to_string(server.port());
  curl_slist* connect = curl_slist_append(nullptr, connectTo.c_str());
  CURLM* multi = curl_multi_init();
  std::size_t sent = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (std::size_t i = 0; i < kBeacons; ++i) {
      CURL* easy = curl_easy_init();
      curl_easy_setopt(easy, CURLOPT_URL, server.url(i).c_str());
      curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connect);
      curl_easy_setopt(easy, CURLOPT_CAINFO, test::TlsServer::trustedCertificatesPath().c_str());
      curl_easy_setopt(easy, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
      curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
      curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discardBody);
      curl_multi_add_handle(multi, easy);
    }
    for (int running = 1; running > 0;) {
      curl_multi_perform(multi, &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* easy = message->easy_handle;
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
      }
      if (running > 0) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    sent += kBeacons;
    if (server.answered() != sent) {
      state.SkipWithError("a beacon was not answered");
      break;
    }
  }
  curl_multi_cleanup(multi);
  curl_slist_free_all(connect);
}

const bool kBeaconsRegistered = [] {
  const auto add = [](const char* name, Scheme scheme, std::size_t count) {
    benchmark::RegisterBenchmark(name, Beacons, scheme, count)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  };
  add("BeaconsHttps_200", Scheme::kHttps, kBeacons);
  add("BeaconsHttps_1", Scheme::kHttps, 1);
  add("BeaconsH2_200", Scheme::kHttps2, kBeacons);
  add("BeaconsH2_1", Scheme::kHttps2, 1);
  add("BeaconsHttp_200", Scheme::kHttp, kBeacons);
  add("BeaconsHttp_1", Scheme::kHttp, 1);
  for (const auto& [name, scheme] : {std::pair{"BareCurlBeaconsHttps_200", Scheme::kHttps},
                                     std::pair{"BareCurlBeaconsHttp_200", Scheme::kHttp}}) {
    benchmark::RegisterBenchmark(name, BareCurlBeacons, scheme)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  return compare("Beacons over HTTPS to an HTTP/1.1 server, 200 vs one", "BeaconsHttps_200",
                 "BeaconsHttps_1", 5, Measure::kRealTime) &&
         compare("Beacons over HTTPS to an HTTP/2 server, 200 vs one", "BeaconsH2_200",
                 "BeaconsH2_1", 2, Measure::kRealTime) &&
         compare("Beacons over plain HTTP/1.1, 200 vs one", "BeaconsHttp_200", "BeaconsHttp_1", 5,
                 Measure::kRealTime) &&
         compare("Beacons over HTTPS to an HTTP/1.1 server, 200: SDK vs bare libcurl multi",
                 "BeaconsHttps_200", "BareCurlBeaconsHttps_200", 0, Measure::kRealTime) &&
         compare("Beacons over HTTP, 200: SDK vs bare libcurl multi", "BeaconsHttp_200",
                 "BareCurlBeaconsHttp_200", 0, Measure::kRealTime);
}();

}  // namespace
}  // namespace ovix::bench
