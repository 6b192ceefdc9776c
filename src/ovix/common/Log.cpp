#include "ovix/common/Log.hpp"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/console/Console.hpp"
#include "platform/text/ControlEscaping.hpp"

namespace ovix {

std::atomic<bool> logging{false};

namespace {

constexpr std::string_view kOpen =
    ">>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
constexpr std::string_view kClose =
    "<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<";
static_assert(kOpen.size() == 73 && kClose.size() == 73);

// "yyyy/MM/dd HH:mm:ss.SSS" in the process's time zone.
std::string timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[96];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  return text;
}

// The sentence for the status codes the log knows; nothing for the rest.
std::optional<std::string_view> serverStatus(long code) {
  switch (code) {
    case 204:
      return "204 No content.";
    case 400:
      return "400 Bad request error.";
    case 403:
      return "403 Forbidden.";
    case 404:
      return "404 Not Found.";
    case 500:
      return "500 Internal Server Error.";
    case 503:
      return "503 Service Temporarily Unavailable.";
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string_view lastPathComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  if (path == "/") return path;
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view stringByDeletingPathExtension(std::string_view path) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot == std::string_view::npos || dot == 0) return path;
  if (slash != std::string_view::npos && (dot < slash || dot == slash + 1)) return path;
  return path.substr(0, dot);
}

namespace log_detail {

void writeEntry(std::string_view file, std::string_view functionName, std::uint_least32_t line,
                std::string_view message) {
  std::string entry;
  entry.reserve(64 + file.size() + functionName.size() + message.size());
  entry += '[';
  entry += timestamp();
  entry += "] ";
  text::appendEscapingControls(entry, stringByDeletingPathExtension(lastPathComponent(file)));
  entry += ':';
  entry += std::to_string(line);
  entry += " - ";
  text::appendEscapingControls(entry, functionName);
  entry += "  message: ";
  text::appendEscapingControls(entry, message);
  const std::string_view lines[] = {"", kOpen, entry, kClose, ""};
  console::writeLines(lines);
}

void writeDump(const std::vector<std::string>& body) {
  std::vector<std::string> escaped;
  escaped.reserve(body.size());
  for (const std::string& line : body) escaped.push_back(text::escapeControls(line));
  std::vector<std::string_view> lines{"", kOpen};
  lines.insert(lines.end(), escaped.begin(), escaped.end());
  lines.insert(lines.end(), {kClose, ""});
  console::writeLines(lines);
}

std::vector<std::string> dumpBody(const Error& error) {
  return {"error code:" + std::to_string(error.code()), error.description()};
}

std::vector<std::string> dumpBody(const HttpResponse& response) {
  std::vector<std::string> body{"HTTP status code:" + std::to_string(response.statusCode())};
  if (auto sentence = serverStatus(response.statusCode())) body.emplace_back(*sentence);
  body.push_back(response.description());
  return body;
}

std::string describe(std::string_view text) {
  return std::string(text);
}

std::string describe(bool value) {
  return value ? "true" : "false";
}

std::string describe(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::string out(text, result.ptr);
  if (std::isfinite(value) && out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

std::string describeQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace log_detail
}  // namespace ovix
