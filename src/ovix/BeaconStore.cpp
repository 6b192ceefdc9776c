#include "ovix/BeaconStore.hpp"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <utility>

#include "Limits.hpp"
#include "ovix/OwnerLock.hpp"
#include "ovix/common/Log.hpp"
#include "platform/identity/Uuid.hpp"

namespace ovix {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS beacons("
    " id INTEGER PRIMARY KEY,"
    " uuid TEXT NOT NULL,"
    " url TEXT NOT NULL,"
    " user_agent TEXT NOT NULL,"
    " impressed_at INTEGER NOT NULL,"
    " attempts INTEGER NOT NULL DEFAULT 0,"
    " state INTEGER NOT NULL,"  // 0 pending, 1 claimed, 2 settled
    " owner TEXT,"
    " UNIQUE(uuid, url))";
constexpr int kPending = 0, kClaimed = 1, kSettled = 2;
// How long a call waits for another process's write to end, in milliseconds.
constexpr int kBusyTimeoutMs = 2000;

void storeLog(const std::string& message) {
  ULog("BeaconStore", message);
}

// One prepared statement, bound by position from 1.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) statement_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return statement_ != nullptr; }
  Statement& bind(std::int64_t value) {
    if (statement_) sqlite3_bind_int64(statement_, ++bound_, value);
    return *this;
  }
  Statement& bind(const std::string& text) {
    if (statement_) {
      sqlite3_bind_text(statement_, ++bound_, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    }
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error.
  int step() { return statement_ ? sqlite3_step(statement_) : sqlite3_errcode(db_); }
  // Runs it to its end; whether that worked.
  bool run() {
    int result;
    while ((result = step()) == SQLITE_ROW) {
    }
    return result == SQLITE_DONE;
  }
  std::int64_t integer(int column) { return sqlite3_column_int64(statement_, column); }
  std::string text(int column) {
    const auto* bytes = sqlite3_column_text(statement_, column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes),
                               static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                 : std::string();
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
  int bound_ = 0;
};

// Opens the file and readies the schema; the SQLite result code of the
// first step that failed.
int openDatabase(const std::string& path, sqlite3*& db) {
  int result = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (result != SQLITE_OK) return result;
  sqlite3_extended_result_codes(db, 0);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  for (const char* sql : {"PRAGMA journal_mode=WAL", kSchema}) {
    result = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) return result;
  }
  Statement check(db, "PRAGMA quick_check");
  if (check.step() != SQLITE_ROW) return sqlite3_errcode(db);
  return check.text(0) == "ok" ? SQLITE_OK : SQLITE_CORRUPT;
}

}  // namespace

void BeaconStore::Closer::operator()(sqlite3* db) const {
  sqlite3_close_v2(db);
}

std::shared_ptr<BeaconStore> BeaconStore::open(const std::string& path) {
  sqlite3* raw = nullptr;
  int result = openDatabase(path, raw);
  Database db(raw);
  // Another process's write, or no memory, says nothing about the file; and
  // only a file is moved aside, never a folder or a device.
  std::error_code ignored;
  if (result != SQLITE_OK && result != SQLITE_BUSY && result != SQLITE_LOCKED &&
      result != SQLITE_NOMEM && std::filesystem::is_regular_file(path, ignored)) {
    storeLog("The beacon store " + path + " is not readable (" + sqlite3_errstr(result) +
             "): replacing it.");
    db.reset();
    const std::string aside = path + ".corrupt";
    const bool renamed = std::rename(path.c_str(), aside.c_str()) == 0;
    std::remove((path + "-wal").c_str());
    std::remove((path + "-shm").c_str());
    if (!renamed) storeLog("The beacon store " + path + " cannot be renamed aside.");
    raw = nullptr;
    result = openDatabase(path, raw);
    db.reset(raw);
  }
  if (result != SQLITE_OK) {
    storeLog("No beacon store at " + path + ": " + sqlite3_errstr(result) + ".");
    return nullptr;
  }
  std::string owner = identity::makeUuidString();
  const int fd = ownerlock::take(ownerlock::pathOf(path, owner));
  if (fd < 0) {
    storeLog("No beacon store at " + path + ": its owner lock cannot be taken.");
    return nullptr;
  }
  return std::shared_ptr<BeaconStore>(new BeaconStore(path, std::move(db), fd, std::move(owner)));
}

BeaconStore::BeaconStore(std::string path, Database db, int lockFd, std::string owner)
    : path_(std::move(path)),
      owner_(std::move(owner)),
      lockPath_(ownerlock::pathOf(path_, owner_)),
      lockFd_(lockFd),
      db_(std::move(db)) {}

BeaconStore::~BeaconStore() {
  db_.reset();
  ::unlink(lockPath_.c_str());
  ::close(lockFd_);
}

template <class Change>
bool BeaconStore::transaction(const char* what, Change change) {
  sqlite3* db = db_.get();
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    storeLog(std::string("The beacon store cannot ") + what + ": " + sqlite3_errmsg(db) + ".");
    return false;
  }
  if (change(db) && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
    return true;
  }
  storeLog(std::string("The beacon store cannot ") + what + ": " + sqlite3_errmsg(db) + ".");
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

std::optional<std::int64_t> BeaconStore::add(const std::string& uuid, const std::string& url,
                                             const std::string& userAgent,
                                             std::int64_t impressedAt) {
  std::lock_guard lock(mutex_);
  std::optional<std::int64_t> id;
  const bool stored = transaction("store a beacon", [&](sqlite3* db) {
    Statement insert(db,
                     "INSERT OR IGNORE INTO beacons"
                     " (uuid, url, user_agent, impressed_at, state, owner)"
                     " VALUES (?, ?, ?, ?, ?, ?)");
    if (!insert.bind(uuid)
             .bind(url)
             .bind(userAgent)
             .bind(impressedAt)
             .bind(kClaimed)
             .bind(owner_)
             .run()) {
      return false;
    }
    id = sqlite3_changes(db) == 1 ? sqlite3_last_insert_rowid(db) : 0;
    Statement oldest(db,
                     "SELECT id, uuid, url FROM beacons ORDER BY id"
                     " LIMIT max(0, (SELECT count(*) FROM beacons) - ?)");
    oldest.bind(static_cast<std::int64_t>(limits::kMaximumStoredBeacons));
    std::vector<std::int64_t> dropped;
    int result;
    while ((result = oldest.step()) == SQLITE_ROW) {
      dropped.push_back(oldest.integer(0));
      storeLog("The beacon store is full: dropped the beacon of " + oldest.text(1) + " to " +
               oldest.text(2) + ".");
    }
    if (result != SQLITE_DONE) return false;
    for (std::int64_t gone : dropped) {
      if (!Statement(db, "DELETE FROM beacons WHERE id = ?").bind(gone).run()) return false;
      if (id == gone) id = 0;
    }
    return true;
  });
  return stored ? id : std::nullopt;
}

std::vector<StoredBeacon> BeaconStore::claimPending(std::int64_t oldest) {
  std::lock_guard lock(mutex_);
  std::vector<StoredBeacon> claimed;
  std::vector<int> deadLocks;  // held through the transaction
  const bool done = transaction("claim pending beacons", [&](sqlite3* db) {
    Statement owners(db, "SELECT DISTINCT owner FROM beacons WHERE state != ? AND owner != ?");
    owners.bind(kPending).bind(owner_);
    std::set<std::string> dead;
    int result;
    while ((result = owners.step()) == SQLITE_ROW) {
      const std::string owner = owners.text(0);
      const std::string lockPath = ownerlock::pathOf(path_, owner);
      const int fd = ownerlock::isOwnerId(owner) ? ownerlock::lockIfDead(lockPath) : -2;
      if (fd == -1) continue;
      dead.insert(owner);
      if (fd >= 0) deadLocks.push_back(fd);
    }
    if (result != SQLITE_DONE) return false;
    for (const std::string& owner : dead) {
      if (!Statement(db, "DELETE FROM beacons WHERE owner = ? AND state = ?")
               .bind(owner)
               .bind(kSettled)
               .run() ||
          !Statement(db, "UPDATE beacons SET state = ?, owner = NULL WHERE owner = ?")
               .bind(kPending)
               .bind(owner)
               .run()) {
        return false;
      }
    }
    Statement expired(db, "DELETE FROM beacons WHERE state = ? AND impressed_at < ?");
    if (!expired.bind(kPending).bind(oldest).run()) return false;
    if (const int count = sqlite3_changes(db); count > 0) {
      storeLog("Gave up " + std::to_string(count) + " stored beacons older than an hour.");
    }
    Statement pending(db,
                      "SELECT id, uuid, url, user_agent, impressed_at, attempts FROM beacons"
                      " WHERE state = ? ORDER BY id");
    pending.bind(kPending);
    while ((result = pending.step()) == SQLITE_ROW) {
      claimed.push_back(StoredBeacon{pending.integer(0), pending.text(1), pending.text(2),
                                     pending.text(3), pending.integer(4),
                                     static_cast<int>(pending.integer(5))});
    }
    if (result != SQLITE_DONE) return false;
    return Statement(db, "UPDATE beacons SET state = ?, owner = ? WHERE state = ?")
        .bind(kClaimed)
        .bind(owner_)
        .bind(kPending)
        .run();
  });
  for (const int fd : deadLocks) ::close(fd);
  // The dead owners' files go once their claims are pending again.
  if (done) ownerlock::sweepDead(path_, lockPath_);
  if (!done) claimed.clear();
  return claimed;
}

bool BeaconStore::settle(std::int64_t id) {
  std::lock_guard lock(mutex_);
  bool settled = false;
  transaction("settle a beacon", [&](sqlite3* db) {
    if (!Statement(db, "UPDATE beacons SET state = ? WHERE id = ? AND owner = ? AND state = ?")
             .bind(kSettled)
             .bind(id)
             .bind(owner_)
             .bind(kClaimed)
             .run()) {
      return false;
    }
    settled = sqlite3_changes(db) == 1;
    return true;
  });
  return settled;
}

void BeaconStore::setAttempts(std::int64_t id, int attempts) {
  std::lock_guard lock(mutex_);
  transaction("record an attempt", [&](sqlite3* db) {
    return Statement(db, "UPDATE beacons SET attempts = ? WHERE id = ? AND owner = ?")
        .bind(attempts)
        .bind(id)
        .bind(owner_)
        .run();
  });
}

void BeaconStore::remove(std::int64_t id) {
  std::lock_guard lock(mutex_);
  transaction("remove a beacon", [&](sqlite3* db) {
    return Statement(db, "DELETE FROM beacons WHERE id = ? AND owner = ?")
        .bind(id)
        .bind(owner_)
        .run();
  });
}

void BeaconStore::releaseClaims() {
  std::lock_guard lock(mutex_);
  transaction("release its beacons", [&](sqlite3* db) {
    return Statement(db, "UPDATE beacons SET state = ?, owner = NULL WHERE owner = ? AND state = ?")
        .bind(kPending)
        .bind(owner_)
        .bind(kClaimed)
        .run();
  });
}

}  // namespace ovix
