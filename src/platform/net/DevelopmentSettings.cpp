#include "platform/net/DevelopmentSettings.hpp"

#include <curl/curl.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <utility>

#include "platform/net/URLError.hpp"
#include "platform/dispatch/AtExit.hpp"
#include "ovix/platform/DevelopmentSettings.hpp"

namespace ovix::net {
namespace {

constexpr const char* kFileErrorDomain = "NSCocoaErrorDomain";
constexpr std::int64_t kFileReadNoSuchFile = 260;
constexpr std::int64_t kFileReadCorruptFile = 259;

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool holdsCertificate(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
  X509* certificate = bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr;
  X509_free(certificate);
  ERR_clear_error();  // libcurl reads this thread's error queue after TLS failures
  return certificate != nullptr;
}

// libcurl's built-in CA file: the system's certificates.
const std::string& systemCAFile() {
  static const std::string path = [] {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), curl_easy_cleanup);
    char* found = nullptr;
    if (easy) curl_easy_getinfo(easy.get(), CURLINFO_CAINFO, &found);
    return std::string(found != nullptr ? found : "");
  }();
  return path;
}

class Store {
 public:
  // Removes the CA files; the settings keep naming them, and transfers that
  // start afterwards fail to verify.
  void removeFiles() {
    std::lock_guard lock(mutex_);
    for (const auto& [contents, path] : caFiles_) ::unlink(path.c_str());
    caFiles_.clear();
  }

  std::shared_ptr<const DevelopmentSettings> current() {
    std::lock_guard lock(mutex_);
    return settings_;
  }

  // Returns false when the CA file cannot be written.
  bool setExtraCertificates(const std::string& pem) {
    std::lock_guard lock(mutex_);
    if (pem.empty()) {
      caFile_.clear();
      publish();
      return true;
    }
    std::string contents = readFile(systemCAFile()).value_or("") + "\n" + pem;
    auto made = caFiles_.find(contents);
    if (made == caFiles_.end()) {
      auto path = write(contents);
      if (!path) return false;
      made = caFiles_.emplace(std::move(contents), std::move(*path)).first;
    }
    caFile_ = made->second;
    publish();
    return true;
  }

  void setOverride(std::string key, std::string entry) {
    std::lock_guard lock(mutex_);
    overrides_[std::move(key)] = std::move(entry);
    publish();
  }

  void clearOverrides() {
    std::lock_guard lock(mutex_);
    overrides_.clear();
    publish();
  }

 private:
  static std::optional<std::string> write(const std::string& contents) {
    const char* directory = std::getenv("TMPDIR");
    std::string name =
        std::string(directory != nullptr && *directory != '\0' ? directory : "/tmp") +
        "/ovix-ca-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return std::nullopt;
    bool written = true;
    for (std::size_t done = 0; written && done < contents.size();) {
      const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
      written = n > 0;
      done += written ? static_cast<std::size_t>(n) : 0;
    }
    ::close(fd);
    if (!written) {
      ::unlink(name.c_str());
      return std::nullopt;
    }
    return name;
  }

  void publish() {
    auto next = std::make_shared<DevelopmentSettings>();
    next->caFile = caFile_.empty() ? systemCAFile() : caFile_;
    for (const auto& [key, entry] : overrides_) next->connectTo.push_back(entry);
    settings_ = std::move(next);
  }

  std::mutex mutex_;
  // Every CA file made, by contents; kept until exit for transfers using them.
  std::map<std::string, std::string> caFiles_;            // guarded by mutex_
  std::string caFile_;                                    // guarded by mutex_
  std::map<std::string, std::string> overrides_;          // guarded by mutex_
  std::shared_ptr<const DevelopmentSettings> settings_ =  // guarded by mutex_
      std::make_shared<DevelopmentSettings>();
};

Store& store() {
  // Never destroyed: transfers starting on other threads at exit still read
  // it. Its files go at exit all the same.
  static Store* const instance = new Store;
  static const dispatch::AtExit removeFiles([] { instance->removeFiles(); });
  return *instance;
}

bool validName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c <= ' ' || c == 0x7f || c == '/' || c == '@') return false;
  }
  return true;
}

// IPv6 addresses go in brackets in a CURLOPT_CONNECT_TO entry.
std::string bracketed(const std::string& name) {
  if (name.find(':') != std::string::npos && name.front() != '[') return "[" + name + "]";
  return name;
}

}  // namespace

std::shared_ptr<const DevelopmentSettings> developmentSettings() {
  return store().current();
}

Status setExtraTrustedCertificates(std::string pemPath) {
  if (pemPath.empty()) {
    store().setExtraCertificates("");
    return std::nullopt;
  }
  std::optional<std::string> pem = readFile(pemPath);
  std::optional<Error> error;
  if (!pem) {
    error = Error(kFileErrorDomain, kFileReadNoSuchFile,
                  "The file \"" + pemPath + "\" couldn't be opened.");
  } else if (!holdsCertificate(*pem)) {
    error = Error(kFileErrorDomain, kFileReadCorruptFile,
                  "The file \"" + pemPath + "\" holds no PEM certificate.");
  } else if (!store().setExtraCertificates(*pem)) {
    error = Error(kFileErrorDomain, kFileReadNoSuchFile,
                  "The certificates of \"" + pemPath + "\" couldn't be stored for use.");
  }
  if (error) store().setExtraCertificates("");
  return error;
}

Status setConnectOverride(const std::string& host, std::uint16_t port,
                                        const std::string& address, std::uint16_t toPort) {
  if (!validName(host) || !validName(address) || port == 0 || toPort == 0) {
    return Error(Error::kURLDomain, kBadURL,
                 "The connect override from \"" + host + ":" + std::to_string(port) + "\" to \"" +
                     address + ":" + std::to_string(toPort) + "\" is not valid.");
  }
  const std::string from = bracketed(host) + ":" + std::to_string(port);
  std::string key = from;  // host names compare without case
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  store().setOverride(std::move(key),
                      from + ":" + bracketed(address) + ":" + std::to_string(toPort));
  return std::nullopt;
}

void clearConnectOverrides() {
  store().clearOverrides();
}

}  // namespace ovix::net
