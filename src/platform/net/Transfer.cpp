#include "platform/net/Transfer.hpp"

#include <strings.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>

#include "Limits.hpp"
#include "platform/net/CurlError.hpp"
#include "platform/net/URLError.hpp"

namespace ovix::net {
namespace {

std::atomic<std::uint64_t> lastId{0};

// None for a limit of zero or less, which means no limit.
std::optional<long> milliseconds(double seconds) {
  if (!(seconds > 0)) return std::nullopt;
  const double ms = std::ceil(seconds * 1000);
  if (!(ms < static_cast<double>(LONG_MAX))) return LONG_MAX;
  return static_cast<long>(ms);
}

bool isToken(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    const bool letterOrDigit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && std::strchr("!#$%&'*+-.^_`|~", c) == nullptr) return false;
  }
  return true;
}

bool isFieldValue(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

// A response head (status line and fields) larger than this is not an
// answer worth reading.
constexpr std::size_t kMaximumHeadBytes = 64 << 10;

Error badRequest(const std::string& what) {
  return Error(Error::kURLDomain, kBadURL, "The request's " + what + " is not valid.");
}

}  // namespace

Transfer::Transfer(Request request, const Configuration& configuration,
                   std::shared_ptr<const DevelopmentSettings> settings, Finished finished)
    : id_(++lastId),
      request_(std::move(request)),
      configuration_(configuration),
      settings_(std::move(settings)),
      finished_(std::move(finished)) {}

Transfer::~Transfer() = default;

Status Transfer::prepare(CURLSH* caches, ConnectionBudget& budget) {
  lastActivity_ = Clock::now();
  budget_ = &budget;
  if (!isToken(request_.method)) return badRequest("method \"" + request_.method + "\"");
  for (const auto& [name, value] : request_.headers) {
    if (!isToken(name) || !isFieldValue(value)) return badRequest("header field \"" + name + "\"");
  }
  easy_.reset(curl_easy_init());
  if (!easy_) return urlError(kUnknown);
  return configure(caches);
}

Status Transfer::configure(CURLSH* caches) {
  CURL* easy = easy_.get();
  CURLcode result = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (result == CURLE_OK) result = curl_easy_setopt(easy, option, value);
  };
  auto append = [&](List& list, const std::string& line) {
    curl_slist* head = curl_slist_append(list.get(), line.c_str());
    if (head == nullptr) {
      result = CURLE_OUT_OF_MEMORY;
      return;
    }
    (void)list.release();
    list.reset(head);
  };

  set(CURLOPT_PRIVATE, static_cast<void*>(this));
  set(CURLOPT_URL, request_.url.string().c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  // Whoever sits on a cleartext leg would supply the answer: a secure start
  // stays secure.
  set(CURLOPT_REDIR_PROTOCOLS_STR, startsSecure() ? "https" : "http,https");
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, 10L);
  set(CURLOPT_NOSIGNAL, 1L);
  // A transfer dropped or timed out while its name is still being resolved
  // leaves the resolver thread to finish alone: otherwise the network thread,
  // and so every transfer and the exit, waits for the name server.
  set(CURLOPT_QUICK_EXIT, 1L);
  set(CURLOPT_ERRORBUFFER, errorText_);
  if (caches != nullptr) set(CURLOPT_SHARE, caches);
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
  if (configuration_.reusesConnections) {
    // Waits for a connection being made to the host to tell whether it
    // multiplexes, rather than opening another beside it.
    set(CURLOPT_PIPEWAIT, 1L);
    set(CURLOPT_MAXAGE_CONN, static_cast<long>(limits::kIdleConnectionSeconds));
  } else {
    set(CURLOPT_FRESH_CONNECT, 1L);
    set(CURLOPT_FORBID_REUSE, 1L);
  }
  set(CURLOPT_PREREQFUNCTION, &Transfer::onRequestReady);
  set(CURLOPT_PREREQDATA, static_cast<void*>(this));
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (!settings_->caFile.empty()) {
    // From a CA file alone libcurl builds the trust store once and caches it;
    // with a CA path too it would parse the whole file for every connection.
    set(CURLOPT_CAINFO, settings_->caFile.c_str());
    set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
  }
  for (const std::string& entry : settings_->connectTo) append(connectTo_, entry);
  if (connectTo_) set(CURLOPT_CONNECT_TO, connectTo_.get());

  if (auto limit = milliseconds(configuration_.timeoutIntervalForResource)) {
    set(CURLOPT_TIMEOUT_MS, *limit);
  }
  // Refuses a body announced too large at once; onBody catches the rest. A
  // HEAD answer announces a body it does not carry.
  if (request_.method != "HEAD") {
    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(configuration_.maximumBodySize));
  }

  set(CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(this));
  set(CURLOPT_WRITEFUNCTION, &Transfer::onBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(this));
  set(CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
  set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
  set(CURLOPT_NOPROGRESS, 0L);

  const std::string& method = request_.method;
  const bool sendsBody =
      !request_.body.empty() || method == "POST" || method == "PUT" || method == "PATCH";
  if (method == "HEAD") {
    set(CURLOPT_NOBODY, 1L);
  } else if (method == "GET" && !sendsBody) {
    set(CURLOPT_HTTPGET, 1L);
  } else {
    // POST as such lets a 301, 302 or 303 turn it into a GET, as browsers do.
    if (method != "POST") set(CURLOPT_CUSTOMREQUEST, method.c_str());
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request_.body.size()));
    set(CURLOPT_POSTFIELDS, request_.body.data());
  }

  // The request carries exactly its own fields: libcurl's defaults are removed
  // unless the request sets them.
  auto has = [&](std::string_view name) {
    for (const auto& header : request_.headers) {
      if (sameName(header.first, name)) return true;
    }
    return false;
  };
  for (const auto& [name, value] : request_.headers) {
    append(headerList_, value.empty() ? name + ";" : name + ": " + value);
  }
  for (const char* name : {"Accept", "Expect", "Content-Type"}) {
    if (!has(name)) append(headerList_, std::string(name) + ":");
  }
  set(CURLOPT_HTTPHEADER, headerList_.get());

  if (result != CURLE_OK) {
    return Error(Error::kURLDomain, kUnknown,
                 std::string("unknown error (") + curl_easy_strerror(result) + ")");
  }
  return std::nullopt;
}

std::optional<Transfer::Clock::time_point> Transfer::idleDeadline() const {
  auto limit = milliseconds(configuration_.timeoutIntervalForRequest);
  if (!limit) return std::nullopt;
  // A limit beyond the clock's range (a host's "never") is no limit; adding it
  // would overflow.
  const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() -
                                                                          lastActivity_);
  if (*limit >= room.count()) return std::nullopt;
  return lastActivity_ + std::chrono::milliseconds(*limit);
}

size_t Transfer::onHeader(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  const size_t length = size * count;
  transfer.lastActivity_ = Clock::now();
  transfer.headBytes_ += length;
  if (transfer.headBytes_ > kMaximumHeadBytes) {
    transfer.headTooLarge_ = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  const std::string_view line = trimmed(std::string_view(data, length));
  if (line.starts_with("HTTP/")) {
    transfer.headBytes_ = length;
    transfer.headers_.clear();
    transfer.headComplete_ = false;
    transfer.body_.clear();
    transfer.bodyBytes_ = 0;
  } else if (transfer.headComplete_) {
    // Trailer fields of a chunked body are not part of the head.
  } else if (line.empty()) {
    transfer.headComplete_ = true;
  } else if (data[0] == ' ' || data[0] == '\t') {
    if (!transfer.headers_.empty()) {
      std::string& value = transfer.headers_.back().second;
      value += value.empty() ? "" : " ";
      value += line;
    }
  } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
    transfer.headers_.emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
  }
  return length;
}

size_t Transfer::onBody(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  const size_t length = size * count;
  transfer.lastActivity_ = Clock::now();
  // A body not kept is still bounded: it takes the connection and the time.
  if (length > transfer.configuration_.maximumBodySize - transfer.bodyBytes_) {
    transfer.bodyTooLarge_ = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  transfer.bodyBytes_ += length;
  if (transfer.configuration_.keepsBody) transfer.body_.append(data, length);
  return length;
}

int Transfer::onProgress(void* self, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto& transfer = *static_cast<Transfer*>(self);
  if (down != transfer.downloaded_ || up != transfer.uploaded_) {
    transfer.downloaded_ = down;
    transfer.uploaded_ = up;
    transfer.lastActivity_ = Clock::now();
  }
  return 0;
}

int Transfer::onRequestReady(void* self, char* remoteAddress, char* localAddress, int remotePort,
                             int localPort) {
  auto& transfer = *static_cast<Transfer*>(self);
  std::string connection = std::string(localAddress) + " " + std::to_string(localPort) + " " +
                           remoteAddress + " " + std::to_string(remotePort);
  transfer.budget_->moved(transfer.connection_, connection);
  transfer.connection_ = std::move(connection);
  // Called again for each redirect: only the first request asks.
  if (transfer.requestReady_) return CURL_PREREQFUNC_OK;
  transfer.requestReady_ = true;
  const auto& beforeSending = transfer.configuration_.beforeSending;
  if (beforeSending && !beforeSending()) {
    transfer.vetoed_ = true;
    return CURL_PREREQFUNC_ABORT;
  }
  return CURL_PREREQFUNC_OK;
}

std::optional<HttpResponse> Transfer::response() const {
  if (!headComplete_ || !easy_) return std::nullopt;
  char* url = nullptr;
  long status = 0;
  curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &url);
  curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status);
  return HttpResponse(url != nullptr ? url : request_.url.string(), status, headers_);
}

void Transfer::finish(CURLcode code) {
  if (code == CURLE_OK) {
    deliver(Outcome{std::move(body_), response(), std::nullopt});
    return;
  }
  if (bodyTooLarge_) {
    fail(urlError(kDataLengthExceedsMaximum));
    return;
  }
  if (headTooLarge_) {
    fail(urlError(kBadServerResponse));
    return;
  }
  if (vetoed_) {
    fail(urlError(kCancelled));
    return;
  }
  FailureContext context;
  char* url = nullptr;
  curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &context.statusCode);
  curl_easy_getinfo(easy_.get(), CURLINFO_SSL_VERIFYRESULT, &context.certificateVerifyResult);
  curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &url);
  if (url != nullptr) {
    const bool cleartext = ::strncasecmp(url, "http://", 7) == 0;
    context.effectiveURLIsHTTP = cleartext || ::strncasecmp(url, "https://", 8) == 0;
    context.insecureRedirect = cleartext && startsSecure();
  }
  context.detail = errorText_;
  fail(errorForCurl(code, context));
}

void Transfer::fail(Error error) {
  deliver(Outcome::failure(std::move(error), response()));
}

void Transfer::deliver(Outcome outcome) {
  Finished finished = std::move(finished_);
  finished_ = nullptr;
  if (finished) finished(std::move(outcome));
}

}  // namespace ovix::net
