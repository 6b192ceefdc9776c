// The `ovix load` command run as a host developer runs it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "support/Process.hpp"
#include "support/TlsServer.hpp"

namespace ovix {
namespace {

using test::TlsServer;

class OvixToolTest : public ::testing::Test {
 protected:
  test::ProcessResult run(std::vector<std::string> options) {
    std::vector<std::string> argv = {OVIX_TOOL_PATH, "load",
                                     "--connect",    "127.0.0.1:" + std::to_string(server_.port()),
                                     "--cacert",     TlsServer::trustedCertificatesPath()};
    argv.insert(argv.end(), options.begin(), options.end());
    return test::runProcess(argv);
  }

  TlsServer server_;
};

TEST_F(OvixToolTest, LoadPrintsTheOutcomeThenTheRotatedAds) {
  server_.handle("POST", "/ad/v2.ios", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"ads": {"a": [{"title": "One", "imp_url": ["https://i/1"]},
                                      {"title": "Two"}]}})",
                    "application/json");
  });
  const auto result = run({"--infeed", "a:2", "--user-agent", "Tool/1", "--rotate", "a:3",
                           "--rotate", "b:1", "--advertising-id", "AD-ID"});
  ASSERT_EQ(result.status, 0) << result.out << result.err;

  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = result.out.find('\n', at)) != std::string::npos;
       at = end + 1) {
    lines.push_back(result.out.substr(at, end - at));
  }
  ASSERT_GE(lines.size(), 5u);
  const std::vector<std::string> tail(lines.end() - 5, lines.end());
  EXPECT_EQ(tail[0], "success 2");
  const auto first = nlohmann::json::parse(tail[1].substr(3));
  EXPECT_EQ(first["title"], "One");
  EXPECT_EQ(first["infeedId"], "a");
  EXPECT_EQ(first["impUrl"], nlohmann::json::array({"https://i/1"}));
  EXPECT_EQ(first.size(), 9u);
  EXPECT_EQ(nlohmann::json::parse(tail[2].substr(3))["title"], "Two");
  EXPECT_EQ(nlohmann::json::parse(tail[3].substr(3))["title"], "One");
  EXPECT_EQ(tail[4], "ad none");
  EXPECT_NE(result.out.find("OvixClient.cpp deinit"), std::string::npos);

  const auto sent = server_.requests().at(0);
  EXPECT_EQ(sent.header("User-Agent"), "Tool/1");
  EXPECT_EQ(nlohmann::json::parse(sent.body)["advertising_id"], "AD-ID");
}

TEST_F(OvixToolTest, ImpressSendsTheBeaconsOnceAndClickOpensTheClickUrl) {
  server_.handle("POST", "/ad/v2.ios", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"ads": {"a": [{"title": "One", "click_url": "https://shop.example/1",
                                       "imp_url": ["https://ad.ovix.example/imp/1"],
                                       "view_imp_url": ["https://ad.ovix.example/vimp/1"]}]}})",
                    "application/json");
  });
  server_.handle("GET", "/v?imp/1", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("", "text/plain");
  });
  const auto result = run(
      {"--infeed", "a:1", "--impress", "a", "--impress", "a", "--impress", "b", "--click", "a"});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  const auto tail = result.out.substr(result.out.find("success 1\n"));
  const std::regex expected(
      "success 1\n(impressed [0-9A-F-]{36}\n)\\1impressed none\nopened https://shop.example/1\n");
  EXPECT_TRUE(std::regex_match(tail, expected)) << tail;
  std::size_t beacons = 0;
  for (const auto& request : server_.requests()) beacons += request.method == "GET";
  EXPECT_EQ(beacons, 2u) << "one ad, two beacon URLs, sent once";
}

TEST_F(OvixToolTest, FailuresAndRefusalsExitOneAndUsageErrorsTwo) {
  const auto empty = run({});
  EXPECT_EQ(empty.status, 1);
  EXPECT_TRUE(empty.out.ends_with("OvixClient.cpp deinit\nfailure none\n")) << empty.out;

  const auto tablet = run({"--infeed", "a:1", "--device-model", "iPad"});
  EXPECT_EQ(tablet.status, 1);
  EXPECT_EQ(tablet.out, "no outcome\n");

  server_.handle("POST", "/ad/v2.ios", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("not json", "text/plain");
  });
  const auto garbage = run({"--infeed", "a:1"});
  EXPECT_EQ(garbage.status, 1);
  EXPECT_NE(garbage.out.find("failure Error Domain=NSCocoaErrorDomain Code=3840"),
            std::string::npos)
      << garbage.out;

  const auto usage = run({"--infeed", "a"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("--infeed"), std::string::npos);
}

}  // namespace
}  // namespace ovix
