// Writes the fuzzers' seed corpora into tests/fuzz/corpus/<target>/: small
// inputs of each shape a target understands. Run by `make fuzz-seeds`; its
// output is committed, so rerun it only to change the seeds.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>

#include "fuzz/FuzzSupport.hpp"
#include "encoders/ImageEncoders.hpp"

namespace {

namespace fs = std::filesystem;
using ovix::fuzz::Output;
using namespace ovix::encoders;

fs::path root;

void write(const std::string& target, const std::string& name, const std::string& bytes) {
  const fs::path folder = root / target;
  fs::create_directories(folder);
  std::ofstream(folder / ("seed-" + name), std::ios::binary) << bytes;
}

void write(const std::string& target, const std::string& name, const Bytes& bytes) {
  write(target, name, std::string(bytes.begin(), bytes.end()));
}

void responses() {
  write("response", "two-slots", R"({"ads": {"a": [{"title": "First", "description": "D",
    "image_url": "https://ad.ovix.example/img.png", "displayed_advertiser": "Acme",
    "imp_url": ["https://ad.ovix.example/imp/1"], "view_imp_url": ["https://ad.ovix.example/v/1"],
    "click_url": "https://click.example/"}, {"title": "Second"}], "b": [{"title": "\u00e9\ud83d\ude00"}]},
    "errors": {"c": "no fill"}})");
  write("response", "wrong-shapes", R"({"ads": {"a": {"title": 1}, "b": [1, "x", null,
    {"title": ["t"], "imp_url": "u", "view_imp_url": [1, "v"]}]}, "errors": []})");
  write("response", "empty", "{}");
  write("response", "array", "[]");
  write("response", "nested", R"({"ads": {"a": [{"title": {"x": [[[{}]]]}}]}})");
}

void images() {
  RgbaImage image(8, 6, {200, 30, 30, 255});
  image.at(1, 1) = {10, 200, 30, 128};
  image.at(7, 5) = {0, 0, 255, 0};
  write("image", "rgba.png", encodePng(image));
  write("image", "gray.png", encodePng(image, PngLayout::gray));
  write("image", "palette.png", encodePng(image, PngLayout::palette));
  write("image", "baseline.jpg", encodeJpeg(image));
  write("image", "progressive.jpg", encodeJpeg(image, JpegLayout::progressive));
  write("image", "cmyk.jpg", encodeJpeg(image, JpegLayout::cmyk));
  write("image", "lossy.webp", encodeWebp(image));
  write("image", "lossless.webp", encodeWebp(image, true));
  write("image", "animated.webp", encodeAnimatedWebp({image, RgbaImage(8, 6)}));
  GifFrame frame{1, 1, 4, 3, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}, false, 3};
  GifFrame interlaced{0, 0, 3, 9, std::vector<std::uint8_t>(27, 1), true, -1};
  const GifPalette palette{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  write("image", "frame.gif", encodeGif(6, 5, palette, {frame}));
  write("image", "interlaced.gif", encodeGif(3, 9, palette, {interlaced, frame}));
}

void urls() {
  write("url", "beacon", "https://ad.ovix.example/imp/a b?x=%41&y=\xC3\xA9#frag");
  write("url", "ipv6", "http://[::1]:8080/p?q=1");
  write("url", "userinfo", "https://user:pw@ad.ovix.example:443/../a/./b?c#d");
  write("url", "other-scheme", "app://elsewhere/path");
  write("url", "idn", "https://\xC3\xA9xample.test/\xE2\x82\xAC");
  write("url", "relative", "/just/a/path?x");
}

void requests() {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // fill(): map form, slots, location, advertising id, method, time-out, app,
  // version, then the user agent.
  write("request", "plain",
        Output()
            .flag(false)
            .byte(1)
            .string("top-feed")
            .raw<std::int64_t>(3)
            .raw(35.6)
            .raw(139.7)
            .raw(-3.0)
            .flag(true)
            .flag(true)
            .string("6D92078A-8246-4BA4-AE5B-76104861E7DC")
            .flag(false)
            .flag(false)
            .raw(5.0)
            .string("com.example.app")
            .string("1.0")
            .string("Agent/1.0")
            .bytes());
  write("request", "map-and-method",
        Output()
            .flag(true)
            .byte(2)
            .string("a")
            .flag(true)
            .string("n")
            .raw<std::int64_t>(-1)
            .string("\xC3\xA9")
            .flag(false)
            .raw<std::int64_t>(INT64_MAX)
            .flag(false)
            .raw(0.0)
            .raw(0.0)
            .raw(0.0)
            .flag(false)
            .flag(true)
            .flag(true)
            .string("PUT")
            .flag(true)
            .raw(1e300)
            .string("")
            .string("")
            .string("")
            .bytes());
  write("request", "not-finite",
        Output()
            .flag(false)
            .byte(1)
            .string("s")
            .raw<std::int64_t>(1)
            .raw(nan)
            .raw(inf)
            .raw(-inf)
            .flag(false)
            .flag(false)
            .flag(false)
            .raw(-1.0)
            .string("\xFF")
            .string("v")
            .string("UA\r\nX: y")
            .bytes());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " CORPUS_FOLDER\n";
    return 2;
  }
  root = argv[1];
  responses();
  images();
  urls();
  requests();
  return 0;
}
