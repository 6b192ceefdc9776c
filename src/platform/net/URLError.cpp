#include "platform/net/URLError.hpp"

namespace ovix::net {
namespace {

const char* describe(URLErrorCode code) {
  switch (code) {
    case kUnknown:
      return "unknown error";
    case kCancelled:
      return "cancelled";
    case kBadURL:
      return "bad URL";
    case kTimedOut:
      return "The request timed out.";
    case kUnsupportedURL:
      return "unsupported URL";
    case kCannotFindHost:
      return "A server with the specified hostname could not be found.";
    case kCannotConnectToHost:
      return "Could not connect to the server.";
    case kNetworkConnectionLost:
      return "The network connection was lost.";
    case kHTTPTooManyRedirects:
      return "too many HTTP redirects";
    case kBadServerResponse:
      return "bad server response";
    case kAppTransportSecurityRequiresSecureConnection:
      return "The resource could not be loaded because a secure connection may not be "
             "redirected to an insecure one.";
    case kDataLengthExceedsMaximum:
      return "resource exceeds maximum size";
    case kSecureConnectionFailed:
      return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case kServerCertificateHasBadDate:
      return "The certificate for this server has expired or is not yet valid.";
    case kServerCertificateUntrusted:
      return "The certificate for this server is invalid.";
  }
  return "unknown error";
}

}  // namespace

Error urlError(URLErrorCode code) {
  return Error(Error::kURLDomain, code, describe(code));
}

}  // namespace ovix::net
