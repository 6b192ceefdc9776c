#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "ovix/Export.hpp"

namespace ovix {

// One ad request as the host fills it: the slots wanted with a count each, the
// device's location, the HTTP method, the time-out and the advertising
// identifier. Fill it on one thread and hand it to OvixManager::loadOvix,
// which reads it before it returns.
class OVIX_EXPORT OvixRequest {
 public:
  // Slot id -> {"count": number of ads wanted}.
  using Infeeds = std::map<std::string, std::map<std::string, std::int64_t>>;

  // An empty slot map, coordinates 0, "POST", time-out 5 s and the advertising
  // identifier of ovix::adsupport ("" while tracking is limited).
  OvixRequest();
  // Logs "deinit".
  ~OvixRequest();
  OvixRequest(const OvixRequest&) = delete;
  OvixRequest& operator=(const OvixRequest&) = delete;

  // Whether the request may be sent: false, with a log entry, for a present
  // but empty slot map.
  bool validateRequired() const;

  // Asks for `count` ads of slot `infeedId`; the last call for an id wins.
  // Does nothing while the slot map is absent.
  void set(const std::string& infeedId, std::int64_t count);
  // Stores latitude and longitude; the altitude stays.
  void setCoordinate(double lat, double lon);
  void setLocation(double lat, double lon, double altitude);
  // Stores the smaller of `timeout` and defaultTimeout(); setTimeout stores as is.
  void setRequestTimeout(double timeout);

  // Whether latitude and longitude are both non-zero (0 means missing).
  bool enableCoordinate() const;
  // Whether the altitude is non-zero; a negative altitude counts.
  bool enableAltitude() const;

  const std::optional<Infeeds>& infeeds() const { return infeeds_; }
  void setInfeeds(std::optional<Infeeds> infeeds) { infeeds_ = std::move(infeeds); }
  double latitude() const { return latitude_; }
  void setLatitude(double value) { latitude_ = value; }
  double longitude() const { return longitude_; }
  void setLongitude(double value) { longitude_ = value; }
  double altitude() const { return altitude_; }
  void setAltitude(double value) { altitude_ = value; }
  const std::optional<std::string>& httpMethod() const { return httpMethod_; }
  void setHttpMethod(std::optional<std::string> method) { httpMethod_ = std::move(method); }
  double defaultTimeout() const { return kDefaultTimeout; }
  double timeout() const { return timeout_; }
  void setTimeout(double seconds) { timeout_ = seconds; }
  const std::optional<std::string>& advertisingId() const { return advertisingId_; }
  void setAdvertisingId(std::optional<std::string> id) { advertisingId_ = std::move(id); }

 private:
  static constexpr double kDefaultTimeout = 5.0;

  std::optional<Infeeds> infeeds_ = Infeeds{};
  double latitude_ = 0;
  double longitude_ = 0;
  double altitude_ = 0;
  std::optional<std::string> httpMethod_ = "POST";
  double timeout_ = kDefaultTimeout;
  std::optional<std::string> advertisingId_;
};

}  // namespace ovix
