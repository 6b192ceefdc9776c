#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace ovix::devserver {

// A self-signed server certificate and its key for the names the ad server
// is reached by: DNS:ad.ovix.example, DNS:localhost, IP:127.0.0.1 and IP:::1.
// Clients trust it by adding it to their CA list, yet it is no CA: its key
// signs TLS handshakes only, never other certificates. Immutable once made;
// any thread.
class Certificate {
 public:
  static constexpr const char* kServerNames =
      "DNS:ad.ovix.example,DNS:localhost,IP:127.0.0.1,IP:::1";

  // A new P-256 key and a certificate named `commonName`, valid from `from`
  // to `until`, both counted from now, for the subject alternative names
  // `names`. Null when OpenSSL fails.
  static std::shared_ptr<const Certificate> make(const std::string& commonName,
                                                 std::chrono::seconds from,
                                                 std::chrono::seconds until,
                                                 const std::string& names = kServerNames);
  // The first certificate and the first private key in PEM text. Null when
  // either is missing or the key is not the certificate's.
  static std::shared_ptr<const Certificate> fromPem(std::string_view certificatePem,
                                                    std::string_view keyPem);

  X509* certificate() const { return certificate_.get(); }
  EVP_PKEY* key() const { return key_.get(); }
  std::string pem() const;
  std::string keyPem() const;

  // Whether it is a TLS server's certificate only: not a CA, and marked for
  // server authentication. Earlier versions made CAs.
  bool isServerCertificate() const;
  // Whether it is valid now and will still be `margin` from now.
  bool validFor(std::chrono::seconds margin) const;

 private:
  struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
  };
  struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  };

  std::unique_ptr<X509, X509Deleter> certificate_;
  std::unique_ptr<EVP_PKEY, KeyDeleter> key_;
};

}  // namespace ovix::devserver
