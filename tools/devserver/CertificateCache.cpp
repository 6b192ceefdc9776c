#include "CertificateCache.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace ovix::devserver {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kLifetime = 365 * 24h;
constexpr auto kMargin = 24h;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return text.str();
}

std::string reason(const fs::path& path) {
  return path.string() + ": " + std::strerror(errno);
}

// Writes `text` under a temporary name beside `path`, with `mode`, then
// renames it into place so that readers never see half a file.
std::optional<std::string> writeAtomically(const fs::path& path, const std::string& text,
                                           mode_t mode) {
  std::string temporary = path.string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return "cannot write " + reason(path);
  bool ok = ::fchmod(fd, mode) == 0;
  for (std::size_t written = 0; ok && written < text.size();) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) written += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  std::optional<std::string> error;
  if (!ok) error = "cannot write " + reason(fs::path(temporary));
  if (::close(fd) != 0 && !error) error = "cannot write " + reason(fs::path(temporary));
  if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot write " + reason(path);
  }
  if (error) ::unlink(temporary.c_str());
  return error;
}

}  // namespace

fs::path defaultCacheDirectory() {
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/') {
    return fs::path(cache) / "ovix";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return fs::path(home) / ".cache" / "ovix";
  }
  return {};
}

Result<CachedCertificate> loadOrMakeCertificate(const fs::path& directory) {
  if (directory.empty()) return Failure{"no folder for the certificate: set HOME or --cache"};
  CachedCertificate cached{nullptr, directory / "devserver.crt", directory / "devserver.key"};
  cached.certificate =
      Certificate::fromPem(readFile(cached.certificatePath), readFile(cached.keyPath));
  if (cached.certificate && cached.certificate->isServerCertificate() &&
      cached.certificate->validFor(kMargin)) {
    return cached;
  }

  std::error_code error;
  fs::create_directories(directory, error);
  if (error) return Failure{"cannot make " + directory.string() + ": " + error.message()};
  cached.certificate = Certificate::make("Ovix Development Server", -1h, kLifetime);
  if (!cached.certificate) return Failure{"OpenSSL cannot make a certificate"};
  // A reader between the two renames finds a key that is not the
  // certificate's, and makes a pair of its own.
  if (auto failed = writeAtomically(cached.keyPath, cached.certificate->keyPem(), 0600)) {
    return Failure{*failed};
  }
  if (auto failed = writeAtomically(cached.certificatePath, cached.certificate->pem(), 0644)) {
    return Failure{*failed};
  }
  return cached;
}

}  // namespace ovix::devserver
