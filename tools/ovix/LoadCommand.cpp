#include "LoadCommand.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "Options.hpp"
#include "ovix/Ovix.hpp"

namespace ovix::tool {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLoadHelp =
    "usage: ovix load [options]\n"
    "  --infeed ID:COUNT      ask for COUNT ads of slot ID (repeatable)\n"
    "  --lat DEG --lon DEG    the device's coordinate\n"
    "  --altitude M           with --lat/--lon the whole location, alone the altitude\n"
    "  --timeout SECONDS      the request time-out (at most 5)\n"
    "  --method METHOD        the HTTP method (default POST)\n"
    "  --advertising-id ID    enable tracking with this advertising identifier\n"
    "  --user-agent UA        the user agent to send\n"
    "  --device-model MODEL   the device model (default iPhone)\n"
    "  --enable-tablet        load on an iPad too\n"
    "  --gdpr 0|1             whether GDPR applies to the user\n"
    "  --consent STRING       the TCF v2 consent string\n"
    "  --gpp STRING           the GPP string\n"
    "  --gpp-sid 2,6          the GPP sections that apply\n"
    "  --us-privacy STRING    the US privacy string\n"
    "  --coppa 0|1            child-directed treatment; 1 sends no advertising\n"
    "                         identifier and no location\n"
    "  --lmt 0|1              limit ad tracking; 1 as --coppa 1\n"
    "  --connect HOST:PORT    connect to HOST:PORT for the ad server's host\n"
    "  --cacert FILE          trust the certificates in FILE too\n"
    "  --rotate ID:N          after a success, take N ads of slot ID (repeatable)\n"
    "  --impress ID           after a success, bind the next ad of slot ID into a plain\n"
    "                         cell, report it displayed and print its uuid (repeatable)\n"
    "  --click ID             after a success, bind the next ad of slot ID, tap it and\n"
    "                         print the URL it opens (nothing is launched)\n"
    "  --log                  switch the SDK's log on\n";

struct LoadOptions {
  std::vector<std::pair<std::string, long long>> infeeds;
  std::optional<double> lat, lon, altitude, timeout;
  std::optional<std::string> method, advertisingId, userAgent, deviceModel, connect, cacert;
  PrivacySignals privacy;
  bool enableTablet = false;
  bool log = false;
  std::vector<std::pair<std::string, long long>> rotations;
  std::vector<std::string> impressions;
  std::optional<std::string> click;
};

// Records the URLs a tap opens instead of launching a browser.
class RecordingOpener : public ui::URLHandler {
 public:
  bool canOpenURL(const std::string& url) override {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
  }
  bool openURL(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

// Records the one outcome of the load.
class Delegate : public OvixInfeed {
 public:
  void successfulToReceivedAt(std::int64_t count) override {
    std::lock_guard lock(mutex_);
    outcome_ = "success " + std::to_string(count);
  }
  void failedToReceivedWith(const std::optional<Error>& error) override {
    std::lock_guard lock(mutex_);
    outcome_ = "failure " + (error ? error->description() : std::string("none"));
  }
  std::optional<std::string> outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> outcome_;  // guarded by mutex_
};

// Fills `options`; returns an exit status when the tool should stop.
std::optional<int> parse(int argc, char** argv, LoadOptions& options) {
  Options args(argc, argv, 2);
  while (auto name = args.next()) {
    auto needValue = [&]() -> std::optional<std::string> { return args.value(); };
    auto number = [&](std::optional<double>& into) {
      auto text = needValue();
      if (text) into = parseNumber(*text);
      return into.has_value();
    };
    auto text = [&](std::optional<std::string>& into) {
      into = needValue();
      return into.has_value();
    };
    auto bit = [&](std::optional<bool>& into) {
      auto value = needValue();
      into = value ? parseBit(*value) : std::nullopt;
      return into.has_value();
    };
    auto named = [&](auto& into) {
      auto value = needValue();
      auto pair = value ? parseNamed(*value) : std::nullopt;
      if (pair) into.push_back(*pair);
      return pair.has_value();
    };
    bool ok = true;
    if (*name == "help") {
      std::fputs(kLoadHelp, stdout);
      return 0;
    } else if (*name == "infeed") {
      ok = named(options.infeeds);
    } else if (*name == "rotate") {
      ok = named(options.rotations);
    } else if (*name == "impress") {
      auto id = needValue();
      if (id) options.impressions.push_back(*id);
      ok = id.has_value();
    } else if (*name == "click") {
      ok = text(options.click);
    } else if (*name == "lat") {
      ok = number(options.lat);
    } else if (*name == "lon") {
      ok = number(options.lon);
    } else if (*name == "altitude") {
      ok = number(options.altitude);
    } else if (*name == "timeout") {
      ok = number(options.timeout);
    } else if (*name == "method") {
      ok = text(options.method);
    } else if (*name == "advertising-id") {
      ok = text(options.advertisingId);
    } else if (*name == "user-agent") {
      ok = text(options.userAgent);
    } else if (*name == "device-model") {
      ok = text(options.deviceModel);
    } else if (*name == "connect") {
      ok = text(options.connect) && parseNamed(*options.connect).has_value();
    } else if (*name == "cacert") {
      ok = text(options.cacert);
    } else if (*name == "gdpr" || *name == "coppa" || *name == "lmt") {
      auto& into = *name == "gdpr"    ? options.privacy.gdpr
                   : *name == "coppa" ? options.privacy.coppa
                                      : options.privacy.lmt;
      if (!bit(into)) return usageError("load", "--" + *name + " takes 0 or 1", kLoadHelp);
    } else if (*name == "consent") {
      ok = text(options.privacy.consent);
    } else if (*name == "gpp") {
      ok = text(options.privacy.gpp);
    } else if (*name == "gpp-sid") {
      auto value = needValue();
      options.privacy.gppSid = value ? parseIntegerList(*value) : std::nullopt;
      if (!options.privacy.gppSid) {
        return usageError("load", "--gpp-sid takes integers separated by commas, such as 2,6",
                          kLoadHelp);
      }
    } else if (*name == "us-privacy") {
      ok = text(options.privacy.usPrivacy);
    } else if (*name == "enable-tablet") {
      options.enableTablet = true;
    } else if (*name == "log") {
      options.log = true;
    } else {
      return usageError("load", "unknown option '" + *name + "'", kLoadHelp);
    }
    if (!ok) return usageError("load", "bad or missing value for --" + *name, kLoadHelp);
  }
  if (options.lat.has_value() != options.lon.has_value()) {
    return usageError("load", "--lat and --lon go together", kLoadHelp);
  }
  return std::nullopt;
}

// The ad server's host and port, as the SDK's endpoint names them.
std::pair<std::string, std::uint16_t> serverHostAndPort(const std::string& url) {
  std::string rest = url.substr(url.find("://") + 3);
  rest = rest.substr(0, rest.find('/'));
  const auto colon = rest.rfind(':');
  if (colon == std::string::npos) return {rest, 443};
  return {rest.substr(0, colon), static_cast<std::uint16_t>(std::stoi(rest.substr(colon + 1)))};
}

// Returns an exit status when a setting is refused.
std::optional<int> configure(const LoadOptions& options) {
  logging = options.log;
  if (options.deviceModel) device::setModel(*options.deviceModel);
  if (options.advertisingId) {
    adsupport::setAdvertisingTrackingEnabled(true);
    adsupport::setAdvertisingIdentifier(*options.advertisingId);
  }
  if (options.cacert) {
    if (auto error = net::setExtraTrustedCertificates(*options.cacert)) {
      return usageError("load", "--cacert: " + error->localizedDescription(), kLoadHelp);
    }
  }
  auto& manager = OvixManager::shared();
  if (options.connect) {
    const auto target = *parseNamed(*options.connect);
    const auto [host, port] = serverHostAndPort(manager.urlString());
    if (target.second <= 0 || target.second > 65535)
      return usageError("load", "--connect: bad port", kLoadHelp);
    if (auto error = net::setConnectOverride(host, port, target.first,
                                             static_cast<std::uint16_t>(target.second))) {
      return usageError("load", "--connect: " + error->localizedDescription(), kLoadHelp);
    }
  }
  if (options.userAgent) manager.setUserAgent(*options.userAgent);
  if (options.enableTablet) manager.setDisableTablet(false);
  manager.setPrivacySignals(options.privacy);
  return std::nullopt;
}

void fill(OvixRequest& request, const LoadOptions& options) {
  for (const auto& [id, count] : options.infeeds) request.set(id, count);
  if (options.lat && options.altitude) {
    request.setLocation(*options.lat, *options.lon, *options.altitude);
  } else if (options.lat) {
    request.setCoordinate(*options.lat, *options.lon);
  } else if (options.altitude) {
    request.setAltitude(*options.altitude);
  }
  if (options.timeout) request.setRequestTimeout(*options.timeout);
  if (options.method) request.setHttpMethod(*options.method);
}

std::string adLine(const std::shared_ptr<OvixAdInfo>& ad) {
  if (!ad) return "ad none";
  const nlohmann::ordered_json record = {{"infeedId", ad->infeedId()},
                                         {"imageUrl", ad->imageUrl()},
                                         {"advertiser", ad->advertiser()},
                                         {"title", ad->title()},
                                         {"descript", ad->descript()},
                                         {"impUrl", ad->impUrl()},
                                         {"viewableImpUrl", ad->viewableImpUrl()},
                                         {"clickUrl", ad->clickUrl()},
                                         {"uuid", ad->uuid()}};
  return "ad " + record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A plain cell of the default kind with `ad` bound the default way.
std::shared_ptr<ui::TableViewCell> boundCell(const std::shared_ptr<OvixAdInfo>& ad) {
  auto cell = ui::make<ui::TableViewCell>();
  OvixManager::shared().setInfeed(cell, ad, 80, Size{60, 40});
  return cell;
}

void impress(const std::vector<std::string>& slots) {
  std::vector<std::string> lines;
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  for (const auto& slot : slots) {
    const auto ad = OvixManager::shared().hasNextAd(slot);
    if (!ad) {
      lines.push_back("impressed none");
      continue;
    }
    cells.push_back(boundCell(ad));
    OvixManager::shared().tryImpression(cells.back(), "tableView(_:willDisplay:forRowAt:)");
    lines.push_back("impressed " + ad->uuid());
  }
  if (!slots.empty()) dispatch::waitForPendingWork(10s);
  for (const auto& line : lines) std::cout << line << '\n';
}

void click(const std::string& slot) {
  auto opener = std::make_shared<RecordingOpener>();
  ui::Application::setURLHandler(opener);
  if (const auto ad = OvixManager::shared().hasNextAd(slot)) {
    const auto cell = boundCell(ad);
    for (const auto& view : cell->subviews()) {
      if (view->tag() == kClickButtonTag)
        std::static_pointer_cast<ui::Button>(view)->sendTouchUpInside();
    }
    dispatch::waitForPendingWork(10s);
  }
  ui::Application::resetURLHandler();
  std::cout << (opener->opened.empty() ? "not opened" : "opened " + opener->opened.front()) << '\n';
}

}  // namespace

int runLoad(int argc, char** argv) {
  LoadOptions options;
  if (auto status = parse(argc, argv, options)) return *status;
  if (auto status = configure(options)) return *status;

  auto delegate = std::make_shared<Delegate>();
  {
    OvixRequest request;
    fill(request, options);
    OvixManager::shared().loadOvix(request, delegate);
  }
  // A refused load leaves no work behind, so there is nothing to wait for.
  dispatch::runMainQueueUntil(
      [&] { return delegate->outcome().has_value() || dispatch::pendingWork() == 0; }, 30s);
  dispatch::waitForPendingWork(10s);

  const auto outcome = delegate->outcome();
  std::cout << outcome.value_or("no outcome") << '\n';
  const bool success = outcome && outcome->rfind("success", 0) == 0;
  if (success) {
    for (const auto& [id, count] : options.rotations) {
      for (long long i = 0; i < count; ++i) {
        std::cout << adLine(OvixManager::shared().hasNextAd(id)) << '\n';
      }
    }
    std::cout.flush();
    impress(options.impressions);
    if (options.click) click(*options.click);
  }
  std::cout.flush();
  return success ? 0 : 1;
}

}  // namespace ovix::tool
