// A small host for the shutdown tests: starts SDK work against a loopback
// server that holds every request, waits for a line on standard input (the
// test sends it once the server holds them all), then leaves the process in
// the way it was asked to, with the work still in flight. Links the shared
// library, as a host does.
//
//   ovix_shutdown_host HOW WHAT PORT CA_FILE
//   HOW:  exit      std::exit(0) from main
//         return    return 0 from main, destroying its locals first
//         callback  start one more load, which is answered, and std::exit(0)
//                   from its delegate's success callback on a worker
//   WHAT: loads, images, beacons or all
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "ovix/Ovix.hpp"

namespace {

using namespace ovix;

class Delegate : public OvixInfeed {
 public:
  explicit Delegate(bool exitOnSuccess) : exitOnSuccess_(exitOnSuccess) {}
  void successfulToReceivedAt(std::int64_t) override {
    if (exitOnSuccess_) std::exit(0);
  }
  void failedToReceivedWith(const std::optional<Error>& error) override {
    if (exitOnSuccess_)
      std::fprintf(stderr, "failed: %s\n", error ? error->description().c_str() : "");
  }

 private:
  const bool exitOnSuccess_;
};

void load(const std::string& slot, const std::shared_ptr<Delegate>& delegate) {
  OvixRequest request;
  request.set(slot, 1);
  OvixManager::shared().loadOvix(request, delegate);
}

std::shared_ptr<ui::TableViewCell> bind(const std::string& base, int n, bool withImage) {
  const std::string slot = "host-" + std::to_string(n);  // a slot each: rotation gives this ad
  auto ad = std::make_shared<OvixAdInfo>();
  ad->setInfeedId(slot);
  ad->setUuid("host-ad-" + std::to_string(n));
  if (withImage) ad->setImageUrl(base + "/img/" + std::to_string(n) + ".png");
  ad->setImpUrl({base + "/imp/" + std::to_string(n)});
  OvixManager::shared().add(std::vector{ad});
  auto cell = ui::make<ui::TableViewCell>();
  OvixManager::shared().setInfeed(cell, OvixManager::shared().hasNextAd(slot), 80, Size{60, 40});
  return cell;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: ovix_shutdown_host HOW WHAT PORT CA_FILE\n", stderr);
    return 2;
  }
  const std::string how = argv[1];
  const std::string what = argv[2];
  const std::string port = argv[3];
  const std::string base = "https://localhost:" + port;
  if (net::setExtraTrustedCertificates(argv[4]) ||
      net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1",
                              static_cast<std::uint16_t>(std::stoi(port)))) {
    return 3;
  }
  OvixManager::shared().setUserAgent("ShutdownHost/1.0");

  auto delegate = std::make_shared<Delegate>(false);
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  const bool all = what == "all";
  if (all || what == "loads") {
    load("held-1", delegate);
    load("held-2", delegate);
  }
  if (all || what == "images") {
    cells.push_back(bind(base, 1, true));
    cells.push_back(bind(base, 2, true));
  }
  if (all || what == "beacons") {
    for (int n = 3; n <= 4; ++n) {
      cells.push_back(bind(base, n, false));
      OvixManager::shared().tryImpression(cells.back(), "tableView(_:willDisplay:forRowAt:)");
    }
  }

  std::string line;
  std::getline(std::cin, line);
  std::puts("leaving");
  std::fflush(stdout);
  if (how == "exit") std::exit(0);
  if (how == "callback") {
    const auto quitting = std::make_shared<Delegate>(true);  // held: the SDK holds it weakly
    load("answered", quitting);
    // Runs the main queue until the callback ends the process.
    dispatch::runMainQueueUntil([] { return false; }, std::chrono::seconds(20));
    return 4;
  }
  return 0;
}
