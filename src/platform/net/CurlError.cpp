#include "platform/net/CurlError.hpp"

#include <openssl/x509_vfy.h>

#include <string>

#include "platform/net/URLError.hpp"

namespace ovix::net {

Error errorForCurl(CURLcode code, const FailureContext& context) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return urlError(kTimedOut);
    case CURLE_UNSUPPORTED_PROTOCOL:
      if (context.insecureRedirect) return urlError(kAppTransportSecurityRequiresSecureConnection);
      // libcurl also reports a reply that is not HTTP at all this way.
      if (context.statusCode / 100 == 3 || !context.effectiveURLIsHTTP) {
        return urlError(kUnsupportedURL);
      }
      return urlError(kBadServerResponse);
    case CURLE_URL_MALFORMAT:
      return urlError(kBadURL);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return urlError(kCannotFindHost);
    case CURLE_COULDNT_CONNECT:
      return urlError(kCannotConnectToHost);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return urlError(kNetworkConnectionLost);
    case CURLE_TOO_MANY_REDIRECTS:
      return urlError(kHTTPTooManyRedirects);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return urlError(kBadServerResponse);
    case CURLE_FILESIZE_EXCEEDED:
      return urlError(kDataLengthExceedsMaximum);
    case CURLE_PEER_FAILED_VERIFICATION:
      if (context.certificateVerifyResult == X509_V_ERR_CERT_HAS_EXPIRED ||
          context.certificateVerifyResult == X509_V_ERR_CERT_NOT_YET_VALID) {
        return urlError(kServerCertificateHasBadDate);
      }
      return urlError(kServerCertificateUntrusted);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return urlError(kSecureConnectionFailed);
    default:
      break;
  }
  std::string detail = *context.detail != '\0' ? context.detail : curl_easy_strerror(code);
  return Error(Error::kURLDomain, kUnknown, "unknown error (" + detail + ")");
}

}  // namespace ovix::net
