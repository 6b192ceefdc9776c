#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace ovix::test {

// A self-signed certificate and its key, made at run time, by default for
// DNS:ad.ovix.example, DNS:localhost and IP:127.0.0.1.
class TestCertificate {
 public:
  enum class Validity { kNow, kExpired };
  static constexpr const char* kTestHosts = "DNS:ad.ovix.example,DNS:localhost,IP:127.0.0.1";

  // Each call makes a new key and certificate, named `commonName`, for the
  // subject alternative names `hosts`.
  static std::shared_ptr<const TestCertificate> make(const std::string& commonName,
                                                     Validity validity = Validity::kNow,
                                                     const std::string& hosts = kTestHosts);

  X509* certificate() const { return certificate_.get(); }
  EVP_PKEY* key() const { return key_.get(); }
  std::string pem() const;

 private:
  struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
  };
  struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  };

  TestCertificate() = default;

  std::unique_ptr<X509, X509Deleter> certificate_;
  std::unique_ptr<EVP_PKEY, KeyDeleter> key_;
};

// The certificates test servers present, made once per process: one valid
// now, one that expired yesterday, and one valid now for another host only
// (DNS:elsewhere.ovix.invalid).
std::shared_ptr<const TestCertificate> trustedTestCertificate();
std::shared_ptr<const TestCertificate> expiredTestCertificate();
std::shared_ptr<const TestCertificate> wrongHostTestCertificate();
// A PEM file holding all three, for net::setExtraTrustedCertificates; removed at exit.
const std::string& trustedTestCertificatesPath();

}  // namespace ovix::test
