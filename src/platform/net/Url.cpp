#include "Url.hpp"

#include <curl/curl.h>

#include <memory>
#include <utility>

namespace ovix::net {
namespace {

struct UrlHandleDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

struct CurlStringDeleter {
  void operator()(char* text) const { curl_free(text); }
};

// The part as text; none when the URL lacks it.
std::optional<std::string> part(CURLU* handle, CURLUPart which) {
  char* raw = nullptr;
  if (curl_url_get(handle, which, &raw, 0) != CURLUE_OK || raw == nullptr) return std::nullopt;
  std::unique_ptr<char, CurlStringDeleter> owned(raw);
  return std::string(owned.get());
}

}  // namespace

Url::Url(std::string text, std::string scheme, std::string host)
    : text_(std::move(text)), scheme_(std::move(scheme)), host_(std::move(host)) {}

std::optional<Url> Url::make(std::string_view text) {
  if (text.empty() || text.find('\0') != std::string_view::npos) return std::nullopt;
  std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
  if (!handle) return std::nullopt;
  // Any scheme parses, so that a URL the network layer refuses to load fails
  // its transfer with kUnsupportedURL rather than vanishing here.
  const std::string copy(text);
  if (curl_url_set(handle.get(), CURLUPART_URL, copy.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
      CURLUE_OK) {
    return std::nullopt;
  }
  auto normalised = part(handle.get(), CURLUPART_URL);
  auto scheme = part(handle.get(), CURLUPART_SCHEME);
  auto host = part(handle.get(), CURLUPART_HOST);
  if (!normalised || !scheme || !host || scheme->empty() || host->empty()) return std::nullopt;
  // libcurl decodes an escaped host ("%7F") and would refuse the result when
  // the transfer parses the normalised text again: refuse it here instead.
  for (const char c : *normalised) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return std::nullopt;
  }
  return Url(std::move(*normalised), std::move(*scheme), std::move(*host));
}

}  // namespace ovix::net
