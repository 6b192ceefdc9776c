#include "platform/identity/Uuid.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <thread>

// The uuids' form is checked where records get them (OvixJsonParserTest).
namespace ovix {
namespace {

TEST(UuidTest, ThreadsNeverShareAUuid) {
  std::vector<std::string> made[4];
  std::vector<std::jthread> threads;
  for (auto& list : made) {
    threads.emplace_back([&list] {
      for (int i = 0; i < 3000; ++i) list.push_back(identity::makeUuidString());
    });
  }
  threads.clear();  // joins them
  std::set<std::string> all;
  for (const auto& list : made) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), 4u * 3000);
}

// Randomness fetched ahead must not be handed out by both sides of a fork.
TEST(UuidTest, ParentAndForkedChildMakeDifferentUuids) {
  identity::makeUuidString();  // the pool now holds unused randomness
  constexpr std::size_t kSize = 36 * 8;
  auto* childs = static_cast<char*>(
      ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(childs, MAP_FAILED);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (std::size_t at = 0; at < kSize; at += 36) identity::makeUuidString().copy(childs + at, 36);
    ::_exit(0);
  }
  std::set<std::string> all;
  for (int i = 0; i < 8; ++i) all.insert(identity::makeUuidString());
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (std::size_t at = 0; at < kSize; at += 36) all.insert(std::string(childs + at, 36));
  ::munmap(childs, kSize);
  EXPECT_EQ(all.size(), 16u) << "both sides made the same uuid";
}

}  // namespace
}  // namespace ovix
