#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/RawTlsServer.hpp"
#include "support/TlsServer.hpp"

namespace ovix::test {

// The ways a server misbehaves in the fault tests.
enum class Fault {
  // Never finish: the transfer runs into its time-out.
  kStallBeforeHead,  // takes the request and never answers
  kStallMidBody,     // sends the head and part of the body, then nothing
  kDrip,             // sends the body a byte at a time, too slowly to ever finish
  // Fail on the spot.
  kResetMidBody,        // sends part of the body, then resets the connection
  kHandshakeFailure,    // answers the TLS handshake with plain text
  kWrongHost,           // a trusted certificate for another host
  kExpiredCertificate,  // a trusted certificate that expired yesterday
  kUnresolvableHost,    // a host name that cannot resolve
  kOversizeAnnounced,   // announces a body larger than any the SDK takes
  kOversizeChunked,     // sends such a body in chunks, with no length announced
  kRedirectToFile,      // redirects to a file: URL
  kRedirectLoop,        // redirects to itself
  kRedirectToCleartext,  // redirects to a cleartext server that answers as if all were well
};

// Every fault, and those that fail without waiting for a time-out.
std::vector<Fault> allFaults();
std::vector<Fault> immediateFaults();
std::vector<Fault> neverFinishingFaults();

// The fault's name, for test messages.
const char* name(Fault fault);
// The code of Error::kURLDomain a transfer meets at the fault.
std::int64_t expectedCode(Fault fault);

// A loopback server with one fault, answering every path and method that
// way. Thread-safe.
class FaultServer {
 public:
  explicit FaultServer(Fault fault);
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  Fault fault() const { return fault_; }
  // An https URL with `path` where the fault shows.
  std::string url(std::string_view path) const;
  // Sends later connections for the ad server (ad.ovix.example:443) here.
  void routeLoads() const;

 private:
  class Cleartext;

  const Fault fault_;
  std::unique_ptr<RawTlsServer> raw_;
  std::unique_ptr<TlsServer> tls_;
  std::unique_ptr<Cleartext> cleartext_;
};

}  // namespace ovix::test
