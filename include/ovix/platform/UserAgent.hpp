#pragma once

#include <functional>
#include <string>

#include "ovix/Export.hpp"

// The browser user agent that ad requests and beacons carry. A Linux host has
// no system web view to ask, so it may install a provider that returns the
// user agent of its own browser component. Without one the answer is "", and
// the SDK asks again on the next load.
namespace ovix::useragent {

using Provider = std::function<std::string()>;

// An empty function restores the default. Any thread.
OVIX_EXPORT void setProvider(Provider provider);

// The provider's answer. Called by the SDK on the thread that loads.
OVIX_EXPORT std::string browserUserAgent();

}  // namespace ovix::useragent
