#pragma once

#include "encoders/ImageEncoders.hpp"

namespace ovix::bench {

// A photo-like JPEG of `width` by `height` pixels: smooth gradients with
// fine detail, so that it is as busy to decode as a real creative. Any
// thread.
encoders::Bytes photoJpeg(int width, int height);

}  // namespace ovix::bench
