#include "ovix/OwnerLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/identity/Uuid.hpp"

namespace ovix::ownerlock {

std::string pathOf(const std::string& store, const std::string& owner) {
  return store + ".owner-" + owner;
}

bool isOwnerId(const std::string& owner) {
  if (owner.size() != identity::kUuidLength) return false;
  for (char c : owner) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '-')) return false;
  }
  return true;
}

int lockIfDead(const std::string& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? -2 : -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  ::close(fd);
  return -1;
}

int take(const std::string& lockPath) {
  for (int tries = 0; tries < 3; ++tries) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat held, named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
        ::stat(lockPath.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      return fd;
    }
    ::close(fd);
  }
  return -1;
}

void sweepDead(const std::string& store, const std::string& ownLockPath) {
  const std::filesystem::path file(store);
  const std::string prefix = file.filename().string() + ".owner-";
  std::error_code error;
  const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    const std::string lockPath = entry->path().string();
    if (name.rfind(prefix, 0) != 0 || lockPath == ownLockPath) continue;
    if (const int fd = lockIfDead(lockPath); fd >= 0) {
      ::unlink(lockPath.c_str());
      ::close(fd);
    }
  }
}

}  // namespace ovix::ownerlock
