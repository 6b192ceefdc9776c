#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

// Impression beacons kept in an SQLite file until an answer settles them, so
// that one that met no network, or a host that left, does not lose them. The
// SDK's only SQLite code.
namespace ovix {

// One stored beacon.
struct StoredBeacon {
  std::int64_t id = 0;
  std::string uuid;
  std::string url;
  std::string userAgent;
  std::int64_t impressedAt = 0;  // Unix time in milliseconds
  int attempts = 0;              // made so far
};

// A store file opened by this process. Each row is pending (nobody's),
// claimed by one owner (an instance of this class, alive while it holds its
// lock file: see ownerlock) or settled (its request was written, and it is
// never sent again). Claims of an owner that died are made pending again by
// the next claimPending. Every change is one transaction. Any thread, never
// the main queue: calls block on the file.
class BeaconStore {
 public:
  // Opens or creates the store at `path` in WAL mode. A file that is not a
  // readable store is logged, renamed to "PATH.corrupt" and made anew. Null,
  // logged, when no store can be had there.
  static std::shared_ptr<BeaconStore> open(const std::string& path);
  ~BeaconStore();
  BeaconStore(const BeaconStore&) = delete;
  BeaconStore& operator=(const BeaconStore&) = delete;

  // Stores a beacon claimed by this owner: its id, 0 when the ad's beacon
  // to `url` is stored already (or was dropped at once), nothing on failure
  // (logged). Beyond
  // limits::kMaximumStoredBeacons the oldest rows are dropped, each logged.
  std::optional<std::int64_t> add(const std::string& uuid, const std::string& url,
                                  const std::string& userAgent, std::int64_t impressedAt);
  // Claims the pending beacons impressed at or after `oldest`, oldest first,
  // once claims of dead owners are pending again; drops their settled rows
  // and the pending rows older than `oldest`.
  std::vector<StoredBeacon> claimPending(std::int64_t oldest);
  // Marks a beacon of this owner settled. False when it is no longer this
  // owner's to send, or on failure.
  bool settle(std::int64_t id);
  // Records the attempts made on a beacon of this owner.
  void setAttempts(std::int64_t id, int attempts);
  // Removes a beacon of this owner.
  void remove(std::int64_t id);
  // Makes this owner's claims pending, for the next open to send.
  void releaseClaims();

 private:
  struct Closer {
    void operator()(sqlite3* db) const;
  };
  using Database = std::unique_ptr<sqlite3, Closer>;

  BeaconStore(std::string path, Database db, int lockFd, std::string owner);
  // Runs `change` in a BEGIN IMMEDIATE transaction, committed when it
  // returns true; false when anything failed (logged as `what`).
  template <class Change>
  bool transaction(const char* what, Change change);

  const std::string path_;
  const std::string owner_;
  const std::string lockPath_;
  const int lockFd_;  // holds the owner's lock while this lives

  std::mutex mutex_;
  Database db_;  // guarded by mutex_
};

}  // namespace ovix
