#pragma once

#include <memory>

#include "ovix/Export.hpp"
#include "ovix/platform/Geometry.hpp"
#include "ovix/platform/Image.hpp"

namespace ovix::gfx {

// `image` drawn over the whole of a new image of `size` points at scale 1, each
// side rounded to whole pixels; the aspect ratio is not kept. Null when a side
// rounds to less than one pixel or exceeds the image limits. Never throws. Any
// thread.
OVIX_EXPORT std::shared_ptr<const Image> redraw(const Image& image, Size size);

}  // namespace ovix::gfx
