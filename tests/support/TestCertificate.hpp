#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace ovix::test {

// A self-signed certificate and its key, made at run time, for
// DNS:ad.ovix.example, DNS:localhost and IP:127.0.0.1.
class TestCertificate {
 public:
  enum class Validity { kNow, kExpired };

  // Each call makes a new key and certificate, named `commonName`.
  static std::shared_ptr<const TestCertificate> make(const std::string& commonName,
                                                     Validity validity = Validity::kNow);

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
// now and one that expired yesterday.
std::shared_ptr<const TestCertificate> trustedTestCertificate();
std::shared_ptr<const TestCertificate> expiredTestCertificate();
// A PEM file holding both, for net::setExtraTrustedCertificates; removed at exit.
const std::string& trustedTestCertificatesPath();

}  // namespace ovix::test
