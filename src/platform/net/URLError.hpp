#pragma once

#include <cstdint>

#include "ovix/platform/Error.hpp"

namespace ovix::net {

// Error codes of Error::kURLDomain.
enum URLErrorCode : std::int64_t {
  kUnknown = -1,
  kCancelled = -999,
  kBadURL = -1000,
  kTimedOut = -1001,
  kUnsupportedURL = -1002,
  kCannotFindHost = -1003,
  kCannotConnectToHost = -1004,
  kNetworkConnectionLost = -1005,
  kHTTPTooManyRedirects = -1007,
  kBadServerResponse = -1011,
  // A secure transfer redirected to a cleartext URL, which is not followed.
  kAppTransportSecurityRequiresSecureConnection = -1022,
  kDataLengthExceedsMaximum = -1103,
  kSecureConnectionFailed = -1200,
  kServerCertificateHasBadDate = -1201,
  kServerCertificateUntrusted = -1202,
};

// The error of that code in Error::kURLDomain, with its usual description. Any thread.
Error urlError(URLErrorCode code);

}  // namespace ovix::net
