#include "Server.hpp"

#include <httplib.h>
#include <sys/socket.h>

#include <future>

#include "CertificateCache.hpp"
#include "platform/text/ControlEscaping.hpp"

namespace ovix::devserver {
namespace {

// A thread serves one connection while it is open, and an SDK keeps up to 64
// open for reuse: fewer threads would leave its later requests waiting.
constexpr std::size_t kThreads = 72;
constexpr std::size_t kMaxBodyBytes = 1 << 20;

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

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)), counters_(adIds(options_.inventory)) {}

Server::~Server() {
  stop();
}

std::optional<std::string> Server::start() {
  if (routes_) return "the server has already been started";
  if (options_.faults.status && (*options_.faults.status < 200 || *options_.faults.status > 599)) {
    return "the fault status must be from 200 to 599";
  }
  const auto directory =
      options_.cacheDirectory.empty() ? defaultCacheDirectory() : options_.cacheDirectory;
  auto certificate = loadOrMakeCertificate(directory);
  if (!certificate) return certificate.error().message;
  auto images = makeSampleImages();
  if (!images) return images.error().message;
  routes_ = std::make_unique<Routes>(options_.inventory, options_.faults, counters_,
                                     std::move(images.value()));
  certificatePath_ = certificate.value().certificatePath;

  if (options_.http2) {
    // Logged as the answer is decided: a delayed answer goes out later.
    http2_ = std::make_unique<Http2Server>(
        certificate.value().certificate, [this](const Exchange& exchange) {
          Answer answer = routes_->route(exchange);
          log(exchange.method, exchange.path, answer.status, answer.note);
          return answer;
        });
    if (auto failure = http2_->start(options_.host, options_.port)) return failure;
    port_ = http2_->port();
    return std::nullopt;
  }

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
  serveHttp1();

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
  if (http2_) http2_->stop();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

Stats Server::stats() const {
  return counters_.stats();
}

std::size_t Server::connections() const {
  return http2_ ? http2_->connections() : 0;
}

void Server::serveHttp1() {
  using httplib::Request;
  using httplib::Response;
  server_->set_pre_routing_handler([](const Request&, Response&) {
    requestNote.clear();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->set_logger([this](const Request& request, const Response& response) {
    log(request.method, request.path, response.status, requestNote);
    requestNote.clear();
  });
  const auto serve = [this](const Request& request, Response& response) {
    Exchange exchange{.method = request.method,
                      .target = request.target,
                      .path = request.path,
                      .authority = request.get_header_value("Host"),
                      .fields = {request.headers.begin(), request.headers.end()},
                      .body = request.body};
    Answer answer = routes_->route(exchange);
    wait(answer.delay);
    response.status = answer.status;
    for (const auto& [name, value] : answer.fields) response.set_header(name, value);
    if (!answer.contentType.empty()) response.set_content(answer.body, answer.contentType);
    requestNote = std::move(answer.note);
  };
  server_->Get(".*", serve);
  server_->Post(".*", serve);
}

void Server::log(const std::string& method, const std::string& path, int status,
                 const std::string& note) {
  // The method, the decoded path and the note all carry what the client sent.
  std::string line = method + " " + path + " " + std::to_string(status);
  if (!note.empty()) line += " " + note;
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
