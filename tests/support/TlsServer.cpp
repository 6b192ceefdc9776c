#include "support/TlsServer.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <future>
#include <stdexcept>

namespace ovix::test {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<const devserver::Certificate> make(
    const std::string& name, bool expired = false,
    const std::string& names = devserver::Certificate::kServerNames) {
  auto made = devserver::Certificate::make(name, expired ? -48h : -1h, expired ? -24h : 24h, names);
  if (!made) throw std::runtime_error("cannot make the test certificate " + name);
  return made;
}

// The certificates trustedCertificatesPath() holds, and the file.
struct Trusted {
  std::shared_ptr<const devserver::Certificate> now = make("Ovix Test Server");
  std::shared_ptr<const devserver::Certificate> expired = make("Ovix Expired Test Server", true);
  std::shared_ptr<const devserver::Certificate> wrongHost =
      make("Ovix Elsewhere Test Server", false, "DNS:elsewhere.ovix.invalid");
  std::string path = "/tmp/ovix-trusted-XXXXXX";

  Trusted() {
    ::close(::mkstemp(path.data()));
    if (!(std::ofstream(path) << now->pem() << expired->pem() << wrongHost->pem())) {
      throw std::runtime_error("cannot write the trusted certificates file");
    }
  }
  ~Trusted() { ::unlink(path.c_str()); }
};

const Trusted& trusted() {
  static const Trusted certificates;
  return certificates;
}

}  // namespace

const std::string& TlsServer::trustedCertificatesPath() {
  return trusted().path;
}

std::shared_ptr<const devserver::Certificate> TlsServer::credentials(Certificate certificate) {
  if (certificate == Certificate::kUntrusted) return make("Ovix Untrusted Test Server");
  return certificate == Certificate::kExpired     ? trusted().expired
         : certificate == Certificate::kWrongHost ? trusted().wrongHost
                                                  : trusted().now;
}

TlsServer::TlsServer(Certificate certificate, std::size_t threads)
    : secure_(certificate != Certificate::kNone) {
  if (secure_) {
    const auto presented = credentials(certificate);
    server_ = std::make_unique<httplib::SSLServer>(presented->certificate(), presented->key());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  if (!server_->is_valid()) throw std::runtime_error("cannot set up the TLS server");

  // The server library calls this as it starts serving, after it can be stopped.
  auto serving = std::make_shared<std::promise<void>>();
  server_->new_task_queue = [serving, threads] {
    serving->set_value();
    return new httplib::ThreadPool(threads);
  };
  // Without it, replies written piecemeal wait for delayed acknowledgements.
  server_->set_tcp_nodelay(true);
  auto listener = std::make_shared<int>(-1);
  server_->set_socket_options([listener](int fd) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    *listener = fd;
  });
  const httplib::Server::Handler serve = [this](const auto& request, auto& response) {
    this->serve(request, response);
  };
  server_->Get(".*", serve).Post(".*", serve).Put(".*", serve);

  const int port = server_->bind_to_any_port("127.0.0.1");
  if (port <= 0) throw std::runtime_error("cannot bind the TLS server");
  port_ = static_cast<std::uint16_t>(port);
  // The library listens with a short backlog; a burst of clients needs more.
  if (*listener >= 0) ::listen(*listener, SOMAXCONN);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  serving->get_future().wait();
}

TlsServer::~TlsServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  server_->stop();
  thread_.join();
}

std::string TlsServer::url(std::string_view path) const {
  return (secure_ ? "https://localhost:" : "http://localhost:") + std::to_string(port_) +
         std::string(path);
}

void TlsServer::handle(const std::string& method, const std::string& pathPattern,
                       httplib::Server::Handler handler) {
  std::lock_guard lock(mutex_);
  routes_.push_back(Route{method, std::regex(pathPattern), std::move(handler)});
}

bool TlsServer::hold() {
  std::unique_lock lock(mutex_);
  ++held_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return released_ || stopping_; });
  --held_;
  return !stopping_;
}

bool TlsServer::waitForHeld(std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return held_ >= count; });
}

void TlsServer::releaseHeld() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

std::vector<httplib::Request> TlsServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void TlsServer::serve(const httplib::Request& request, httplib::Response& response) {
  const std::string method = request.method == "HEAD" ? "GET" : request.method;
  httplib::Request routed = request;
  httplib::Server::Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    for (auto route = routes_.rbegin(); route != routes_.rend() && !handler; ++route) {
      if (route->method == method &&
          std::regex_match(routed.path, routed.matches, route->pattern)) {
        handler = route->handler;
      }
    }
  }
  if (!handler) {
    response.status = 404;
    return;
  }
  handler(routed, response);
}

}  // namespace ovix::test
