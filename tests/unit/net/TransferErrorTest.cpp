#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "unit/net/NetTest.hpp"
#include "support/RawTlsServer.hpp"

namespace ovix::net {
namespace {

using test::TlsServer;

class TransferErrorTest : public NetTest {
 protected:
  // The error code of the delivery, after checking it failed as a failure must.
  static std::int64_t failure(const Delivery& delivery) {
    EXPECT_FALSE(delivery.data);
    if (!delivery.error) return 0;
    EXPECT_EQ(delivery.error->domain(), Error::kURLDomain);
    EXPECT_FALSE(delivery.error->localizedDescription().empty());
    return delivery.error->code();
  }
};

TEST_F(TransferErrorTest, ConnectOverrideKeepsTheCertificateNameCheck) {
  TlsServer server;
  server.handle("GET", "/ping",
                [](const auto&, auto& response) { response.set_content("pong", "text/plain"); });
  ASSERT_FALSE(setConnectOverride("ad.ovix.example", 443, "127.0.0.1", server.port()));
  ASSERT_FALSE(setConnectOverride("other.ovix.example", 443, "127.0.0.1", server.port()));
  EXPECT_TRUE(setConnectOverride("", 443, "127.0.0.1", server.port()));

  const Delivery named = fetch(request("https://ad.ovix.example/ping"));
  EXPECT_EQ(named.data, "pong");
  ASSERT_TRUE(named.response);
  EXPECT_EQ(named.response->url(), "https://ad.ovix.example/ping");
  EXPECT_EQ(server.requests().at(0).header("Host"), "ad.ovix.example");

  EXPECT_EQ(failure(fetch(request("https://other.ovix.example/ping"))),
            kServerCertificateUntrusted);
}

TEST_F(TransferErrorTest, CertificatesOutsideTheTrustedSetAreRefused) {
  TlsServer untrusted(TlsServer::Certificate::kUntrusted);
  EXPECT_EQ(failure(fetch(request(untrusted.url("/")))), kServerCertificateUntrusted);

  TlsServer expired(TlsServer::Certificate::kExpired);
  EXPECT_EQ(failure(fetch(request(expired.url("/")))), kServerCertificateHasBadDate);

  // Trust ends with the setting, connections before notwithstanding.
  TlsServer trusted;
  EXPECT_FALSE(fetch(request(trusted.url("/"))).error);
  ASSERT_FALSE(setExtraTrustedCertificates(""));
  EXPECT_EQ(failure(fetch(request(trusted.url("/")))), kServerCertificateUntrusted);

  auto missing = setExtraTrustedCertificates("/nonexistent/ovix.pem");
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->localizedDescription().find("/nonexistent/ovix.pem"), std::string::npos);
}

TEST_F(TransferErrorTest, ResourceTimeOutEndsAStalledTransfer) {
  TlsServer server;
  server.handle("GET", "/stall", [&](const auto&, auto&) { server.hold(); });
  Configuration configuration;
  configuration.timeoutIntervalForResource = 0.5;
  const Delivery delivery = fetch(request(server.url("/stall")), configuration);
  EXPECT_EQ(failure(delivery), kTimedOut);
  EXPECT_EQ(delivery.error->localizedDescription(), "The request timed out.");
  EXPECT_FALSE(delivery.response);
}

TEST_F(TransferErrorTest, RequestTimeOutEndsATransferWhoseDataStopsComing) {
  TlsServer server;
  server.handle("GET", "/drip", [&](const auto&, httplib::Response& response) {
    response.set_chunked_content_provider("text/plain", [&](std::size_t offset, auto& sink) {
      if (offset == 0) return sink.write("first", 5);
      server.hold();
      return false;
    });
  });
  server.handle("GET", "/ok", [](const auto&, auto&) {});
  // The first connection of the process builds the trust store, which may
  // take longer than the time-out under a sanitizer.
  ASSERT_FALSE(fetch(request(server.url("/ok"))).error);
  Configuration configuration;
  configuration.timeoutIntervalForRequest = 0.5;
  const Delivery delivery = fetch(request(server.url("/drip")), configuration);
  EXPECT_EQ(failure(delivery), kTimedOut);
  // The head had arrived.
  ASSERT_TRUE(delivery.response);
  EXPECT_EQ(delivery.response->statusCode(), 200);
}

TEST_F(TransferErrorTest, ClosedPortIsCannotConnect) {
  // A bound socket that does not listen refuses connections, and keeps the
  // port from anyone else meanwhile.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string url = "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
  EXPECT_EQ(failure(fetch(request(url))), kCannotConnectToHost);
  ::close(fd);
}

TEST_F(TransferErrorTest, TruncatedBodyIsConnectionLost) {
  TlsServer server;
  server.handle("GET", "/short", [](const auto&, httplib::Response& response) {
    response.set_content_provider(100, "text/plain",
                                  [](std::size_t offset, std::size_t, auto& sink) {
                                    return offset == 0 && sink.write("0123456789", 10);
                                  });
  });
  EXPECT_EQ(failure(fetch(request(server.url("/short")))), kNetworkConnectionLost);
}

TEST_F(TransferErrorTest, ReplyThatIsNotHttpIsBadServerResponse) {
  test::RawTlsServer server("SSH-2.0-OpenSSH_9.2\r\n\r\n");
  EXPECT_EQ(failure(fetch(request(server.url("/")))), kBadServerResponse);
}

TEST_F(TransferErrorTest, RedirectsStayOnHttpAndEndAfterTen) {
  TlsServer server;
  server.handle("GET", "/from", [](const auto&, auto& response) { response.set_redirect("/to"); });
  server.handle("GET", "/to",
                [](const auto&, auto& response) { response.set_content("arrived", "text/plain"); });
  server.handle("GET", "/ftp",
                [](const auto&, auto& response) { response.set_redirect("ftp://127.0.0.1/file"); });
  server.handle("GET", "/loop",
                [](const auto&, auto& response) { response.set_redirect("/loop"); });

  const Delivery followed = fetch(request(server.url("/from")));
  EXPECT_EQ(followed.data, "arrived");
  ASSERT_TRUE(followed.response);
  EXPECT_EQ(followed.response->url(), server.url("/to"));

  EXPECT_EQ(failure(fetch(request(server.url("/ftp")))), kUnsupportedURL);
  EXPECT_EQ(failure(fetch(request("ftp://127.0.0.1/file"))), kUnsupportedURL);
  EXPECT_EQ(failure(fetch(request(server.url("/loop")))), kHTTPTooManyRedirects);
  EXPECT_EQ(server.requests().size(), 2u + 1u + 11u);
}

TEST_F(TransferErrorTest, RequestThatCannotGoOnTheWireIsBadURL) {
  TlsServer server;
  Request injected = request(server.url("/"));
  injected.addValue("a\r\nX-Injected: 1", "X-Note");
  EXPECT_EQ(failure(fetch(injected)), kBadURL);
  Request spaced = request(server.url("/"));
  spaced.method = "GET /other";
  EXPECT_EQ(failure(fetch(spaced)), kBadURL);
  EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace ovix::net
