#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ovix/platform/Image.hpp"
#include "ovix/platform/ImageDecoding.hpp"

// One decoder per format. Each takes bytes already recognised as its format
// and returns no image when its library rejects them or they break the limits.
namespace ovix::gfx::codecs {

std::shared_ptr<const Image> decodePng(const std::uint8_t* data, std::size_t size);
std::shared_ptr<const Image> decodeJpeg(const std::uint8_t* data, std::size_t size,
                                        DecodeHint hint);
std::shared_ptr<const Image> decodeGif(const std::uint8_t* data, std::size_t size);
std::shared_ptr<const Image> decodeWebp(const std::uint8_t* data, std::size_t size);

}  // namespace ovix::gfx::codecs
