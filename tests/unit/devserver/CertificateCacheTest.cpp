#include "devserver/CertificateCache.hpp"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "support/TemporaryDirectory.hpp"

namespace ovix::devserver {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string read(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write(const fs::path& path, const std::string& text) {
  std::ofstream(path) << text;
}

using X509Pointer = std::unique_ptr<X509, decltype(&X509_free)>;

mode_t mode(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 0777;
}

// `certificate` with the extensions `change` leaves it, signed again by `key`.
X509Pointer resigned(X509* certificate, EVP_PKEY* key, const std::function<void(X509*)>& change) {
  X509Pointer copy(X509_dup(certificate), X509_free);
  change(copy.get());
  EXPECT_GT(X509_sign(copy.get(), key, EVP_sha256()), 0);
  return copy;
}

// The PEM of a certificate as earlier versions made them: a CA with neither
// key usage nor extended key usage.
std::string earlierCaPem(const Certificate& made) {
  const auto ca = resigned(made.certificate(), made.key(), [](X509* certificate) {
    for (const int nid : {NID_basic_constraints, NID_key_usage, NID_ext_key_usage}) {
      X509_EXTENSION_free(X509_delete_ext(certificate, X509_get_ext_by_NID(certificate, nid, -1)));
    }
    X509_EXTENSION* constraints =
        X509V3_EXT_conf_nid(nullptr, nullptr, NID_basic_constraints, "critical,CA:TRUE");
    X509_add_ext(certificate, constraints, -1);
    X509_EXTENSION_free(constraints);
  });
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  PEM_write_bio_X509(bio.get(), ca.get());
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

// X509_V_OK when `certificate` verifies for a TLS server named `host` with
// `anchor` as the only trusted certificate, as clients given --cacert do.
int verify(X509* certificate, X509* anchor, const char* host) {
  std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), X509_STORE_free);
  std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(),
                                                                          X509_STORE_CTX_free);
  X509_STORE_add_cert(store.get(), anchor);
  X509_STORE_CTX_init(context.get(), store.get(), certificate, nullptr);
  X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
  X509_VERIFY_PARAM_set1_host(X509_STORE_CTX_get0_param(context.get()), host, 0);
  return X509_verify_cert(context.get()) == 1 ? X509_V_OK : X509_STORE_CTX_get_error(context.get());
}

class CertificateCacheTest : public ::testing::Test {
 protected:
  CachedCertificate load() {
    auto cached = loadOrMakeCertificate(folder_.path() / "ovix");
    EXPECT_TRUE(cached) << cached.error().message;
    return cached ? cached.value() : CachedCertificate{};
  }

  test::TemporaryDirectory folder_;
};

TEST_F(CertificateCacheTest, MakesTheCertificateOnceThenReusesIt) {
  const auto made = load();
  ASSERT_TRUE(made.certificate);
  EXPECT_EQ(made.certificatePath, folder_.path() / "ovix" / "devserver.crt");
  EXPECT_EQ(read(made.certificatePath), made.certificate->pem());
  EXPECT_EQ(read(made.keyPath), made.certificate->keyPem());
  EXPECT_TRUE(made.certificate->validFor(300 * 24h));
  EXPECT_EQ(mode(made.keyPath), 0600u);

  const auto again = load();
  ASSERT_TRUE(again.certificate);
  EXPECT_EQ(again.certificate->pem(), made.certificate->pem());
  EXPECT_EQ(read(again.certificatePath), made.certificate->pem());
}

TEST_F(CertificateCacheTest, MakesAServerCertificateForTheLoopbackNamesThatIssuesNoOthers) {
  const auto made = load();
  ASSERT_TRUE(made.certificate);
  X509* certificate = made.certificate->certificate();
  EXPECT_EQ(X509_get_extension_flags(certificate) & (EXFLAG_BCONS | EXFLAG_CA), EXFLAG_BCONS);
  EXPECT_EQ(X509_check_ca(certificate), 0);
  EXPECT_EQ(X509_get_key_usage(certificate), static_cast<std::uint32_t>(KU_DIGITAL_SIGNATURE));
  EXPECT_EQ(X509_get_extended_key_usage(certificate), static_cast<std::uint32_t>(XKU_SSL_SERVER));
  for (const char* host : {"ad.ovix.example", "localhost"}) {
    EXPECT_EQ(X509_check_host(certificate, host, 0, 0, nullptr), 1) << host;
  }
  for (const char* address : {"127.0.0.1", "::1"}) {
    EXPECT_EQ(X509_check_ip_asc(certificate, address, 0), 1) << address;
  }

  // Trusted directly, it verifies itself; what its key signs for another host does not.
  EXPECT_EQ(verify(certificate, certificate, "ad.ovix.example"), X509_V_OK);
  const auto other = Certificate::make("Elsewhere", -1h, 24h, "DNS:bank.example");
  ASSERT_TRUE(other);
  const auto forged = resigned(other->certificate(), made.certificate->key(), [&](X509* copy) {
    X509_set_issuer_name(copy, X509_get_subject_name(certificate));
  });
  EXPECT_NE(verify(forged.get(), certificate, "bank.example"), X509_V_OK);
}

TEST_F(CertificateCacheTest, ReplacesCertificatesThatExpireSoonAreDamagedLackTheirKeyOrAreCas) {
  const auto first = load();
  const auto soon = Certificate::make("Soon", -1h, 12h);
  const auto other = Certificate::make("Other", -1h, 24h * 30);
  ASSERT_TRUE(soon && other);
  const std::vector<std::pair<std::string, std::string>> damages = {
      {earlierCaPem(*other), other->keyPem()},
      {soon->pem(), soon->keyPem()},
      {"-----BEGIN CERTIFICATE-----\nnot base64\n", first.certificate->keyPem()},
      {first.certificate->pem(), other->keyPem()},
      {first.certificate->pem(), ""},
  };
  std::string previous = first.certificate->pem();
  for (const auto& [certificate, key] : damages) {
    write(first.certificatePath, certificate);
    write(first.keyPath, key);
    ASSERT_EQ(::chmod(first.keyPath.c_str(), 0644), 0);
    const auto replaced = load();
    ASSERT_TRUE(replaced.certificate);
    EXPECT_NE(replaced.certificate->pem(), previous);
    EXPECT_TRUE(replaced.certificate->validFor(300 * 24h));
    EXPECT_EQ(read(replaced.certificatePath), replaced.certificate->pem());
    EXPECT_EQ(mode(replaced.keyPath), 0600u);
    previous = replaced.certificate->pem();
  }
}

TEST_F(CertificateCacheTest, FailsClearlyWhenTheFolderCannotBeMade) {
  write(folder_.path() / "file", "in the way");
  const auto cached = loadOrMakeCertificate(folder_.path() / "file" / "ovix");
  ASSERT_FALSE(cached);
  EXPECT_NE(cached.error().message.find((folder_.path() / "file" / "ovix").string()), std::string::npos)
      << cached.error().message;
  EXPECT_FALSE(loadOrMakeCertificate(""));
}

TEST_F(CertificateCacheTest, DefaultFolderFollowsXdgCacheHomeThenHome) {
  // Each test runs in a process of its own; this one still puts both back.
  const char* savedXdg = std::getenv("XDG_CACHE_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string xdg = savedXdg ? savedXdg : "";
  const std::string home = savedHome ? savedHome : "";
  ::setenv("XDG_CACHE_HOME", "/x/cache", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(defaultCacheDirectory(), fs::path("/x/cache/ovix"));
  ::setenv("XDG_CACHE_HOME", "relative", 1);  // ignored, as the XDG rules say
  EXPECT_EQ(defaultCacheDirectory(), fs::path("/home/someone/.cache/ovix"));
  ::unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(defaultCacheDirectory(), fs::path("/home/someone/.cache/ovix"));
  if (savedXdg) ::setenv("XDG_CACHE_HOME", xdg.c_str(), 1);
  if (savedHome) ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace ovix::devserver
