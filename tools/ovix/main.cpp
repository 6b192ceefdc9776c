// The `ovix` tool: tries the SDK against an ad server, or serves one.
#include <cstdio>
#include <string_view>

#include "LoadCommand.hpp"
#include "ServeCommand.hpp"

namespace {

int usage() {
  std::fputs(
      "usage: ovix load [options]    load ads and print the outcome (ovix load --help)\n"
      "       ovix serve [options]   run a development ad server (ovix serve --help)\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string_view command = argv[1];
  if (command == "load") return ovix::tool::runLoad(argc, argv);
  if (command == "serve") return ovix::tool::runServe(argc, argv);
  return usage();
}
