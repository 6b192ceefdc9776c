#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/net/ConnectionBudget.hpp"
#include "platform/net/DevelopmentSettings.hpp"
#include "platform/net/Outcome.hpp"
#include "platform/net/Request.hpp"
#include "platform/net/Session.hpp"

namespace ovix::net {

// One HTTP exchange on its own libcurl easy handle: the request as given, the
// final response's head and body, and the limits of its configuration. Made
// on any thread, then handed to the network thread, which alone uses it.
class Transfer {
 public:
  using Clock = std::chrono::steady_clock;
  // Receives the outcome on the network thread, once.
  using Finished = std::function<void(Outcome)>;

  Transfer(Request request, const Configuration& configuration,
           std::shared_ptr<const DevelopmentSettings> settings, Finished finished);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Unique in the process; names the transfer to NetworkThread::abandon.
  std::uint64_t id() const { return id_; }

  // Makes the easy handle for the request, or gives the error that prevents
  // the transfer (a malformed method or header field, no memory). The
  // transfer shares `caches` (may be null) and tells `budget` which
  // connection it holds; both outlive its run.
  Status prepare(CURLSH* caches, ConnectionBudget& budget);
  CURL* easy() const { return easy_.get(); }
  // The connection the transfer holds; none before libcurl gave it one.
  const std::optional<ConnectionBudget::Connection>& connection() const { return connection_; }

  // When the wait for the next data runs out; none without a limit, or with
  // one too long to be reached.
  std::optional<Clock::time_point> idleDeadline() const;

  // Hands the outcome of libcurl's result to the finished function.
  void finish(CURLcode code);
  // Hands this error to the finished function, with the response if its head arrived.
  void fail(Error error);

 private:
  struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
  };
  struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
  };
  using List = std::unique_ptr<curl_slist, ListDeleter>;

  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static int onProgress(void* self, curl_off_t downTotal, curl_off_t down, curl_off_t upTotal,
                        curl_off_t up);
  static int onRequestReady(void* self, char* remoteAddress, char* localAddress, int remotePort,
                            int localPort);

  Status configure(CURLSH* caches);
  bool startsSecure() const { return request_.url.scheme() == "https"; }
  std::optional<HttpResponse> response() const;
  void deliver(Outcome outcome);

  const std::uint64_t id_;
  const Request request_;
  const Configuration configuration_;
  const std::shared_ptr<const DevelopmentSettings> settings_;
  Finished finished_;

  std::unique_ptr<CURL, EasyDeleter> easy_;
  ConnectionBudget* budget_ = nullptr;  // not owned; set by prepare()
  std::optional<ConnectionBudget::Connection> connection_;
  List headerList_;
  List connectTo_;
  char errorText_[CURL_ERROR_SIZE] = {};

  // The last response so far: a redirect or an interim answer starts anew.
  HttpResponse::Headers headers_;
  bool headComplete_ = false;
  std::size_t headBytes_ = 0;
  bool headTooLarge_ = false;
  std::string body_;
  std::size_t bodyBytes_ = 0;  // kept or not
  bool bodyTooLarge_ = false;

  Clock::time_point lastActivity_;
  curl_off_t downloaded_ = 0;
  curl_off_t uploaded_ = 0;
  bool requestReady_ = false;  // onRequestReady ran
  bool vetoed_ = false;        // beforeSending refused the send
};

}  // namespace ovix::net
