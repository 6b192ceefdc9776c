#include "platform/net/NetworkThread.hpp"

#include <algorithm>
#include <chrono>
#include <future>
#include <utility>

#include "Limits.hpp"
#include "platform/dispatch/AtExit.hpp"
#include "platform/net/DevelopmentSettings.hpp"
#include "platform/net/URLError.hpp"

namespace ovix::net {
namespace {

// The longest the loop sleeps without news; libcurl's own timers and
// wake-ups cut it short.
constexpr int kMaxPollMs = 1000;

CURLM* makeMulti() {
  CURLM* multi = curl_multi_init();
  if (multi == nullptr) return nullptr;
  const auto limit = static_cast<long>(limits::kMaximumConnections);
  // The hard bound on open connections, idle ones included: beyond it libcurl
  // closes the oldest idle connection, or holds the transfer back.
  curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, limit);
  curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, limit);
  curl_multi_setopt(multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
  return multi;
}

}  // namespace

NetworkThread& NetworkThread::shared() {
  // Never destroyed: threads still running at exit may hand it transfers,
  // which it drops once stopped.
  static NetworkThread* const instance = new NetworkThread;
  static const dispatch::AtExit stop([] { instance->stop(); });
  return *instance;
}

NetworkThread::NetworkThread() : budget_(limits::kMaximumConnections) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  // The settings, and the files they name, must outlive this thread at exit.
  developmentSettings();
  caches_ = std::make_unique<SharedCaches>();
  multi_.reset(makeMulti());
  thread_ = std::thread([this] { run(); });
}

NetworkThread::~NetworkThread() {
  stop();
}

void NetworkThread::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    curl_multi_wakeup(multi_.get());
  }
  if (thread_.get_id() == std::this_thread::get_id()) return;  // never: no host code runs here
  thread_.join();
  // Only this thread touches the transfers now. Dropping them destroys their
  // handlers without calling them.
  for (auto& [id, transfer] : transfers_) curl_multi_remove_handle(multi_.get(), transfer->easy());
  transfers_.clear();
  waiting_.clear();
  std::vector<Command> commands;
  {
    std::lock_guard lock(mutex_);
    commands.swap(commands_);
  }
  commands.clear();
  multi_.reset();
  caches_.reset();  // after the connections that used it
  curl_global_cleanup();
}

void NetworkThread::start(std::unique_ptr<Transfer> transfer) {
  post(Command{std::move(transfer), 0, nullptr});
}

void NetworkThread::abandon(std::uint64_t transferId) {
  post(Command{nullptr, transferId, nullptr});
}

void NetworkThread::post(Command command) {
  std::lock_guard lock(mutex_);
  // Once stopping, the command goes when this returns, after the lock.
  if (stopping_) return;
  commands_.push_back(std::move(command));
  // Under the lock, so that stop() cannot free the multi handle meanwhile.
  curl_multi_wakeup(multi_.get());
}

void NetworkThread::run() {
  for (;;) {
    std::vector<Command> commands;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      commands.swap(commands_);
    }
    for (Command& command : commands) apply(std::move(command));
    int running = 0;
    curl_multi_perform(multi_.get(), &running);
    collectFinished();
    expireIdle();
    expireKeptConnections();
    curl_multi_poll(multi_.get(), nullptr, 0, pollTimeoutMs(), nullptr);
  }
}

void NetworkThread::apply(Command command) {
  if (command.closeKept) {
    dropKeptConnections();
    command.closeKept->set_value();
  } else if (command.transfer) {
    waiting_.push_back(std::move(command.transfer));
  } else if (!remove(command.abandonId)) {
    std::erase_if(waiting_, [id = command.abandonId](const auto& t) { return t->id() == id; });
  }
  admit();
}

void NetworkThread::admit() {
  while (!waiting_.empty() && budget_.hasRoom()) {
    std::unique_ptr<Transfer> transfer = std::move(waiting_.front());
    waiting_.pop_front();
    launch(std::move(transfer));
  }
  waitingCount_.store(waiting_.size(), std::memory_order_relaxed);
}

void NetworkThread::launch(std::unique_ptr<Transfer> transfer) {
  // Prepared now, so that its time-outs count from here.
  if (auto error = transfer->prepare(caches_->handle(), budget_)) {
    transfer->fail(std::move(*error));
    return;
  }
  if (curl_multi_add_handle(multi_.get(), transfer->easy()) != CURLM_OK) {
    transfer->fail(urlError(kUnknown));
    return;
  }
  budget_.started();
  connectionsMayBeKept_ = true;
  const std::uint64_t id = transfer->id();
  transfers_.emplace(id, std::move(transfer));
}

void NetworkThread::collectFinished() {
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    // The message dies with the handle's removal.
    CURL* easy = message->easy_handle;
    const CURLcode code = message->data.result;
    void* owner = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &owner);
    if (auto transfer = remove(static_cast<Transfer*>(owner)->id())) transfer->finish(code);
  }
  admit();
}

void NetworkThread::expireIdle() {
  const auto now = Transfer::Clock::now();
  std::vector<std::uint64_t> expired;
  for (const auto& [id, transfer] : transfers_) {
    auto deadline = transfer->idleDeadline();
    if (deadline && *deadline <= now) expired.push_back(id);
  }
  for (std::uint64_t id : expired) {
    if (auto transfer = remove(id)) transfer->fail(urlError(kTimedOut));
  }
  admit();
}

int NetworkThread::pollTimeoutMs() const {
  const auto now = Transfer::Clock::now();
  auto wait = std::chrono::milliseconds(kMaxPollMs);
  for (const auto& [id, transfer] : transfers_) {
    if (auto deadline = transfer->idleDeadline()) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now);
      wait = std::clamp(left, std::chrono::milliseconds(0), wait);
    }
  }
  return static_cast<int>(wait.count());
}

std::unique_ptr<Transfer> NetworkThread::remove(std::uint64_t id) {
  auto found = transfers_.find(id);
  if (found == transfers_.end()) return nullptr;
  std::unique_ptr<Transfer> transfer = std::move(found->second);
  transfers_.erase(found);
  curl_multi_remove_handle(multi_.get(), transfer->easy());
  budget_.ended(transfer->connection());
  return transfer;
}

void NetworkThread::expireKeptConnections() {
  const auto now = Transfer::Clock::now();
  if (!connectionsMayBeKept_ || !transfers_.empty() || !waiting_.empty()) {
    idleSince_.reset();
    return;
  }
  if (!idleSince_) idleSince_ = now;
  if (now - *idleSince_ >= std::chrono::seconds(limits::kIdleConnectionSeconds)) {
    dropKeptConnections();
  }
}

void NetworkThread::dropKeptConnections() {
  if (!transfers_.empty()) return;
  idleSince_.reset();
  connectionsMayBeKept_ = false;
  // libcurl closes a kept connection only when it looks for one to reuse, so
  // without transfers they would stay open: a new multi handle starts with
  // none. The shared caches keep the TLS sessions and names.
  std::unique_ptr<CURLM, MultiDeleter> kept;
  {
    std::lock_guard lock(mutex_);
    CURLM* fresh = makeMulti();
    if (fresh == nullptr) return;
    kept = std::exchange(multi_, std::unique_ptr<CURLM, MultiDeleter>(fresh));
  }
}

void NetworkThread::closeIdleConnections() {
  auto closed = std::make_shared<std::promise<void>>();
  auto done = closed->get_future();
  post(Command{nullptr, 0, closed});
  // Never set when stopping, where the promise goes unset.
  done.wait_for(std::chrono::seconds(10));
}

}  // namespace ovix::net
