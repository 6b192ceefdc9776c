#include "support/TestCertificate.hpp"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>

namespace ovix::test {
namespace {

constexpr long kDay = 24 * 3600;
std::atomic<long> lastSerial{0};

void require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

void addExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  require(extension != nullptr, "extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// The certificates of trustedCertificatesPath(), removed at exit.
class TrustedCertificates {
 public:
  TrustedCertificates()
      : trusted_(TestCertificate::make("Ovix Test Server")),
        expired_(
            TestCertificate::make("Ovix Expired Test Server", TestCertificate::Validity::kExpired)),
        wrongHost_(TestCertificate::make("Ovix Elsewhere Test Server",
                                         TestCertificate::Validity::kNow,
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

std::shared_ptr<const TestCertificate> TestCertificate::make(const std::string& commonName,
                                                             Validity validity,
                                                             const std::string& hosts) {
  std::shared_ptr<TestCertificate> made(new TestCertificate);
  made->key_.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  require(made->key_ != nullptr, "key");
  made->certificate_.reset(X509_new());
  X509* certificate = made->certificate_.get();
  require(certificate != nullptr, "certificate");

  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), ++lastSerial);
  const bool expired = validity == Validity::kExpired;
  X509_gmtime_adj(X509_getm_notBefore(certificate), expired ? -2 * kDay : -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate), expired ? -kDay : kDay);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  X509_set_pubkey(certificate, made->key_.get());
  addExtension(certificate, NID_basic_constraints, "critical,CA:TRUE");
  addExtension(certificate, NID_subject_key_identifier, "hash");
  addExtension(certificate, NID_subject_alt_name, hosts.c_str());
  require(X509_sign(certificate, made->key_.get(), EVP_sha256()) > 0, "signature");
  return made;
}

std::string TestCertificate::pem() const {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  PEM_write_bio_X509(bio.get(), certificate_.get());
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace ovix::test
