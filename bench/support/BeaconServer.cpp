#include "support/BeaconServer.hpp"

#include <stdexcept>

#include "ovix/platform/Network.hpp"

namespace ovix::bench {

BeaconServer::BeaconServer(Scheme scheme, std::size_t concurrency, std::chrono::milliseconds delay)
    : scheme_(scheme), delay_(delay) {
  const auto serve = [this](const httplib::Request&, httplib::Response& response) {
    answer(response);
  };
  if (scheme_ == Scheme::kHttps2) {
    http2_ = std::make_unique<devserver::Http2Server>(
        test::TlsServer::credentials(test::TlsServer::Certificate::kTrusted),
        [this](const devserver::Exchange&) {
          return devserver::Answer{.contentType = "image/gif", .delay = delay_};
        });
    if (auto failure = http2_->start("127.0.0.1", 0)) throw std::runtime_error(*failure);
    port_ = http2_->port();
  } else {
    tls_ = std::make_unique<test::TlsServer>(scheme_ == Scheme::kHttps
                                                 ? test::TlsServer::Certificate::kTrusted
                                                 : test::TlsServer::Certificate::kNone,
                                             concurrency, std::chrono::seconds(5));
    tls_->handle("GET", "/imp/.*", serve);
    port_ = tls_->port();
  }
  if (scheme_ != Scheme::kHttp) {
    net::setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath());
    net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", port_);
  }
}

BeaconServer::~BeaconServer() {
  if (scheme_ != Scheme::kHttp) net::clearConnectOverrides();
}

std::string BeaconServer::url(std::size_t index) const {
  const std::string path = "/imp/" + std::to_string(index) + "?ad=000123&sig=d41d8cd9";
  if (scheme_ != Scheme::kHttp) return "https://ad.ovix.example" + path;
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void BeaconServer::answer(httplib::Response& response) {
  // The delay stands for a distant server's answer time.
  std::this_thread::sleep_for(delay_);
  response.set_content("", "image/gif");
  ++answered_;
}

}  // namespace ovix::bench
