#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ovix::tool {

// Command-line options in "--name value" and "--flag" form, read in order.
class Options {
 public:
  Options(int argc, char** argv, int first);

  // The next option's name without "--", or nothing at the end.
  std::optional<std::string> next();
  // The value after the current option; nothing when it is missing.
  std::optional<std::string> value();

 private:
  std::vector<std::string> args_;
  std::size_t at_ = 0;
};

// Parsers for option values; nothing for malformed text.
std::optional<double> parseNumber(const std::string& text);
std::optional<long long> parseInteger(const std::string& text);
// "NAME:NUMBER", split at the last colon.
std::optional<std::pair<std::string, long long>> parseNamed(const std::string& text);
// "0" or "1".
std::optional<bool> parseBit(const std::string& text);
// Integers separated by commas, such as "2,6"; at least one.
std::optional<std::vector<int>> parseIntegerList(const std::string& text);

// Prints "ovix COMMAND: MESSAGE" and then `usage` to standard error; returns
// 2, the tool's exit status for a usage error.
int usageError(const char* command, const std::string& message, const char* usage);

}  // namespace ovix::tool
