#include "Certificate.hpp"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <cstdint>
#include <ctime>

namespace ovix::devserver {
namespace {

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;

bool addExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) return false;
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

// A random positive 64-bit serial, so that certificates made again under the
// same name never share one.
bool setRandomSerial(X509* certificate) {
  unsigned char bytes[8];
  if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
  bytes[0] &= 0x7f;
  std::unique_ptr<BIGNUM, decltype(&BN_free)> number(BN_bin2bn(bytes, sizeof bytes, nullptr),
                                                     BN_free);
  return number && BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate)) != nullptr;
}

Bio memory(std::string_view text) {
  return Bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())), BIO_free);
}

std::string contents(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::shared_ptr<const Certificate> Certificate::make(const std::string& commonName,
                                                     std::chrono::seconds from,
                                                     std::chrono::seconds until,
                                                     const std::string& names) {
  auto made = std::make_shared<Certificate>();
  made->key_.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  made->certificate_.reset(X509_new());
  X509* certificate = made->certificate_.get();
  if (!made->key_ || !certificate) return nullptr;

  X509_NAME* name = X509_get_subject_name(certificate);
  const bool ok =
      X509_set_version(certificate, 2) == 1 && setRandomSerial(certificate) &&
      X509_gmtime_adj(X509_getm_notBefore(certificate), static_cast<long>(from.count())) &&
      X509_gmtime_adj(X509_getm_notAfter(certificate), static_cast<long>(until.count())) &&
      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                                 0) == 1 &&
      X509_set_issuer_name(certificate, name) == 1 &&
      X509_set_pubkey(certificate, made->key_.get()) == 1 &&
      addExtension(certificate, NID_basic_constraints, "critical,CA:FALSE") &&
      addExtension(certificate, NID_key_usage, "critical,digitalSignature") &&
      addExtension(certificate, NID_ext_key_usage, "serverAuth") &&
      addExtension(certificate, NID_subject_key_identifier, "hash") &&
      addExtension(certificate, NID_subject_alt_name, names.c_str()) &&
      X509_sign(certificate, made->key_.get(), EVP_sha256()) > 0;
  ERR_clear_error();
  return ok ? made : nullptr;
}

std::shared_ptr<const Certificate> Certificate::fromPem(std::string_view certificatePem,
                                                        std::string_view keyPem) {
  auto read = std::make_shared<Certificate>();
  const Bio certificateBio = memory(certificatePem);
  const Bio keyBio = memory(keyPem);
  if (certificateBio && keyBio) {
    read->certificate_.reset(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    read->key_.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
  }
  const bool ok = read->certificate_ && read->key_ &&
                  X509_check_private_key(read->certificate_.get(), read->key_.get()) == 1;
  ERR_clear_error();
  return ok ? read : nullptr;
}

std::string Certificate::pem() const {
  const Bio bio(BIO_new(BIO_s_mem()), BIO_free);
  if (!bio || PEM_write_bio_X509(bio.get(), certificate_.get()) != 1) return "";
  return contents(bio.get());
}

std::string Certificate::keyPem() const {
  const Bio bio(BIO_new(BIO_s_mem()), BIO_free);
  if (!bio ||
      PEM_write_bio_PrivateKey(bio.get(), key_.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return "";
  }
  return contents(bio.get());
}

bool Certificate::isServerCertificate() const {
  X509* certificate = certificate_.get();
  const std::uint32_t flags = X509_get_extension_flags(certificate);
  // X509_check_ca alone passes a CA whose key usage leaves out keyCertSign.
  const bool ca = (flags & EXFLAG_CA) != 0 || X509_check_ca(certificate) != 0;
  const bool serverAuth = (flags & EXFLAG_XKUSAGE) != 0 &&
                          (X509_get_extended_key_usage(certificate) & XKU_SSL_SERVER) != 0;
  return !ca && serverAuth;
}

bool Certificate::validFor(std::chrono::seconds margin) const {
  std::time_t later = std::time(nullptr) + static_cast<std::time_t>(margin.count());
  return X509_cmp_time(X509_get0_notBefore(certificate_.get()), nullptr) < 0 &&
         X509_cmp_time(X509_get0_notAfter(certificate_.get()), &later) > 0;
}

}  // namespace ovix::devserver
