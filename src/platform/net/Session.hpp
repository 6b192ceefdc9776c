#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ovix/platform/Dispatch.hpp"
#include "ovix/platform/Error.hpp"
#include "ovix/platform/HttpResponse.hpp"
#include "ovix/platform/Network.hpp"
#include "platform/net/Request.hpp"
#include "platform/net/URLError.hpp"

// HTTP(S) transfers in the manner of a URL session: a session per piece of
// work, data tasks with a completion handler, time-outs for the whole transfer
// and for the wait for the next data. Every transfer of the process is driven
// by one network thread through one libcurl multi handle.
namespace ovix::net {

// Limits of a session's transfers. A time-out of zero or less sets no bound;
// running out fails the transfer with kTimedOut.
struct Configuration {
  // Bounds the wait for the next data (connecting included), in seconds.
  double timeoutIntervalForRequest = 60;
  // Bounds the whole transfer, redirects included, in seconds.
  double timeoutIntervalForResource = 7 * 24 * 3600;
  // A body larger than this fails the transfer with kDataLengthExceedsMaximum.
  std::size_t maximumBodySize = 8 << 20;
  // Whether the body is kept: without it the handler gets "" whatever came,
  // and nothing of it is held (maximumBodySize still bounds it).
  bool keepsBody = true;
  // Whether the transfer may ride a connection an earlier one left open, as a
  // later request on HTTP/1.1 or a stream beside others on HTTP/2, and leave
  // its own open for later ones. Without, it opens a connection of its own
  // and closes it after. Either way a TLS session is resumed where one is
  // kept for the host.
  bool reusesConnections = true;
  // Called once per transfer on the network thread, just before its first
  // request is written on a connection (after the name was resolved, the
  // connection stood and TLS was agreed). False fails the transfer with
  // kCancelled without sending anything. Must be quick: every transfer of
  // the process waits for it.
  std::function<bool()> beforeSending = nullptr;
};

// Data (absent on failure, "" for an empty body), the final HTTP response
// (absent when its head did not arrive), the error (absent on success). Runs
// on the session's delegate queue, once per task.
using CompletionHandler =
    std::function<void(std::optional<std::string> data, std::optional<HttpResponse> response,
                       std::optional<Error> error)>;

class Session;

// One transfer of a session. Made suspended; resume() starts it. Its handler
// runs once: with the outcome, or with kCancelled.
class DataTask {
 public:
  virtual ~DataTask() = default;
  // Starts the transfer; later calls do nothing. Any thread; never blocks.
  virtual void resume() = 0;
  // Ends the transfer, resumed or not; its handler gets kCancelled unless it
  // already completed. Any thread.
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
  // too (others give kUnsupportedURL), and an https transfer is redirected to
  // https only (else kAppTransportSecurityRequiresSecureConnection); TLS is
  // always verified. A method or header field that cannot go on the wire
  // gives kBadURL; a response head beyond 64 KiB, kBadServerResponse. Any
  // thread.
  virtual std::shared_ptr<DataTask> dataTask(Request request, CompletionHandler handler) = 0;
  // Lets tasks already made finish; tasks made later fail with kCancelled
  // when resumed. Any thread.
  virtual void finishTasksAndInvalidate() = 0;
  // Cancels every unfinished task and invalidates the session. Any thread.
  virtual void invalidateAndCancel() = 0;
};

}  // namespace ovix::net
