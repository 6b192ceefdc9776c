#pragma once

#include <curl/curl.h>

#include "ovix/platform/Error.hpp"

namespace ovix::net {

// What a failed transfer's error depends on besides libcurl's result.
struct FailureContext {
  long statusCode = 0;               // of the last response head, 0 for none
  bool effectiveURLIsHTTP = true;    // whether the URL last tried is http or https
  bool insecureRedirect = false;     // whether an https transfer was sent to http
  long certificateVerifyResult = 0;  // OpenSSL's X509_V_* result
  const char* detail = "";           // libcurl's message
};

// The error in Error::kURLDomain for a transfer that libcurl ended with `code`.
// Any thread.
Error errorForCurl(CURLcode code, const FailureContext& context);

}  // namespace ovix::net
