// The development server as host developers use it: `ovix serve` beside
// `ovix load`, reached by hand (httplib's client in place of curl), and in
// the demo host, over HTTP/1.1 and HTTP/2.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/x509v3.h>
#include <signal.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "devserver/Certificate.hpp"
#include "support/BackgroundProcess.hpp"
#include "support/CaptureStdout.hpp"
#include "support/TemporaryDirectory.hpp"

namespace ovix {
namespace {

class ServeTest : public ::testing::Test {
 protected:
  // Starts `ovix serve` on a free port and reads where it listens:
  // "ovix serve listening on https://127.0.0.1:PORT (certificate PATH)".
  void serve(std::vector<std::string> options = {}) {
    options.insert(options.begin(),
                   {OVIX_TOOL_PATH, "serve", "--port", "0", "--cache", cache_.path().string()});
    server_ = std::make_unique<test::BackgroundProcess>(options);
    const auto line = server_->readLine(std::chrono::seconds(60));
    std::smatch m;
    ASSERT_TRUE(line && std::regex_match(*line, m,
                                         std::regex(R"(ovix serve listening on https://)"
                                                    R"(127\.0\.0\.1:(\d+) \(certificate (.+)\))")))
        << line.value_or("no line") << server_->errors();
    port_ = m[1];
    certificate_ = m[2];
  }

  // `ovix load` with `options`, reaching the server at `address`.
  std::pair<int, std::string> load(std::vector<std::string> options,
                                   const std::string& address = "127.0.0.1") {
    options.insert(options.begin(), {OVIX_TOOL_PATH, "load", "--connect", address + ":" + port_,
                                     "--cacert", certificate_});
    return test::runProcess(options);
  }

  test::TemporaryDirectory cache_;
  std::unique_ptr<test::BackgroundProcess> server_;
  std::string port_, certificate_;
};

// Earlier versions cached a CA (CA:TRUE, no extended key usage), which a
// browser that trusts it would take to sign any site: it makes way for a
// server certificate, and its key is overwritten.
TEST_F(ServeTest,
       OvixLoadRotatesImpressesOnceClicksAndSendsPrivacyOverLoopbackOnlyWithAServerCertificate) {
  const auto earlier =
      devserver::Certificate::make("Earlier", -std::chrono::hours(1), std::chrono::hours(24 * 300));
  X509* ca = earlier->certificate();
  X509_EXTENSION_free(X509_delete_ext(ca, X509_get_ext_by_NID(ca, NID_ext_key_usage, -1)));
  BASIC_CONSTRAINTS constraints{1, nullptr};  // CA:TRUE
  X509_add1_ext_i2d(ca, NID_basic_constraints, &constraints, 1, X509V3_ADD_REPLACE);
  ASSERT_GT(X509_sign(ca, earlier->key(), EVP_sha256()), 0);
  std::ofstream(cache_.path() / "devserver.crt") << earlier->pem();
  std::ofstream(cache_.path() / "devserver.key") << earlier->keyPem();

  ASSERT_NO_FATAL_FAILURE(serve());
  EXPECT_EQ(test::runProcess(
                {OVIX_TOOL_PATH, "serve", "--print-cert-path", "--cache", cache_.path().string()}),
            (std::pair{0, certificate_ + "\n"}));
  // A certificate that signs nothing else, with a new key kept private.
  std::ostringstream pem;
  pem << std::ifstream(certificate_).rdbuf()
      << std::ifstream(cache_.path() / "devserver.key").rdbuf();
  const auto served = devserver::Certificate::fromPem(pem.str(), pem.str());
  ASSERT_TRUE(served);
  EXPECT_EQ(X509_check_ca(served->certificate()), 0);
  EXPECT_EQ(X509_get_extended_key_usage(served->certificate()), std::uint32_t{XKU_SSL_SERVER});
  EXPECT_NE(served->keyPem(), earlier->keyPem());
  EXPECT_EQ(std::filesystem::status(cache_.path() / "devserver.key").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  // Bound to every address, it would take 127.0.0.2 too (all of 127/8 is loopback).
  EXPECT_EQ(load({"--infeed", "top-feed:1"}, "127.0.0.2").first, 1);

  const auto [status, out] =
      load({"--infeed", "top-feed:1", "--advertising-id", "ID-1", "--rotate", "top-feed:2",
            "--rotate", "news-feed:1", "--impress", "top-feed", "--impress", "top-feed",
            "--impress", "news-feed", "--click", "top-feed"});
  EXPECT_EQ(status, 0);
  // One ad, rotated; impressed under one uuid however often it shows.
  EXPECT_TRUE(std::regex_search(
      out, std::regex(R"(success 1\nad (\{"infeedId":"top-feed",.*"title":"Weekend trips from )"
                      R"(49 a night",.*)\nad \1\nad none\n(impressed [0-9A-F-]{36}\n)\2)"
                      "impressed none\nopened https://ad.ovix.example/click/top-1\n$")))
      << out;

  // The privacy signals reach the server; under COPPA the identifier and the
  // location do not.
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--coppa", "yes"}, {"--gpp-sid", "2,,6"}, {"--lmt"}}) {
    const auto [refused, says] = load(bad);
    EXPECT_EQ(refused, 2) << bad[0];
    EXPECT_TRUE(says.starts_with("ovix load: " + bad[0] + " takes ")) << says;
  }
  const auto [coppa, said] = load({"--infeed", "top-feed:1", "--coppa", "1", "--consent", "X\x1b",
                                   "--lat", "35.6", "--lon", "139.7", "--advertising-id", "ID-2"});
  EXPECT_EQ(coppa, 0);
  EXPECT_TRUE(said.ends_with("success 1\n")) << said;
  httplib::Client curl("https://127.0.0.1:" + port_);
  curl.set_ca_cert_path(certificate_);
  const auto stats = curl.Get("/stats");
  ASSERT_TRUE(stats);
  EXPECT_EQ(nlohmann::json::parse(stats->body)["privacy"], nlohmann::json::parse(R"({
      "carried": {"gdpr": 0, "consent": 1, "gpp": 0, "gpp_sid": 0, "us_privacy": 0,
                  "coppa": 1, "lmt": 0},
      "coppa_or_lmt": 1, "advertising_id": 1, "advertising_id_under_coppa_or_lmt": 0})"))
      << stats->body;

  // One line per request, privacy signals named only when sent; the beacons
  // go out once, beside the banner's downloads.
  EXPECT_EQ(server_->stop(SIGINT), 0) << server_->errors();
  const std::string log = server_->remainingOutput();
  EXPECT_TRUE(log.starts_with("POST /ad/v2.ios 200 1 ad\n")) << log;
  EXPECT_EQ(
      test::occurrences(log, "\nPOST /ad/v2.ios 200 1 ad, privacy: consent=\"X\\u001b\" coppa=1\n"),
      1u)
      << log;
  EXPECT_TRUE(log.ends_with("\novix serve stopped by SIGINT\n")) << log;
  for (const std::string beacon : {"\nGET /imp/top-1 204\n", "\nGET /vimp/top-1 204\n"}) {
    EXPECT_EQ(test::occurrences(log, beacon), 1u) << beacon << " in " << log;
  }
  EXPECT_EQ(server_->errors(), "");
}

TEST_F(ServeTest, FaultSwitchesFailTheLoadABusyPortIsRefusedAndTheLogEscapesControls) {
  ASSERT_NO_FATAL_FAILURE(serve({"--status", "503", "--delay", "5", "--garbage"}));
  const auto [failed, says] = load({"--infeed", "top-feed:3"});
  EXPECT_EQ(failed, 1);
  EXPECT_NE(says.find("failure "), std::string::npos) << says;
  // Without the library's SO_REUSEPORT, a second server cannot share the port.
  const auto [busy, why] = test::runProcess(
      {OVIX_TOOL_PATH, "serve", "--port", port_, "--cache", cache_.path().string()});
  EXPECT_EQ(busy, 1);
  EXPECT_NE(why.find("ovix serve: cannot listen on 127.0.0.1:" + port_), std::string::npos) << why;
  // By hand, a path that decodes to a terminal title, a bell and a C1 cursor move.
  httplib::Client curl("https://127.0.0.1:" + port_);
  curl.enable_server_certificate_verification(false);
  ASSERT_TRUE(curl.Get("/%1B%5D0;owned%07%9BH"));  // 404, as the log says

  EXPECT_EQ(server_->stop(SIGTERM), 0);
  EXPECT_EQ(server_->remainingOutput(),
            "POST /ad/v2.ios 503 3 ads, delayed 5 ms, garbage body\n"
            "GET /\\u001b]0;owned\\u0007\\u009bH 404\n"
            "ovix serve stopped by SIGTERM\n");
}

// The demo host, `ovix feed`, which runs the server in process, run end to
// end as a person runs it. It exits 0 only when every ad it displayed was
// counted once by the server, a tap opened the ad's click URL and the picture
// was written (PNG writing is checked in RendererTest). Scrolling, it exits 0
// only when every row showed its own ad's image, one label and one button
// through reused cells, over enough rows that cells go from story to ad, ad to
// story, ad to ad, and from the default binding straight to a custom one.
TEST(FeedDemoTest, FeedCountsEveryDisplayedAdOnceAndScrollingShowsEachRowItsOwnAd) {
  for (const std::vector<std::string>& argv :
       {std::vector<std::string>{OVIX_TOOL_PATH, "feed", "--rows", "12", "--png", "/dev/null"},
        {OVIX_TOOL_PATH, "feed", "--scroll", "--rows", "120", "--png", "/dev/null"},
        // The load's connection, and one that every image and beacon shares.
        {OVIX_TOOL_PATH, "feed", "--http2", "--rows", "12", "--png", "/dev/null"}}) {
    const auto [status, output] = test::runProcess(argv);
    EXPECT_EQ(status, 0) << output;
    if (argv[2] == "--http2") {
      EXPECT_NE(output.find("HTTP/2 connections 2\n"), std::string::npos) << output;
    }
  }
}

}  // namespace
}  // namespace ovix
