#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ovix {

// The user's privacy choices as the host knows them, sent with each ad load
// under their OpenRTB names (see OvixManager::setPrivacySignals). A field
// left empty is not sent. Every member has a default, so that designated
// initializers name only what they set. A plain value: fill it on any thread.
struct PrivacySignals {
  // GDPR applies to this user ("gdpr": 0 or 1).
  std::optional<bool> gdpr{};
  // The IAB TCF v2 consent string ("consent"), sent as given.
  std::optional<std::string> consent{};
  // The IAB GPP string ("gpp"), sent as given.
  std::optional<std::string> gpp{};
  // The GPP sections that apply ("gpp_sid", an array of integers).
  std::optional<std::vector<int>> gppSid{};
  // The US privacy string ("us_privacy"), sent as given.
  std::optional<std::string> usPrivacy{};
  // Child-directed treatment ("coppa": 0 or 1). When true, no advertising
  // identifier and no location are sent.
  std::optional<bool> coppa{};
  // Limit ad tracking ("lmt": 0 or 1). When true, no advertising identifier
  // and no location are sent.
  std::optional<bool> lmt{};

  friend bool operator==(const PrivacySignals&, const PrivacySignals&) = default;
};

}  // namespace ovix
