#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Http2Server.hpp"
#include "Routes.hpp"

namespace httplib {
class SSLServer;
}  // namespace httplib

// A development ad server: answers the SDK's ad requests over HTTPS from an
// inventory, serves banner images, counts impression beacons and clicks.
namespace ovix::devserver {

struct ServerOptions {
  // Loopback unless told otherwise.
  std::string host = "127.0.0.1";
  // 0 picks a free port.
  std::uint16_t port = 8443;
  // Where the certificate is kept; empty for defaultCacheDirectory().
  std::filesystem::path cacheDirectory;
  Inventory inventory;
  Faults faults;
  // HTTP/2 only (ALPN h2, see Http2Server) instead of HTTP/1.1.
  bool http2 = false;
  // Hears one line per request, such as "POST /ad/v2.ios 200 3 ads", with
  // control characters escaped (see text::escapeControls): on the server's
  // threads, one call at a time. May be empty.
  std::function<void(const std::string&)> log;
};

// Serves the endpoints of Routes over HTTPS, on threads of its own: with
// cpp-httplib over HTTP/1.1, or with Http2Server over HTTP/2. Any Host
// header is accepted, so the ad server's own URLs work through a connect
// override. start(), stop() and the destructor belong on the thread that
// owns the server; the other calls are safe from any thread.
class Server {
 public:
  static constexpr std::uint16_t kDefaultPort = 8443;

  explicit Server(ServerOptions options);
  // Stops.
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Finds or makes the certificate, draws the banners, binds and starts
  // serving. Returns why it could not; a server starts at most once.
  std::optional<std::string> start();
  // Ends delayed answers at once, stops accepting, and joins the server's
  // threads. Safe to call more than once.
  void stop();

  // The port it listens on, once started.
  std::uint16_t port() const { return port_; }
  // The certificate's PEM file, once started: clients trust it.
  const std::filesystem::path& certificatePath() const { return certificatePath_; }
  Stats stats() const;
  // The connections accepted so far over HTTP/2; 0 over HTTP/1.1.
  std::size_t connections() const;

 private:
  // Hands cpp-httplib's requests to routes_.
  void serveHttp1();
  // Writes the request's line to the log.
  void log(const std::string& method, const std::string& path, int status, const std::string& note);
  // Waits `delay` unless stop() comes first.
  void wait(std::chrono::milliseconds delay);

  const ServerOptions options_;
  Counters counters_;
  std::unique_ptr<Routes> routes_;  // set by start()
  std::unique_ptr<httplib::SSLServer> server_;
  std::unique_ptr<Http2Server> http2_;
  std::thread thread_;
  std::uint16_t port_ = 0;
  std::filesystem::path certificatePath_;

  std::mutex mutex_;
  std::condition_variable stopping_;
  bool stopped_ = false;  // guarded by mutex_
  std::mutex logMutex_;   // one log call at a time
};

}  // namespace ovix::devserver
