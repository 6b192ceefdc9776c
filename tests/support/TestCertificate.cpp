#include "support/TestCertificate.hpp"

#include <unistd.h>

#include <stdexcept>

namespace ovix::test {

using namespace std::chrono_literals;

namespace {

// The certificates of trustedCertificatesPath(), removed at exit.
class TrustedCertificates {
 public:
  TrustedCertificates()
      : trusted_(makeTestCertificate("Ovix Test Server")),
        expired_(makeTestCertificate("Ovix Expired Test Server", Validity::kExpired)),
        wrongHost_(makeTestCertificate("Ovix Elsewhere Test Server", Validity::kNow,
                                       "DNS:elsewhere.ovix.invalid")) {
    char name[] = "/tmp/ovix-trusted-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) throw std::runtime_error("cannot make the trusted certificates file");
    const std::string pem = trusted_->pem() + expired_->pem() + wrongHost_->pem();
    const bool written = ::write(fd, pem.data(), pem.size()) == static_cast<ssize_t>(pem.size());
    ::close(fd);
    path_ = name;
    if (!written) throw std::runtime_error("cannot write the trusted certificates file");
  }
  ~TrustedCertificates() { ::unlink(path_.c_str()); }

  const std::string& path() const { return path_; }
  std::shared_ptr<const TestCertificate> trusted() const { return trusted_; }
  std::shared_ptr<const TestCertificate> expired() const { return expired_; }
  std::shared_ptr<const TestCertificate> wrongHost() const { return wrongHost_; }

 private:
  std::shared_ptr<const TestCertificate> trusted_;
  std::shared_ptr<const TestCertificate> expired_;
  std::shared_ptr<const TestCertificate> wrongHost_;
  std::string path_;
};

TrustedCertificates& trustedCertificates() {
  static TrustedCertificates certificates;
  return certificates;
}

}  // namespace

std::shared_ptr<const TestCertificate> trustedTestCertificate() {
  return trustedCertificates().trusted();
}

std::shared_ptr<const TestCertificate> expiredTestCertificate() {
  return trustedCertificates().expired();
}

std::shared_ptr<const TestCertificate> wrongHostTestCertificate() {
  return trustedCertificates().wrongHost();
}

const std::string& trustedTestCertificatesPath() {
  return trustedCertificates().path();
}

std::shared_ptr<const TestCertificate> makeTestCertificate(const std::string& commonName,
                                                           Validity validity,
                                                           const std::string& names) {
  const bool expired = validity == Validity::kExpired;
  auto made = TestCertificate::make(commonName, expired ? -48h : -1h, expired ? -24h : 24h, names);
  if (!made) throw std::runtime_error("cannot make the test certificate " + commonName);
  return made;
}

}  // namespace ovix::test
