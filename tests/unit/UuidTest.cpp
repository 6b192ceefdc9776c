#include "platform/identity/Uuid.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <thread>

namespace ovix {
namespace {

TEST(UuidTest, ThreadsNeverShareAUuid) {
  constexpr int kThreads = 4;
  constexpr int kEach = 3000;
  std::vector<std::vector<std::string>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&made, t] {
      for (int i = 0; i < kEach; ++i) made[t].push_back(identity::makeUuidString());
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<std::string> all;
  for (const auto& list : made) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
}

// Randomness fetched ahead must not be handed out by both sides of a fork.
TEST(UuidTest, ParentAndForkedChildMakeDifferentRandomUpperCaseUuids) {
  identity::makeUuidString();  // the pool now holds unused randomness
  constexpr int kEach = 8;
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string uuids;
    for (int i = 0; i < kEach; ++i) uuids += identity::makeUuidString();
    ::_exit(::write(pipeEnds[1], uuids.data(), uuids.size()) == std::ssize(uuids) ? 0 : 1);
  }
  ::close(pipeEnds[1]);
  std::set<std::string> parents;
  for (int i = 0; i < kEach; ++i) parents.insert(identity::makeUuidString());
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(text.size(), 36u * kEach);
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  for (int i = 0; i < kEach; ++i) {
    const std::string uuid = text.substr(36 * i, 36);
    EXPECT_TRUE(std::regex_match(uuid, form)) << uuid;
    EXPECT_FALSE(parents.contains(uuid)) << "both sides made " << uuid;
  }
}

}  // namespace
}  // namespace ovix
