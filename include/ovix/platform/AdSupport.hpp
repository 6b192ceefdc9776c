#pragma once

#include <string>

#include "ovix/Export.hpp"

// The advertising identifier sent with ad requests. Privacy first: tracking is
// limited until the host, having the user's consent, enables it and supplies
// an identifier. While limited, requests carry "". Any thread; a request reads
// both when it is made.
namespace ovix::adsupport {

OVIX_EXPORT bool isAdvertisingTrackingEnabled();
OVIX_EXPORT void setAdvertisingTrackingEnabled(bool enabled);

// The identifier as text; "" until set.
OVIX_EXPORT std::string advertisingIdentifier();
OVIX_EXPORT void setAdvertisingIdentifier(std::string identifier);

}  // namespace ovix::adsupport
