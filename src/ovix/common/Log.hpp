#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ovix/Logging.hpp"
#include "ovix/platform/Error.hpp"
#include "ovix/platform/HttpResponse.hpp"

// The SDK's log: entries stamped with date, file, line and function, and value
// dumps. Both cost one relaxed load of `logging` while it is off. Control
// characters in what they write (a server's answer, say) reach the terminal
// escaped, as text::escapeControls gives them. Any thread.
namespace ovix {

// "Ovix/OvixClient.swift" gives "OvixClient.swift"; trailing slashes are ignored.
std::string_view lastPathComponent(std::string_view path);
// Drops the last dot and what follows it: "a.b.c" gives "a.b".
std::string_view stringByDeletingPathExtension(std::string_view path);

namespace log_detail {

void writeEntry(std::string_view file, std::string_view functionName, std::uint_least32_t line,
                std::string_view message);

// Writes the empty line and banners around `body`, one line per element,
// each escaped.
void writeDump(const std::vector<std::string>& body);

std::vector<std::string> dumpBody(const Error& error);
std::vector<std::string> dumpBody(const HttpResponse& response);

std::string describe(std::string_view text);
std::string describe(bool value);
std::string describe(double value);
std::string describeQuoted(std::string_view text);
template <class T>
requires std::is_integral_v<T> std::string describe(T value) {
  return std::to_string(value);
}
template <class T>
std::string describeElement(const T& value) {
  if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    return describeQuoted(value);
  } else {
    return describe(value);
  }
}
template <class T>
std::string describe(const std::vector<T>& values) {
  std::string text = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) text += ", ";
    text += describeElement(values[i]);
  }
  return text + "]";
}
template <class K, class V>
std::string describe(const std::map<K, V>& values) {
  if (values.empty()) return "[:]";
  std::string text = "[";
  bool first = true;
  for (const auto& [key, value] : values) {
    if (!first) text += ", ";
    first = false;
    text += describeElement(key) + ": " + describeElement(value);
  }
  return text + "]";
}

inline std::vector<std::string> dumpBody(std::nullopt_t) {
  return {"nil"};
}
template <class T>
std::vector<std::string> dumpBody(const T& value) {
  return {describe(value)};
}
template <class T>
std::vector<std::string> dumpBody(const std::optional<T>& value) {
  if (!value) return {"nil"};
  return dumpBody(*value);
}

}  // namespace log_detail

// One log entry from the caller's source location.
inline void ULog(std::string_view functionName, std::string_view message,
                 std::source_location where = std::source_location::current()) {
  if (!logging.load(std::memory_order_relaxed)) [[likely]]
    return;
  log_detail::writeEntry(where.file_name(), functionName, where.line(), message);
}

// One log entry with the file shown given explicitly.
inline void ULog(std::string_view file, std::string_view functionName, std::uint_least32_t line,
                 std::string_view message) {
  if (!logging.load(std::memory_order_relaxed)) [[likely]]
    return;
  log_detail::writeEntry(file, functionName, line, message);
}

// One value dump: errors and HTTP responses get their code lines, an empty
// optional prints "nil", anything else its description.
template <class T>
inline void ULogPrints(const T& value) {
  if (!logging.load(std::memory_order_relaxed)) [[likely]]
    return;
  log_detail::writeDump(log_detail::dumpBody(value));
}

}  // namespace ovix
