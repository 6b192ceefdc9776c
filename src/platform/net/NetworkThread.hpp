#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <optional>

#include "platform/net/ConnectionBudget.hpp"
#include "platform/net/SharedCaches.hpp"
#include "platform/net/Transfer.hpp"

namespace ovix::net {

// The SDK's one network thread, driving every transfer through one libcurl
// multi handle. Started on first use and never destroyed. At exit it stops:
// the transfers in flight, and any handed to it later, are dropped without
// finishing, their handlers destroyed uncalled.
//
// The transfers share one TLS session cache and one DNS cache. At most
// limits::kMaximumConnections connections are open at once, idle ones kept
// for reuse included; a transfer waits, in order of arrival, while running
// transfers hold them all, and its time-outs start when it runs. Streams of
// one HTTP/2 connection hold one. Kept connections are closed after
// limits::kIdleConnectionSeconds without transfers.
class NetworkThread {
 public:
  // Starts the thread on the first call. Any thread.
  static NetworkThread& shared();

  // Stops.
  ~NetworkThread();
  NetworkThread(const NetworkThread&) = delete;
  NetworkThread& operator=(const NetworkThread&) = delete;

  // Runs the transfer; its finished function is called on the network thread.
  // Any thread; never blocks on the network.
  void start(std::unique_ptr<Transfer> transfer);
  // Drops the transfer without finishing it. Any thread.
  void abandon(std::uint64_t transferId);
  // Joins the thread and drops every transfer. Later calls do nothing. Any
  // thread but the network thread.
  void stop();

  // Closes the connections kept for reuse, unless transfers run, and returns
  // once done (after 10 s at most). Any thread but the network thread.
  void closeIdleConnections();

  // Transfers waiting for a connection. Any thread.
  std::size_t waiting() const { return waitingCount_.load(std::memory_order_relaxed); }

 private:
  struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
  };
  // A transfer to start, the id of one to abandon, or kept connections to close.
  struct Command {
    std::unique_ptr<Transfer> transfer;
    std::uint64_t abandonId = 0;
    std::shared_ptr<std::promise<void>> closeKept;  // set once closed
  };

  NetworkThread();
  void post(Command command);
  void run();
  void apply(Command command);
  // Runs waiting transfers while connections are free.
  void admit();
  void launch(std::unique_ptr<Transfer> transfer);
  void collectFinished();
  void expireIdle();
  int pollTimeoutMs() const;
  std::unique_ptr<Transfer> remove(std::uint64_t id);
  // Closes kept connections once nothing has run for a while.
  void expireKeptConnections();
  void dropKeptConnections();

  std::unique_ptr<SharedCaches> caches_;        // outlives multi_ and its connections
  std::unique_ptr<CURLM, MultiDeleter> multi_;  // replaced under mutex_

  std::mutex mutex_;
  std::vector<Command> commands_;  // guarded by mutex_
  bool stopping_ = false;          // guarded by mutex_

  // Used on the network thread only.
  std::unordered_map<std::uint64_t, std::unique_ptr<Transfer>> transfers_;
  std::deque<std::unique_ptr<Transfer>> waiting_;
  ConnectionBudget budget_;
  bool connectionsMayBeKept_ = false;                     // a transfer ran since the last closing
  std::optional<Transfer::Clock::time_point> idleSince_;  // since nothing ran
  std::atomic<std::size_t> waitingCount_{0};

  std::thread thread_;
};

}  // namespace ovix::net
