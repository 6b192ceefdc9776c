#include "support/FaultServer.hpp"

#include "ovix/platform/Network.hpp"

namespace ovix::test {
namespace {

// Larger than the SDK takes anywhere: 4 MiB answers, 10 MiB images, 1 MiB
// beacon answers.
constexpr std::size_t kOversize = 11 << 20;

// A label longer than DNS allows: the resolver refuses it on the spot without
// asking a name server, so the test neither waits for one nor leaves loopback.
const std::string& unresolvableHost() {
  static const std::string host = std::string(64, 'u') + ".invalid";
  return host;
}

std::string head(std::size_t contentLength) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
         std::to_string(contentLength) + "\r\n\r\n";
}

// Any path, any of the methods the SDK uses.
void answerEverything(TlsServer& server, const httplib::Server::Handler& handler) {
  server.handle("GET", ".*", handler);
  server.handle("POST", ".*", handler);
}

}  // namespace

// The cleartext leg of a downgrade: a plain HTTP server on loopback that
// answers every request with an ad answer, a picture or a beacon's 204, as
// whoever sits on such a leg would.
class FaultServer::Cleartext {
 public:
  Cleartext() {
    server_.Get(".*", [](const auto&, auto& response) { response.status = 204; });
    server_.Post(".*", [](const auto&, auto& response) {
      response.set_content(R"({"ads": {"a": [{"title": "Planted"}]}})", "application/json");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~Cleartext() {
    server_.stop();
    thread_.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

std::vector<Fault> neverFinishingFaults() {
  return {Fault::kStallBeforeHead, Fault::kStallMidBody, Fault::kDrip};
}

std::vector<Fault> immediateFaults() {
  return {Fault::kResetMidBody,       Fault::kHandshakeFailure, Fault::kWrongHost,
          Fault::kExpiredCertificate, Fault::kUnresolvableHost, Fault::kOversizeAnnounced,
          Fault::kOversizeChunked,    Fault::kRedirectToFile,   Fault::kRedirectLoop,
          Fault::kRedirectToCleartext};
}

std::vector<Fault> allFaults() {
  std::vector<Fault> faults = neverFinishingFaults();
  for (Fault fault : immediateFaults()) faults.push_back(fault);
  return faults;
}

const char* name(Fault fault) {
  switch (fault) {
    case Fault::kStallBeforeHead:
      return "stall before the head";
    case Fault::kStallMidBody:
      return "stall mid-body";
    case Fault::kDrip:
      return "slow drip";
    case Fault::kResetMidBody:
      return "reset mid-body";
    case Fault::kHandshakeFailure:
      return "TLS handshake failure";
    case Fault::kWrongHost:
      return "certificate for the wrong host";
    case Fault::kExpiredCertificate:
      return "expired certificate";
    case Fault::kUnresolvableHost:
      return "unresolvable host";
    case Fault::kOversizeAnnounced:
      return "oversize body, announced";
    case Fault::kOversizeChunked:
      return "oversize body, chunked";
    case Fault::kRedirectToFile:
      return "redirect to file:";
    case Fault::kRedirectLoop:
      return "redirect loop";
    case Fault::kRedirectToCleartext:
      return "redirect to cleartext";
  }
  return "?";
}

std::int64_t expectedCode(Fault fault) {
  switch (fault) {
    case Fault::kStallBeforeHead:
    case Fault::kStallMidBody:
    case Fault::kDrip:
      return -1001;  // timed out
    case Fault::kResetMidBody:
      return -1005;  // connection lost
    case Fault::kHandshakeFailure:
      return -1200;  // secure connection failed
    case Fault::kWrongHost:
      return -1202;  // certificate untrusted
    case Fault::kExpiredCertificate:
      return -1201;  // certificate has a bad date
    case Fault::kUnresolvableHost:
      return -1003;  // cannot find host
    case Fault::kOversizeAnnounced:
    case Fault::kOversizeChunked:
      return -1103;  // data length exceeds maximum
    case Fault::kRedirectToFile:
      return -1002;  // unsupported URL
    case Fault::kRedirectLoop:
      return -1007;  // too many redirects
    case Fault::kRedirectToCleartext:
      return -1022;  // a secure connection is required
  }
  return 0;
}

FaultServer::FaultServer(Fault fault) : fault_(fault) {
  using Mode = RawTlsServer::Mode;
  const std::string partial = head(1000) + R"({"ads": {"a": [)";
  switch (fault) {
    case Fault::kStallBeforeHead:
      raw_ = std::make_unique<RawTlsServer>("", Mode::kStall);
      break;
    case Fault::kStallMidBody:
      raw_ = std::make_unique<RawTlsServer>(partial, Mode::kStall);
      break;
    case Fault::kDrip:
      raw_ = std::make_unique<RawTlsServer>(head(1 << 20), Mode::kDrip);
      break;
    case Fault::kResetMidBody:
      raw_ = std::make_unique<RawTlsServer>(partial, Mode::kReset);
      break;
    case Fault::kHandshakeFailure:
      raw_ = std::make_unique<RawTlsServer>("HTTP/1.1 400 Bad Request\r\n\r\n",
                                            Mode::kHandshakeFailure);
      break;
    case Fault::kWrongHost:
    case Fault::kExpiredCertificate:
      tls_ = std::make_unique<TlsServer>(fault == Fault::kWrongHost
                                             ? TlsServer::Certificate::kWrongHost
                                             : TlsServer::Certificate::kExpired);
      answerEverything(*tls_, [](const auto&, auto& response) {
        response.set_content("{}", "application/json");
      });
      break;
    case Fault::kUnresolvableHost:
      break;
    case Fault::kOversizeAnnounced:
      tls_ = std::make_unique<TlsServer>();
      answerEverything(*tls_, [](const auto&, auto& response) {
        response.set_content(std::string(kOversize, ' '), "application/json");
      });
      break;
    case Fault::kOversizeChunked:
      tls_ = std::make_unique<TlsServer>();
      answerEverything(*tls_, [](const auto&, auto& response) {
        response.set_chunked_content_provider(
            "application/json",
            [sent = std::size_t{0}](std::size_t, httplib::DataSink& sink) mutable {
              if (sent >= kOversize) {
                sink.done();
                return true;
              }
              const std::string chunk(64 << 10, ' ');
              if (!sink.write(chunk.data(), chunk.size())) return false;  // the client went away
              sent += chunk.size();
              return true;
            });
      });
      break;
    case Fault::kRedirectToCleartext:
      cleartext_ = std::make_unique<Cleartext>();
      tls_ = std::make_unique<TlsServer>();
      answerEverything(*tls_, [target = cleartext_->url()](const auto&, auto& response) {
        response.status = 307;
        response.set_header("Location", target);
      });
      break;
    case Fault::kRedirectToFile:
    case Fault::kRedirectLoop:
      tls_ = std::make_unique<TlsServer>();
      answerEverything(*tls_, [fault](const httplib::Request& request, auto& response) {
        response.status = 302;
        response.set_header("Location",
                            fault == Fault::kRedirectLoop ? request.path : "file:///etc/passwd");
      });
      break;
  }
}

FaultServer::~FaultServer() = default;

std::string FaultServer::url(std::string_view path) const {
  if (raw_) return raw_->url(path);
  if (tls_) return tls_->url(path);
  return "https://" + unresolvableHost() + std::string(path);
}

void FaultServer::routeLoads() const {
  if (fault_ == Fault::kUnresolvableHost) {
    net::setConnectOverride("ad.ovix.example", 443, unresolvableHost(), 443);
  } else {
    net::setConnectOverride("ad.ovix.example", 443, "127.0.0.1",
                            raw_ ? raw_->port() : tls_->port());
  }
}

}  // namespace ovix::test
