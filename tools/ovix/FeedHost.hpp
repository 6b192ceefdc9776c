#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "devserver/Server.hpp"
#include "ovix/Ovix.hpp"

// The steps both sample feeds take, in the order a host takes them. Main
// thread, like the host code they stand for.
namespace ovix::tool {

inline constexpr double kScreenWidth = 375;
inline constexpr double kScreenHeight = 812;
inline constexpr const char* kDisplayCallback = "tableView(_:willDisplay:forRowAt:)";

struct FeedOptions {
  bool scroll = false;
  std::optional<long long> rows;  // nothing: the mode's own default
  std::string png = "feed.png";
  bool log = false;
  bool http2 = false;  // the development server speaks HTTP/2 only
};

// The development server over the sample ads on a free port, with `adjust`
// applied to its options (may be empty). Null after printing why it could
// not start.
std::unique_ptr<devserver::Server> startServer(
    const std::function<void(devserver::ServerOptions&)>& adjust = {});

// The file name an image URL ends in, such as "ocean.png" (see
// devserver::makeSampleImages).
std::string imageName(const std::string& url);

// Step 1: the SDK's configuration, before the first use of the manager.
// Links open through `opener`; null keeps the desktop's browser.
void configure(const FeedOptions& options, const devserver::Server& server,
               std::shared_ptr<ui::URLHandler> opener);

// Step 2: one request for two slots of three ads each. How many ads came, or
// -1 after printing why none did.
std::int64_t loadAds();

// The impression beacons the SDK sends as rows appear: those of an ad's
// first display only. With viewability measured, an ad's viewable beacons
// count once viewed() tells that it became viewable.
class BeaconTally {
 public:
  explicit BeaconTally(bool viewabilityMeasured = false)
      : viewabilityMeasured_(viewabilityMeasured) {}
  void displayed(const OvixAdInfo& ad);
  void viewed(const std::string& uuid);
  std::size_t sent() const { return sent_; }

 private:
  const bool viewabilityMeasured_;
  std::set<std::string> impressed_;
  std::map<std::string, std::size_t> viewableLater_;  // by uuid
  std::size_t sent_ = 0;
};

// A row of a picture: its view at `y` points from the top.
struct PictureRow {
  std::shared_ptr<ui::View> view;
  double y = 0;
  bool isAd = false;
};

// Draws `rows` on a white screen `height` points high, a pale band under ad
// rows so the picture shows which rows are ads, and writes it to `path` as
// PNG. The picture's "WIDTHxHEIGHT", or nothing after printing why not.
std::optional<std::string> drawPicture(const std::vector<PictureRow>& rows, double height,
                                       const std::string& path);

}  // namespace ovix::tool
