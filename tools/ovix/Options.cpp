#include "Options.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ovix::tool {

Options::Options(int argc, char** argv, int first) : args_(argv + first, argv + argc) {}

std::optional<std::string> Options::next() {
  if (at_ >= args_.size()) return std::nullopt;
  const std::string& arg = args_[at_++];
  if (arg.rfind("--", 0) != 0 || arg.size() == 2) return "";  // not an option
  return arg.substr(2);
}

std::optional<std::string> Options::value() {
  if (at_ >= args_.size()) return std::nullopt;
  return args_[at_++];
}

std::optional<double> parseNumber(const std::string& text) {
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return number;
}

std::optional<long long> parseInteger(const std::string& text) {
  long long number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return number;
}

std::optional<std::pair<std::string, long long>> parseNamed(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  auto number = parseInteger(text.substr(colon + 1));
  if (!number) return std::nullopt;
  return std::make_pair(text.substr(0, colon), *number);
}

std::optional<bool> parseBit(const std::string& text) {
  if (text == "0" || text == "1") return text == "1";
  return std::nullopt;
}

std::optional<std::vector<int>> parseIntegerList(const std::string& text) {
  std::vector<int> numbers;
  std::size_t from = 0;
  while (true) {
    const auto comma = text.find(',', from);
    const auto number = parseInteger(text.substr(from, comma - from));
    if (!number || *number < std::numeric_limits<int>::min() ||
        *number > std::numeric_limits<int>::max()) {
      return std::nullopt;
    }
    numbers.push_back(static_cast<int>(*number));
    if (comma == std::string::npos) return numbers;
    from = comma + 1;
  }
}

int usageError(const char* command, const std::string& message, const char* usage) {
  std::fprintf(stderr, "ovix %s: %s\n%s", command, message.c_str(), usage);
  return 2;
}

}  // namespace ovix::tool
