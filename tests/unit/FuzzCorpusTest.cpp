// Replays each fuzz target's committed corpus, its seeds and every input that
// once broke it, through the target itself in every tree of the suite, with
// the log on as the fuzzers run it but kept off the test's output. A target
// aborts on a broken property, which fails the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/FuzzSupport.hpp"
#include "support/CaptureStdout.hpp"

namespace ovix::fuzz {
namespace {

TEST(FuzzCorpusTest, EveryTargetKeepsItsPropertiesOverItsCorpus) {
  const std::pair<const char*, int (*)(const std::uint8_t*, std::size_t)> targets[] = {
      {"response", fuzzResponse}, {"image", fuzzImage}, {"url", fuzzUrl}, {"request", fuzzRequest}};
  logging = true;
  test::CaptureStdout out;
  for (const auto& [target, function] : targets) {
    std::size_t inputs = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(OVIX_FUZZ_CORPUS) / target)) {
      std::ostringstream bytes;
      bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
      SCOPED_TRACE(entry.path().string());
      function(reinterpret_cast<const std::uint8_t*>(bytes.view().data()), bytes.view().size());
      ++inputs;
    }
    EXPECT_GT(inputs, 0u) << target;
  }
  logging = false;
}

}  // namespace
}  // namespace ovix::fuzz
