#include "platform/identity/Uuid.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <thread>

// The uuids' form is checked where records get them (OvixJsonParserTest).
namespace ovix {
namespace {

TEST(UuidTest, ThreadsNeverShareAUuid) {
  std::vector<std::string> made[4];
  std::vector<std::thread> threads;
  for (auto& list : made) {
    threads.emplace_back([&list] {
      for (int i = 0; i < 3000; ++i) list.push_back(identity::makeUuidString());
    });
  }
  std::set<std::string> all;
  for (int t = 0; t < 4; ++t) {
    threads[t].join();
    all.insert(made[t].begin(), made[t].end());
  }
  EXPECT_EQ(all.size(), 4u * 3000);
}

// Randomness fetched ahead must not be handed out by both sides of a fork.
TEST(UuidTest, ParentAndForkedChildMakeDifferentUuids) {
  identity::makeUuidString();  // the pool now holds unused randomness
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string uuids;
    for (int i = 0; i < 8; ++i) uuids += identity::makeUuidString();
    ::_exit(::write(pipeEnds[1], uuids.data(), uuids.size()) == std::ssize(uuids) ? 0 : 1);
  }
  ::close(pipeEnds[1]);
  std::set<std::string> all;
  for (int i = 0; i < 8; ++i) all.insert(identity::makeUuidString());
  char uuid[36];
  while (::read(pipeEnds[0], uuid, sizeof uuid) == sizeof uuid) {
    EXPECT_TRUE(all.insert(std::string(uuid, sizeof uuid)).second) << "both sides made one";
  }
  ::close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(all.size(), 16u);
}

}  // namespace
}  // namespace ovix
