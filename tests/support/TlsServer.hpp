#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "devserver/Certificate.hpp"

namespace ovix::test {

// A real HTTPS server on 127.0.0.1 with an ephemeral port, serving from its
// own threads. Reach it as https://localhost:port/ or through
// net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1", port()).
// Handlers run on server threads; every other call is thread-safe.
class TlsServer {
 public:
  enum class Certificate {
    kTrusted,    // in trustedCertificatesPath()
    kExpired,    // in trustedCertificatesPath(), valid until yesterday
    kUntrusted,  // a certificate of its own, trusted nowhere
    kWrongHost,  // in trustedCertificatesPath(), for another host than the test hosts
    kNone,       // no TLS: a plain HTTP server, reached as http://localhost:port/
  };

  // A PEM file, made once per process and removed at exit, holding the
  // kTrusted, kExpired and kWrongHost certificates: hand it to
  // net::setExtraTrustedCertificates.
  static const std::string& trustedCertificatesPath();
  // The certificate and key of `certificate` (not kNone), the same for the
  // process but for kUntrusted, which is new each time.
  static std::shared_ptr<const devserver::Certificate> credentials(Certificate certificate);

  // `threads` bounds the requests served, or held, at once.
  explicit TlsServer(Certificate certificate = Certificate::kTrusted, std::size_t threads = 16);
  // Releases held handlers, then stops and joins the server.
  ~TlsServer();
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "https://localhost:<port><path>" ("http:" for kNone).
  std::string url(std::string_view path) const;

  // Serves requests of `method` ("GET" also answers HEAD) whose path fully
  // matches `pathPattern`; the handler sees the pattern's groups. A later
  // handler for the same request wins. Others get 404.
  void handle(const std::string& method, const std::string& pathPattern,
              httplib::Server::Handler handler);

  // For handlers and content providers: blocks until releaseHeld() or the
  // server stops. Returns false when it stops.
  bool hold();
  // Waits until `count` calls of hold() are blocked.
  bool waitForHeld(std::size_t count, std::chrono::milliseconds timeout);
  // Lets every held call, and all later ones, go on.
  void releaseHeld();

  // The requests received so far, as the server parsed them (`target` keeps
  // the path and query undecoded).
  std::vector<httplib::Request> requests() const;

 private:
  struct Route {
    std::string method;
    std::regex pattern;
    httplib::Server::Handler handler;
  };

  void serve(const httplib::Request& request, httplib::Response& response);

  std::unique_ptr<httplib::Server> server_;
  const bool secure_;
  std::uint16_t port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Route> routes_;               // guarded by mutex_
  std::vector<httplib::Request> requests_;  // guarded by mutex_
  std::size_t held_ = 0;                    // guarded by mutex_
  bool released_ = false;                   // guarded by mutex_
  bool stopping_ = false;                   // guarded by mutex_
};

}  // namespace ovix::test
