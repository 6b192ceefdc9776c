#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/gfx/Cairo.hpp"
#include "ovix/platform/ImageWriting.hpp"

namespace ovix::gfx {
namespace {

// File errors as Apple's Foundation numbers them.
constexpr const char* kFileErrorDomain = "NSCocoaErrorDomain";
constexpr std::int64_t kFileNoSuchFile = 4;
constexpr std::int64_t kFileWriteUnknown = 512;
constexpr std::int64_t kFileWriteNoPermission = 513;
constexpr std::int64_t kFileWriteOutOfSpace = 640;

Error fileError(int number, const std::string& path) {
  std::int64_t code = kFileWriteUnknown;
  if (number == ENOENT || number == ENOTDIR) code = kFileNoSuchFile;
  if (number == EACCES || number == EPERM || number == EROFS) code = kFileWriteNoPermission;
  if (number == ENOSPC || number == EDQUOT) code = kFileWriteOutOfSpace;
  const std::string reason = number != 0 ? std::strerror(number) : "the image cannot be encoded";
  return Error(kFileErrorDomain, code, "cannot write the PNG file " + path + ": " + reason);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct Sink {
  std::FILE* file;
  int error = 0;  // errno of the first failed write
};

cairo_status_t writeTo(void* closure, const unsigned char* data, unsigned int length) {
  auto* sink = static_cast<Sink*>(closure);
  if (std::fwrite(data, 1, length, sink->file) == length) return CAIRO_STATUS_SUCCESS;
  if (sink->error == 0) sink->error = errno != 0 ? errno : EIO;
  return CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

Status writePng(const Image& image, const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return fileError(errno, path);
  Sink sink{file.get()};
  const CairoSurface surface = sourceSurface(image);
  cairo_status_t status = cairo_surface_status(surface.get());
  if (status == CAIRO_STATUS_SUCCESS) {
    status = cairo_surface_write_to_png_stream(surface.get(), &writeTo, &sink);
  }
  // Closing flushes the last bytes, so its failure is a failed write too.
  if (std::fclose(file.release()) != 0 && sink.error == 0) sink.error = errno;
  if (status == CAIRO_STATUS_SUCCESS && sink.error == 0) return std::nullopt;
  std::remove(path.c_str());
  return fileError(sink.error, path);
}

}  // namespace ovix::gfx
