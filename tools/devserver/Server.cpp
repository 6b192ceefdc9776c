#include "Server.hpp"

#include <httplib.h>
#include <sys/socket.h>

#include <future>

#include "AdSelection.hpp"
#include "CertificateCache.hpp"
#include "platform/text/ControlEscaping.hpp"

namespace ovix::devserver {
namespace {

// A thread serves one connection while it is open, and an SDK keeps up to 64
// open for reuse: fewer threads would leave its later requests waiting.
constexpr std::size_t kThreads = 72;
constexpr std::size_t kMaxBodyBytes = 1 << 20;
constexpr const char* kIdPattern = "([A-Za-z0-9._-]+)";

// What the log line says after the status. The logger runs on the thread
// that served the request, right after it, so a thread's own slot carries it.
thread_local std::string requestNote;

std::vector<std::string> adIds(const Inventory& inventory) {
  std::vector<std::string> ids;
  for (const auto& [slot, ads] : inventory.slots()) {
    for (const Ad& ad : ads) ids.push_back(ad.id);
  }
  return ids;
}

std::string escapeHtml(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string field(const Ad& ad, const char* name) {
  const auto found = ad.fields.find(name);
  return found != ad.fields.end() && found->is_string() ? found->get<std::string>() : "";
}

std::string landingPage(const Ad& ad) {
  return "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>" +
         escapeHtml(field(ad, "title")) + "</title></head>\n<body><h1>" +
         escapeHtml(field(ad, "title")) + "</h1>\n<p>" + escapeHtml(field(ad, "description")) +
         "</p>\n<p>" + escapeHtml(field(ad, "displayed_advertiser")) +
         " &middot; served by ovix serve</p></body></html>\n";
}

constexpr const char* kIndex =
    "ovix serve: a development ad server\n"
    "  POST /ad/v2.ios    ads for {\"infeeds\": {\"<slot>\": {\"count\": N}}}\n"
    "  GET  /images/NAME  sample banners\n"
    "  GET  /imp/ID       impression beacon\n"
    "  GET  /vimp/ID      viewable-impression beacon\n"
    "  GET  /click/ID     landing page\n"
    "  GET  /stats        counts per ad\n";

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)), counters_(adIds(options_.inventory)) {}

Server::~Server() {
  stop();
}

std::optional<std::string> Server::start() {
  if (server_) return "the server has already been started";
  if (options_.faults.status && (*options_.faults.status < 200 || *options_.faults.status > 599)) {
    return "the fault status must be from 200 to 599";
  }
  const auto directory =
      options_.cacheDirectory.empty() ? defaultCacheDirectory() : options_.cacheDirectory;
  auto certificate = loadOrMakeCertificate(directory);
  if (!certificate) return certificate.error().message;
  auto images = makeSampleImages();
  if (!images) return images.error().message;
  images_ = std::move(images.value());
  certificatePath_ = certificate.value().certificatePath;

  server_ = std::make_unique<httplib::SSLServer>(certificate.value().certificate->certificate(),
                                                 certificate.value().certificate->key());
  if (!server_->is_valid())
    return "cannot set up TLS with the certificate " + certificatePath_.string();
  server_->set_payload_max_length(kMaxBodyBytes);
  // Without the library's SO_REUSEPORT, so that a second server on a busy
  // port fails instead of sharing it.
  server_->set_socket_options([](int fd) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  });
  route();

  const int port = options_.port == 0 ? server_->bind_to_any_port(options_.host)
                   : server_->bind_to_port(options_.host, options_.port) ? options_.port
                                                                         : -1;
  if (port <= 0) {
    return "cannot listen on " + options_.host + ":" + std::to_string(options_.port) +
           " (is the port in use, or the host not this machine's?)";
  }
  port_ = static_cast<std::uint16_t>(port);

  // The library asks for its task queue as it starts serving, from then on
  // stop() ends it; start() returns only then.
  auto serving = std::make_shared<std::promise<void>>();
  // Stopping waits for idle kept connections to time out.
  server_->set_keep_alive_timeout(1);
  server_->new_task_queue = [serving] {
    serving->set_value();
    return new httplib::ThreadPool(kThreads);
  };
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  serving->get_future().wait();
  return std::nullopt;
}

void Server::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  stopping_.notify_all();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

Stats Server::stats() const {
  return counters_.stats();
}

void Server::route() {
  using httplib::Request;
  using httplib::Response;
  const std::string id = kIdPattern;
  server_->set_pre_routing_handler([](const Request&, Response&) {
    requestNote.clear();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->set_logger(
      [this](const Request& request, const Response& response) { log(request, response); });
  server_->Post("/ad/v2.ios", [this](const Request& request, Response& response) {
    answerAds(request, response);
  });
  server_->Get("/images/" + id, [this](const Request& request, Response& response) {
    answerImage(request, response);
  });
  server_->Get("/imp/" + id, [this](const Request& request, Response& response) {
    answerBeacon(request, response, Counters::Event::impression);
  });
  server_->Get("/vimp/" + id, [this](const Request& request, Response& response) {
    answerBeacon(request, response, Counters::Event::viewableImpression);
  });
  server_->Get("/click/" + id, [this](const Request& request, Response& response) {
    answerClick(request, response);
  });
  server_->Get("/stats", [this](const Request&, Response& response) {
    response.set_content(stats().toJson().dump(2) + "\n", "application/json");
  });
  server_->Get("/", [](const Request&, Response& response) {
    response.set_content(kIndex, "text/plain; charset=utf-8");
  });
}

void Server::answerAds(const httplib::Request& request, httplib::Response& response) {
  auto selection = selectAds(options_.inventory, request.body);
  if (!selection) {
    response.status = 400;
    response.set_content(nlohmann::json{{"error", selection.error().message}}.dump() + "\n",
                         "application/json");
    requestNote = selection.error().message;
    return;
  }
  const Faults& faults = options_.faults;
  wait(faults.delay);
  response.status = faults.status.value_or(200);
  const auto count = selection.value().served.size();
  requestNote = std::to_string(count) + (count == 1 ? " ad" : " ads");
  if (faults.delay.count() > 0) {
    requestNote += ", delayed " + std::to_string(faults.delay.count()) + " ms";
  }
  if (faults.garbage) {
    response.set_content("<html><body>502 Bad Gateway</body></html>\n", "text/html");
    requestNote += ", garbage body";
    return;
  }
  for (const auto& served : selection.value().served) {
    counters_.count(served, Counters::Event::served);
  }
  response.set_content(selection.value().answer.dump() + "\n", "application/json");
}

void Server::answerBeacon(const httplib::Request& request, httplib::Response& response,
                          Counters::Event event) {
  if (!counters_.count(request.matches[1], event)) {
    response.status = 404;
    response.set_content("no such ad\n", "text/plain");
    requestNote = "unknown ad";
    return;
  }
  response.status = 204;
}

void Server::answerClick(const httplib::Request& request, httplib::Response& response) {
  const Ad* ad = options_.inventory.ad(request.matches[1].str());
  if (!ad) {
    response.status = 404;
    response.set_content("no such ad\n", "text/plain");
    requestNote = "unknown ad";
    return;
  }
  counters_.count(ad->id, Counters::Event::click);
  response.set_content(landingPage(*ad), "text/html; charset=utf-8");
}

void Server::answerImage(const httplib::Request& request, httplib::Response& response) {
  const auto found = images_.find(request.matches[1].str());
  if (found == images_.end()) {
    response.status = 404;
    response.set_content("no such image\n", "text/plain");
    return;
  }
  const Faults& faults = options_.faults;
  const bool slow = faults.imageDelay.count() > 0 &&
                    (!faults.slowImages || faults.slowImages->contains(found->first));
  if (slow) wait(faults.imageDelay);
  const EncodedImage& image = found->second;
  response.set_content(reinterpret_cast<const char*>(image.bytes.data()), image.bytes.size(),
                       image.contentType);
  requestNote = image.contentType;
  if (slow) requestNote += ", delayed " + std::to_string(faults.imageDelay.count()) + " ms";
}

void Server::log(const httplib::Request& request, const httplib::Response& response) {
  // The method, the decoded path and the note all carry what the client sent.
  std::string line = request.method + " " + request.path + " " + std::to_string(response.status);
  if (!requestNote.empty()) line += " " + requestNote;
  requestNote.clear();
  if (!options_.log) return;
  line = text::escapeControls(line);
  std::lock_guard lock(logMutex_);
  options_.log(line);
}

void Server::wait(std::chrono::milliseconds delay) {
  if (delay.count() <= 0) return;
  std::unique_lock lock(mutex_);
  stopping_.wait_for(lock, delay, [this] { return stopped_; });
}

}  // namespace ovix::devserver
