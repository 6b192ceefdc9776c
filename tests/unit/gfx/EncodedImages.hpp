#pragma once

#include <cstdint>

#include "encoders/ImageEncoders.hpp"

// Images for the decoders to read back, from the shared encoders, and ways to
// damage them.
namespace ovix::test {

using namespace encoders;

// The premultiplied 0xAARRGGBB word a decoder should give for `c`.
std::uint32_t expectedArgb(Rgba8 c);

// Where the first image descriptor of a GIF starts.
std::size_t gifImageDescriptor(const Bytes& gif);
// Where the first marker `code` of a JPEG starts, or 0.
std::size_t jpegMarker(const Bytes& jpeg, std::uint8_t code);

// The same file claiming another size, its checksums still valid.
Bytes withSize(Bytes image, std::uint32_t width, std::uint32_t height);

}  // namespace ovix::test
