// The `ovix` tool: tries the SDK against an ad server, or serves one.
#include <cstdio>
#include <string_view>

#include "FeedCommand.hpp"
#include "LoadCommand.hpp"
#include "ServeCommand.hpp"

namespace {

int usage() {
  std::fputs(
      "usage: ovix load [options]    load ads and print the outcome (ovix load --help)\n"
      "       ovix serve [options]   run a development ad server (ovix serve --help)\n"
      "       ovix feed [options]    run the sample feed against an in-process server\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string_view command = argv[1];
  if (command == "load") return ovix::tool::runLoad(argc, argv);
  if (command == "serve") return ovix::tool::runServe(argc, argv);
  if (command == "feed") return ovix::tool::runFeed(argc, argv);
  return usage();
}
