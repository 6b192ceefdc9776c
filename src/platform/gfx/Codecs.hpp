#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "ovix/platform/Image.hpp"
#include "ovix/platform/ImageDecoding.hpp"

// One decoder per format, each taking bytes already recognised as its format.
// The size function reads the header alone, with the same reader as the
// decoder, so it gives the size the decoder makes with the same hint. The
// decoder returns no image when its library rejects the bytes or the size
// breaks the limits, which it checks before allocating the bitmap. PNG and GIF
// ignore the hint.
namespace ovix::gfx::codecs {

std::optional<PixelSize> pngSize(const std::uint8_t* data, std::size_t size, DecodeHint hint);
std::shared_ptr<const Image> decodePng(const std::uint8_t* data, std::size_t size, DecodeHint hint,
                                       DecodeLimits limits);

std::optional<PixelSize> jpegSize(const std::uint8_t* data, std::size_t size, DecodeHint hint);
std::shared_ptr<const Image> decodeJpeg(const std::uint8_t* data, std::size_t size, DecodeHint hint,
                                        DecodeLimits limits);

std::optional<PixelSize> gifSize(const std::uint8_t* data, std::size_t size, DecodeHint hint);
std::shared_ptr<const Image> decodeGif(const std::uint8_t* data, std::size_t size, DecodeHint hint,
                                       DecodeLimits limits);

std::optional<PixelSize> webpSize(const std::uint8_t* data, std::size_t size, DecodeHint hint);
std::shared_ptr<const Image> decodeWebp(const std::uint8_t* data, std::size_t size, DecodeHint hint,
                                        DecodeLimits limits);

}  // namespace ovix::gfx::codecs
