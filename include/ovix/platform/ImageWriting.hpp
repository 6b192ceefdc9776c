#pragma once

#include <optional>
#include <string>

#include "ovix/Export.hpp"
#include "ovix/platform/Error.hpp"
#include "ovix/platform/Image.hpp"

namespace ovix::gfx {

// Writes `image` as a PNG file at `path`, replacing any file there. Returns
// an error, leaving no file behind, when the file cannot be written. Never
// throws. Any thread.
OVIX_EXPORT Status writePng(const Image& image, const std::string& path);

}  // namespace ovix::gfx
