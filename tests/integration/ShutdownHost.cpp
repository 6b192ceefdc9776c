// A small host for the shutdown tests: starts SDK work against a loopback
// server that holds every request, waits for a line on standard input (the
// test sends it once the server holds them all), then leaves the process in
// the way it was asked to, with the work still in flight. Links the shared
// library, as a host does.
//
//   ovix_shutdown_host HOW WHAT PORT CA_FILE [STORE]
//   HOW:   exit      std::exit(0) from main
//          return    return 0 from main, destroying its locals first
//          callback  start one more load, which is answered, and std::exit(0)
//                    from its delegate's success callback on a worker
//          idle      print "idle" once no work is pending (retries waiting
//                    aside), then as exit
//   WHAT:  images, beacons, all (which adds two loads) or none
//   STORE: the beacon store, set first
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "ovix/Ovix.hpp"

namespace {

using namespace ovix;

// Leaves the process from its success callback when asked to.
struct Delegate : OvixInfeed {
  explicit Delegate(bool exitOnSuccess) : exitOnSuccess(exitOnSuccess) {}
  void successfulToReceivedAt(std::int64_t) override {
    if (exitOnSuccess) std::exit(0);
  }
  void failedToReceivedWith(const std::optional<Error>&) override {
    if (exitOnSuccess) std::fputs("the answered load failed\n", stderr);
  }
  const bool exitOnSuccess;
};

void load(const std::string& slot, const std::shared_ptr<Delegate>& delegate) {
  OvixRequest request;
  request.set(slot, 1);
  OvixManager::shared().loadOvix(request, delegate);
}

// Binds ad `n`, alone in its slot, into a new cell.
std::shared_ptr<ui::TableViewCell> bind(const std::string& base, int n, bool withImage) {
  auto ad = std::make_shared<OvixAdInfo>();
  ad->setInfeedId("host-" + std::to_string(n));
  ad->setUuid("host-ad-" + std::to_string(n));
  if (withImage) ad->setImageUrl(base + "/img/" + std::to_string(n) + ".png");
  ad->setImpUrl({"https://ad.ovix.example/imp/" + std::to_string(n)});
  OvixManager::shared().add(std::vector{ad});
  auto cell = ui::make<ui::TableViewCell>();
  OvixManager::shared().setInfeed(cell, OvixManager::shared().hasNextAd(ad->infeedId()), 80,
                                  Size{60, 40});
  return cell;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) return 2;
  const std::string how = argv[1];
  const std::string what = argv[2];
  const std::string base = std::string("https://localhost:") + argv[3];
  if (net::setExtraTrustedCertificates(argv[4]) ||
      net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1",
                              static_cast<std::uint16_t>(std::stoi(argv[3])))) {
    return 3;
  }
  OvixManager::shared().setUserAgent("ShutdownHost/1.0");
  if (argc == 6) OvixManager::shared().setBeaconStore(argv[5]);
  const auto delegate = std::make_shared<Delegate>(false);
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  if (what == "all") {
    load("held-1", delegate);
    load("held-2", delegate);
  }
  for (int n = 1; n <= 4; ++n) {
    const bool image = n <= 2;
    if (what != "all" && what != (image ? "images" : "beacons")) continue;
    cells.push_back(bind(base, n, image));
    if (!image)
      OvixManager::shared().tryImpression(cells.back(), "tableView(_:willDisplay:forRowAt:)");
  }

  if (how == "idle") {
    if (!dispatch::waitForPendingWork(std::chrono::seconds(20))) return 5;
    std::puts("idle");
    std::fflush(stdout);
  }
  std::string line;
  std::getline(std::cin, line);
  std::puts("leaving");
  std::fflush(stdout);
  if (how == "exit" || how == "idle") std::exit(0);
  if (how == "callback") {
    const auto quitting = std::make_shared<Delegate>(true);  // held: the SDK holds it weakly
    load("answered", quitting);
    // Runs the main queue until the callback ends the process.
    dispatch::runMainQueueUntil([] { return false; }, std::chrono::seconds(20));
    return 4;
  }
  return 0;
}
