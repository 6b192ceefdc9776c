#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "devserver/Http2Server.hpp"
#include "support/TlsServer.hpp"

namespace ovix::bench {

// A beacon endpoint on loopback that answers GET /imp/... after a delay.
// Over HTTPS to an HTTP/1.1 server (the tests' TlsServer, a thread per
// request it may hold at once), over HTTPS to an HTTP/2 server (Http2Server,
// which holds any number of delayed answers on its one thread), both reached
// as https://ad.ovix.example through a connect override, or over plain HTTP
// to an HTTP/1.1 server (reached as http://127.0.0.1:port). Construct and
// destroy on the benchmark's thread; answered() from any thread.
class BeaconServer {
 public:
  enum class Scheme { kHttps, kHttps2, kHttp };

  BeaconServer(Scheme scheme, std::size_t concurrency, std::chrono::milliseconds delay);
  ~BeaconServer();
  BeaconServer(const BeaconServer&) = delete;
  BeaconServer& operator=(const BeaconServer&) = delete;

  // The URL of beacon `index`.
  std::string url(std::size_t index) const;
  std::uint16_t port() const { return port_; }
  std::size_t answered() const { return http2_ ? http2_->answered() : answered_.load(); }

 private:
  void answer(httplib::Response& response);

  const Scheme scheme_;
  const std::chrono::milliseconds delay_;
  std::atomic<std::size_t> answered_{0};
  std::unique_ptr<test::TlsServer> tls_;
  std::unique_ptr<devserver::Http2Server> http2_;
  std::uint16_t port_ = 0;
};

}  // namespace ovix::bench
