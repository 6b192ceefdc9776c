#pragma once

#include <string>

// Who still owns beacons in a store: an owner holds an exclusive flock on its
// lock file "STORE.owner-ID" while it lives, and the kernel lets go of it
// when the process ends, however it ends. An owner whose file is missing or
// can be locked by another is dead. Any thread; the calls touch the file
// system.
namespace ovix::ownerlock {

// The lock file of `owner` for the store at `store`.
std::string pathOf(const std::string& store, const std::string& owner);

// Whether `owner` is an owner id this SDK makes (an upper-case UUID): only
// such ids read from a store are turned into paths.
bool isOwnerId(const std::string& owner);

// Creates and locks a new owner's file: its descriptor, to keep open while
// the owner lives, or -1. Made again when a sweep removes it between the
// creation and the lock.
int take(const std::string& lockPath);

// The file of a dead owner, now locked by the caller, who closes it; -1
// while the owner lives (or the file cannot be opened), -2 when the file is
// missing.
int lockIfDead(const std::string& lockPath);

// Removes the lock files beside `store` of owners that are dead, but
// `ownLockPath`, so that they do not pile up with every run of a host that
// exits without closing its store.
void sweepDead(const std::string& store, const std::string& ownLockPath);

}  // namespace ovix::ownerlock
