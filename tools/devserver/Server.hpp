#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "Inventory.hpp"
#include "SampleImages.hpp"
#include "Stats.hpp"

namespace httplib {
class SSLServer;
struct Request;
struct Response;
}  // namespace httplib

// A development ad server: answers the SDK's ad requests over HTTPS from an
// inventory, serves banner images, counts impression beacons and clicks.
namespace ovix::devserver {

// Ways to make answers go wrong or slow, for trying a host's error handling.
struct Faults {
  std::chrono::milliseconds delay{0};       // waited before each ad answer
  std::optional<int> status;                // each ad answer's status, 200 to 599; body unchanged
  bool garbage = false;                     // ad answers carry a body that is not JSON
  std::chrono::milliseconds imageDelay{0};  // waited before each slow image's answer
  // The slow images by file name, such as "ocean.png"; nothing: every image.
  std::optional<std::set<std::string>> slowImages;
};

struct ServerOptions {
  // Loopback unless told otherwise.
  std::string host = "127.0.0.1";
  // 0 picks a free port.
  std::uint16_t port = 8443;
  // Where the certificate is kept; empty for defaultCacheDirectory().
  std::filesystem::path cacheDirectory;
  Inventory inventory;
  Faults faults;
  // Hears one line per request, such as "POST /ad/v2.ios 200 3 ads", with
  // control characters escaped (see text::escapeControls): on the server's
  // threads, one call at a time. May be empty.
  std::function<void(const std::string&)> log;
};

// Serves, on threads of its own:
//   POST /ad/v2.ios      the ad answer (see selectAds); 400 and {"error": "..."}
//                        for a body of another shape
//   GET /images/NAME     the sample banners (see makeSampleImages)
//   GET /imp/ID          counts an impression of ad ID; 204, or 404 for no such ad
//   GET /vimp/ID         the same for a viewable impression
//   GET /click/ID        counts a click and shows a landing page
//   GET /stats           the counts as JSON (see Stats::toJson)
// Any Host header is accepted, so the ad server's own URLs work through a
// connect override. start(), stop() and the destructor belong on the thread
// that owns the server; the other calls are safe from any thread.
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

 private:
  void route();
  void answerAds(const httplib::Request& request, httplib::Response& response);
  void answerBeacon(const httplib::Request& request, httplib::Response& response,
                    Counters::Event event);
  void answerClick(const httplib::Request& request, httplib::Response& response);
  void answerImage(const httplib::Request& request, httplib::Response& response);
  void log(const httplib::Request& request, const httplib::Response& response);
  // Waits `delay` unless stop() comes first.
  void wait(std::chrono::milliseconds delay);

  const ServerOptions options_;
  Counters counters_;
  std::map<std::string, EncodedImage> images_;  // set by start()
  std::unique_ptr<httplib::SSLServer> server_;
  std::thread thread_;
  std::uint16_t port_ = 0;
  std::filesystem::path certificatePath_;

  std::mutex mutex_;
  std::condition_variable stopping_;
  bool stopped_ = false;  // guarded by mutex_
  std::mutex logMutex_;   // one log call at a time
};

}  // namespace ovix::devserver
