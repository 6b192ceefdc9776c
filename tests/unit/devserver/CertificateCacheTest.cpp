#include "devserver/CertificateCache.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
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

class CertificateCacheTest : public ::testing::Test {
 protected:
  CachedCertificate load() {
    auto cached = loadOrMakeCertificate(folder_.path() / "ovix");
    EXPECT_TRUE(cached) << cached.error();
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
  struct stat key {};
  ASSERT_EQ(::stat(made.keyPath.c_str(), &key), 0);
  EXPECT_EQ(key.st_mode & 0777, 0600u);

  const auto again = load();
  ASSERT_TRUE(again.certificate);
  EXPECT_EQ(again.certificate->pem(), made.certificate->pem());
  EXPECT_EQ(read(again.certificatePath), made.certificate->pem());
}

TEST_F(CertificateCacheTest, ReplacesCertificatesThatExpireSoonAreDamagedOrLackTheirKey) {
  const auto first = load();
  const auto soon = Certificate::make("Soon", -1h, 12h);
  const auto other = Certificate::make("Other", -1h, 24h * 30);
  ASSERT_TRUE(soon && other);
  const std::vector<std::pair<std::string, std::string>> damages = {
      {soon->pem(), soon->keyPem()},
      {"-----BEGIN CERTIFICATE-----\nnot base64\n", first.certificate->keyPem()},
      {first.certificate->pem(), other->keyPem()},
      {first.certificate->pem(), ""},
  };
  std::string previous = first.certificate->pem();
  for (const auto& [certificate, key] : damages) {
    write(first.certificatePath, certificate);
    write(first.keyPath, key);
    const auto replaced = load();
    ASSERT_TRUE(replaced.certificate);
    EXPECT_NE(replaced.certificate->pem(), previous);
    EXPECT_TRUE(replaced.certificate->validFor(300 * 24h));
    EXPECT_EQ(read(replaced.certificatePath), replaced.certificate->pem());
    previous = replaced.certificate->pem();
  }
}

TEST_F(CertificateCacheTest, FailsClearlyWhenTheFolderCannotBeMade) {
  write(folder_.path() / "file", "in the way");
  const auto cached = loadOrMakeCertificate(folder_.path() / "file" / "ovix");
  ASSERT_FALSE(cached);
  EXPECT_NE(cached.error().find((folder_.path() / "file" / "ovix").string()), std::string::npos)
      << cached.error();
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
