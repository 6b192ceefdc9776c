// Images of one screen: 50 ads, each with a JPEG of about 20 KB at a URL of
// its own on one HTTPS host (the tests' HTTP/1.1 server, keeping connections
// alive and answering each after 50 ms), bound at once into
// 50 plain cells by the default binding and timed until every image view
// shows its image, against one ad bound and drawn the same way. Downloads run
// concurrently on the network thread and decodes on the SDK's workers, so a
// screen should take little longer than one image.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "ovix/OvixManager.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "ovix/platform/Network.hpp"
#include "ovix/platform/TableViewCell.hpp"
#include "support/Inventory.hpp"
#include "support/Photo.hpp"
#include "support/Summary.hpp"
#include "support/TlsServer.hpp"

namespace ovix::bench {
namespace {

using ScreenClock = std::chrono::steady_clock;

constexpr std::size_t kScreenImages = 50;
constexpr int kPhotoWidth = 320;
constexpr int kPhotoHeight = 180;
// A host's distance: the server answers each image after this long, as the
// beacon benchmarks' server does.
constexpr auto kServerDelay = std::chrono::milliseconds(50);

void ScreenImages(benchmark::State& state, std::size_t count) {
  const auto photo = photoJpeg(kPhotoWidth, kPhotoHeight);
  const std::string body(photo.begin(), photo.end());
  test::TlsServer server(test::TlsServer::Certificate::kTrusted, kScreenImages + 14,
                         std::chrono::seconds(5));
  server.handle("GET", "/img/[0-9]+\\.jpg", [&body](const auto&, auto& response) {
    std::this_thread::sleep_for(kServerDelay);
    response.set_content(body, "image/jpeg");
  });
  net::setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath());
  net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port());
  std::vector<std::shared_ptr<OvixAdInfo>> ads;
  for (std::size_t i = 0; i < count; ++i) {
    OvixAdInfo::Fields fields;
    fields.infeedId = "slot-0";
    fields.uuid = "screen-" + std::to_string(i);
    fields.imageUrl = "https://ad.ovix.example/img/" + std::to_string(i) + ".jpg";
    ads.push_back(std::make_shared<OvixAdInfo>(std::move(fields)));
  }

  for (auto _ : state) {
    std::vector<std::shared_ptr<ui::TableViewCell>> cells;
    for (std::size_t i = 0; i < count; ++i) cells.push_back(ui::make<ui::TableViewCell>());
    std::vector<std::shared_ptr<const gfx::Image>> placeholders;
    const auto start = ScreenClock::now();
    for (std::size_t i = 0; i < count; ++i) {
      OvixManager::shared().setInfeed(cells[i], ads[i], 80, Size{120, 80});
      placeholders.push_back(cells[i]->imageView()->image());
    }
    const bool drawn = dispatch::runMainQueueUntil(
        [&] {
          for (std::size_t i = 0; i < count; ++i) {
            if (cells[i]->imageView()->image() == placeholders[i]) return false;
          }
          return true;
        },
        std::chrono::seconds(30));
    state.SetIterationTime(std::chrono::duration<double>(ScreenClock::now() - start).count());
    settle();
    if (!drawn) {
      state.SkipWithError("an image was not drawn");
      break;
    }
  }
  state.counters["file_bytes"] = static_cast<double>(photo.size());
  net::clearConnectOverrides();
}

const bool kScreenImagesRegistered = [] {
  for (const auto& [name, count] :
       {std::pair{"ImagesHttps_50", kScreenImages}, std::pair{"ImagesHttps_1", std::size_t{1}}}) {
    benchmark::RegisterBenchmark(name, ScreenImages, count)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  return compare("Images, 50 of 20 KB from one HTTPS host in one screen vs one", "ImagesHttps_50",
                 "ImagesHttps_1", 3, Measure::kRealTime);
}();

}  // namespace
}  // namespace ovix::bench
