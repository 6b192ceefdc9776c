#include "support/BeaconServer.hpp"

#include <sys/socket.h>

#include <future>
#include <stdexcept>

#include "ovix/platform/Network.hpp"

namespace ovix::bench {

BeaconServer::BeaconServer(Scheme scheme, std::size_t concurrency, std::chrono::milliseconds delay)
    : scheme_(scheme), delay_(delay) {
  const auto serve = [this](const httplib::Request&, httplib::Response& response) {
    answer(response);
  };
  if (scheme_ != Scheme::kHttp) {
    if (scheme_ == Scheme::kHttps) {
      tls_ = std::make_unique<test::TlsServer>(test::TlsServer::Certificate::kTrusted, concurrency,
                                               std::chrono::seconds(5));
      tls_->handle("GET", "/imp/.*", serve);
      port_ = tls_->port();
    } else {
      http2_ = std::make_unique<devserver::Http2Server>(
          test::TlsServer::credentials(test::TlsServer::Certificate::kTrusted),
          [this](const devserver::Exchange&) {
            return devserver::Answer{.contentType = "image/gif", .delay = delay_};
          });
      if (auto failure = http2_->start("127.0.0.1", 0)) throw std::runtime_error(*failure);
      port_ = http2_->port();
    }
    net::setExtraTrustedCertificates(test::TlsServer::trustedCertificatesPath());
    net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", port_);
    return;
  }
  plain_ = std::make_unique<httplib::Server>();
  auto serving = std::make_shared<std::promise<void>>();
  plain_->new_task_queue = [serving, concurrency] {
    serving->set_value();
    return new httplib::ThreadPool(concurrency);
  };
  plain_->set_tcp_nodelay(true);
  plain_->set_keep_alive_max_count(1000);
  auto listener = std::make_shared<int>(-1);
  plain_->set_socket_options([listener](int fd) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    *listener = fd;
  });
  plain_->Get("/imp/.*", serve);
  const int port = plain_->bind_to_any_port("127.0.0.1");
  if (port <= 0) throw std::runtime_error("cannot bind the beacon server");
  port_ = static_cast<std::uint16_t>(port);
  // The library listens with a short backlog; a burst of beacons needs more.
  if (*listener >= 0) ::listen(*listener, SOMAXCONN);
  plainThread_ = std::thread([this] { plain_->listen_after_bind(); });
  serving->get_future().wait();
}

BeaconServer::~BeaconServer() {
  if (plain_) {
    plain_->stop();
    plainThread_.join();
  } else {
    net::clearConnectOverrides();
  }
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
