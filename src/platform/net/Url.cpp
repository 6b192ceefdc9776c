#include "platform/net/Url.hpp"

#include <curl/curl.h>

#include <memory>
#include <utility>

#include "platform/net/URLError.hpp"

namespace ovix::net {
namespace {

struct UrlHandleDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

struct CurlStringDeleter {
  void operator()(char* text) const { curl_free(text); }
};

// The part as text; none when the URL lacks it.
std::optional<std::string> part(CURLU* handle, CURLUPart which, unsigned int flags = 0) {
  char* raw = nullptr;
  if (curl_url_get(handle, which, &raw, flags) != CURLUE_OK || raw == nullptr) return std::nullopt;
  std::unique_ptr<char, CurlStringDeleter> owned(raw);
  return std::string(owned.get());
}

struct Parsed {
  std::string text;
  std::string scheme;
  std::string host;
};

Error refused(const std::string& why) {
  return Error(Error::kURLDomain, kBadURL, "The URL " + why + ".");
}

// `text` parsed in any scheme, its whole text read with `flags`; refused
// without a scheme and host or when the text holds a space or a control
// character.
Result<Parsed> parse(const std::string& text, unsigned int flags) {
  if (text.empty() || text.find('\0') != std::string::npos) return refused("is empty or holds NUL");
  std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
  if (!handle || curl_url_set(handle.get(), CURLUPART_URL, text.c_str(),
                              CURLU_NON_SUPPORT_SCHEME | flags) != CURLUE_OK) {
    return refused("is malformed");
  }
  auto normalised = part(handle.get(), CURLUPART_URL, flags);
  auto scheme = part(handle.get(), CURLUPART_SCHEME);
  auto host = part(handle.get(), CURLUPART_HOST);
  if (!normalised || !scheme || !host || scheme->empty() || host->empty()) {
    return refused("has no scheme or no host");
  }
  // libcurl decodes an escaped host ("%7F") and would refuse the result when
  // the transfer parses the normalised text again: refuse it here instead.
  for (const char c : *normalised) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) {
      return refused("holds a space or a control character");
    }
  }
  return Parsed{std::move(*normalised), std::move(*scheme), std::move(*host)};
}

// Parsed, then parsed again from its normalised text with the same outcome.
// libcurl does not always normalise in one pass: "x:/%377" gives "x://77/",
// whose host then reads as the address 0.0.0.77.
Result<Parsed> parseStably(const std::string& text, unsigned int flags) {
  auto first = parse(text, flags);
  if (!first) return first;
  const auto again = parse(first->text, flags);
  if (!again || again->text != first->text || again->scheme != first->scheme ||
      again->host != first->host) {
    return refused("does not read back as itself");
  }
  return first;
}

// Bytes that stay as they are in a URL handed to another program: printable
// ASCII, less what a shell or a careless opener could act on.
bool keptAsIs(unsigned char c) {
  if (c <= ' ' || c >= 0x7f) return false;
  switch (c) {
    case '"':
    case '\'':
    case '`':
    case '$':
    case ';':
    case '|':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '{':
    case '}':
      return false;
    default:
      return true;
  }
}

std::string escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (keptAsIs(byte)) {
      out.push_back(c);
    } else {
      out += {'%', kHex[byte >> 4], kHex[byte & 0xf]};
    }
  }
  return out;
}

}  // namespace

Url::Url(std::string text, std::string scheme, std::string host)
    : text_(std::move(text)), scheme_(std::move(scheme)), host_(std::move(host)) {}

Result<Url> Url::make(std::string_view text) {
  auto parsed = parseStably(std::string(text), 0);
  if (!parsed) return parsed.error();
  return Url(std::move(parsed->text), std::move(parsed->scheme), std::move(parsed->host));
}

Result<Url> Url::makeEncoded(std::string_view text) {
  // libcurl's own encoding leaves quotes, "$" and the like alone, turns a
  // space in the query into "+" and refuses control characters, so the text
  // is escaped first. The host, which libcurl decodes, comes out escaped
  // through CURLU_URLENCODE.
  auto parsed = parseStably(escaped(text), CURLU_URLENCODE);
  if (!parsed) return parsed.error();
  return Url(std::move(parsed->text), std::move(parsed->scheme), std::move(parsed->host));
}

}  // namespace ovix::net
