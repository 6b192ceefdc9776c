#pragma once

#include <string>

#include "ovix/Export.hpp"
#include "ovix/platform/Geometry.hpp"

// The device and its main screen. A Linux host has neither, so it states them:
// set both before the first use of OvixManager, which reads them once.
namespace ovix::device {

// The device model, as a phone reports it. Default "iPhone".
OVIX_EXPORT std::string model();
OVIX_EXPORT void setModel(std::string model);

// The main screen's bounds in points. Default (0, 0, 375, 812), a common phone.
OVIX_EXPORT Rect mainScreenBounds();
OVIX_EXPORT void setMainScreenBounds(Rect bounds);

}  // namespace ovix::device
