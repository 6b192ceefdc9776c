#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Request.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "ovix/platform/Error.hpp"
#include "ovix/platform/HttpResponse.hpp"
#include "ovix/platform/Network.hpp"

// HTTP(S) transfers in the manner of a URL session: a session per piece of
// work, data tasks with a completion handler, time-outs for the whole transfer
// and for the wait for the next data. Every transfer of the process is driven
// by one network thread through one libcurl multi handle.
namespace ovix::net {

// Error codes of Error::kURLDomain.
enum URLErrorCode : std::int64_t {
  kCancelled = -999,
  kBadURL = -1000,
  kTimedOut = -1001,
  kUnsupportedURL = -1002,
  kCannotFindHost = -1003,
  kCannotConnectToHost = -1004,
  kNetworkConnectionLost = -1005,
  kHTTPTooManyRedirects = -1007,
  kBadServerResponse = -1011,
  kDataLengthExceedsMaximum = -1103,
  kSecureConnectionFailed = -1200,
  kServerCertificateHasBadDate = -1201,
  kServerCertificateUntrusted = -1202,
};

Error urlError(URLErrorCode code);

struct Configuration {
  // Bounds the wait for the next data (connecting included), in seconds.
  double timeoutIntervalForRequest = 60;
  // Bounds the whole transfer, in seconds.
  double timeoutIntervalForResource = 7 * 24 * 3600;
  // A body larger than this fails the transfer with kDataLengthExceedsMaximum.
  std::size_t maximumBodySize = 8 << 20;
};

// Data (absent on failure), the HTTP response (absent when none arrived), the
// error (absent on success).
using CompletionHandler = std::function<void(
    std::optional<std::string> data, std::optional<HttpResponse> response,
    std::optional<Error> error)>;

class Session;

// One transfer of a session. Made suspended; resume() starts it.
class DataTask {
 public:
  virtual ~DataTask() = default;
  // Starts the transfer. Any thread.
  virtual void resume() = 0;
  // Ends the transfer; its handler gets kCancelled unless it already completed.
  virtual void cancel() = 0;
};

class Session {
 public:
  // A session whose completion handlers run on `delegateQueue`. With none,
  // the queue current on the calling thread (the main queue on the main
  // thread), else a serial queue of the session's own. Any thread.
  static std::shared_ptr<Session> make(const Configuration& configuration,
                                       std::shared_ptr<dispatch::Queue> delegateQueue = nullptr);

  virtual ~Session() = default;

  // A new suspended task. The session and the task stay alive until the
  // handler has run. Only http and https URLs are transferred, on redirects
  // too; TLS is always verified.
  virtual std::shared_ptr<DataTask> dataTask(Request request, CompletionHandler handler) = 0;
  // Lets tasks already made finish; later dataTask calls fail with kCancelled.
  virtual void finishTasksAndInvalidate() = 0;
  // Cancels every unfinished task and invalidates the session.
  virtual void invalidateAndCancel() = 0;
};

}  // namespace ovix::net
