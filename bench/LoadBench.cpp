// Load latency: loadOvix until successfulToReceivedAt against a loopback HTTPS
// server, against a bare libcurl POST of the same body to the same server.
// Both open a new connection, with a full TLS handshake, every time.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <optional>

#include "ovix/Ovix.hpp"
#include "support/AdJson.hpp"
#include "support/Curl.hpp"
#include "support/Inventory.hpp"
#include "support/QuietStdout.hpp"
#include "support/Summary.hpp"
#include "support/TlsServer.hpp"

namespace ovix::bench {
namespace {

using Clock = std::chrono::steady_clock;
using test::TlsServer;

constexpr std::size_t kLoadSlots = 5;
constexpr std::size_t kAdsPerSlot = 2;
constexpr const char* kUserAgent = "OvixBench/1.0";

// The ad server on loopback, reached as ad.ovix.example:443.
class AdServer {
 public:
  AdServer() : answer_(answerJson(kLoadSlots * kAdsPerSlot, kLoadSlots)) {
    server_.handle("POST", "/ad/v2.ios", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(answer_, "application/json");
    });
    net::setExtraTrustedCertificates(TlsServer::trustedCertificatesPath());
    net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server_.port());
    OvixManager::shared().setUserAgent(kUserAgent);
  }
  ~AdServer() {
    net::clearConnectOverrides();
    OvixManager::shared().setUserAgent("");
  }

  const TlsServer& server() const { return server_; }

 private:
  const std::string answer_;
  TlsServer server_;
};

// Notes when the outcome arrives, on whichever thread that is.
class Delegate : public OvixInfeed {
 public:
  void successfulToReceivedAt(std::int64_t count) override {
    at_ = Clock::now();
    count_ = count;
    done_ = true;
  }
  void failedToReceivedWith(const std::optional<Error>&) override { done_ = true; }

  bool done() const { return done_; }
  std::int64_t count() const { return count_; }
  Clock::time_point at() const { return at_; }

 private:
  std::atomic<bool> done_{false};
  std::int64_t count_ = -1;  // written before done_
  Clock::time_point at_;     // written before done_
};

// The time from loadOvix to successfulToReceivedAt; none when it failed.
std::optional<Clock::duration> loadOnce() {
  auto delegate = std::make_shared<Delegate>();
  OvixRequest request;
  for (const auto& slot : slotIds(kLoadSlots)) request.set(slot, kAdsPerSlot);
  const auto start = Clock::now();
  OvixManager::shared().loadOvix(request, delegate);
  dispatch::runMainQueueUntil([&] { return delegate->done(); }, std::chrono::seconds(10));
  settle();
  OvixManager::shared().clearAd();
  if (delegate->count() != static_cast<std::int64_t>(kLoadSlots * kAdsPerSlot)) return std::nullopt;
  return delegate->at() - start;
}

void LoadOvix(benchmark::State& state) {
  AdServer server;
  const QuietStdout quiet;
  for (auto _ : state) {
    const auto took = loadOnce();
    if (!took) {
      state.SkipWithError("the load failed");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(*took).count());
  }
}

void BareCurlPost(benchmark::State& state) {
  AdServer server;
  {
    // The body the SDK sends, as the server received it.
    const QuietStdout quiet;
    if (!loadOnce()) state.SkipWithError("the load failed");
  }
  const std::string body = server.server().requests().back().body;
  const std::string connectTo =
      "ad.ovix.example:443:127.0.0.1:" + std::to_string(server.server().port());
  curl_slist* connect = curl_slist_append(nullptr, connectTo.c_str());
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  headers = curl_slist_append(headers, "Accept:");
  headers = curl_slist_append(headers, "Expect:");
  // One handle for every POST, as the SDK keeps one multi handle: the trust
  // store is built once. Each POST still opens a new connection and, with no
  // TLS session kept, makes a full handshake, as the SDK's loads do.
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, "https://ad.ovix.example/ad/v2.ios");
  curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connect);
  curl_easy_setopt(easy, CURLOPT_CAINFO, TlsServer::trustedCertificatesPath().c_str());
  curl_easy_setopt(easy, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discardBody);
  for (auto _ : state) {
    const auto start = Clock::now();
    const CURLcode result = curl_easy_perform(easy);
    const auto took = Clock::now() - start;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK || status != 200) {
      state.SkipWithError("the POST failed");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(took).count());
  }
  curl_easy_cleanup(easy);
  curl_slist_free_all(headers);
  curl_slist_free_all(connect);
}

BENCHMARK(LoadOvix)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BareCurlPost)->UseManualTime()->Unit(benchmark::kMillisecond);

const bool kLoadCompared = compare("Load latency, 10 ads / 5 slots, new TLS connection", "LoadOvix",
                                   "BareCurlPost", 1.10, Measure::kRealTime);

}  // namespace
}  // namespace ovix::bench
