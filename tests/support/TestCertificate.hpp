#pragma once

#include <memory>
#include <string>

#include "devserver/Certificate.hpp"

namespace ovix::test {

// The development server's certificates: self-signed, for
// DNS:ad.ovix.example, DNS:localhost and IP:127.0.0.1.
using TestCertificate = devserver::Certificate;

// Valid from an hour ago for a day, or for the day before yesterday.
enum class Validity { kNow, kExpired };
// A new key and certificate named `commonName`; throws when OpenSSL fails.
std::shared_ptr<const TestCertificate> makeTestCertificate(const std::string& commonName,
                                                           Validity validity = Validity::kNow);

// The certificates test servers present, made once per process: one valid
// now and one that expired yesterday.
std::shared_ptr<const TestCertificate> trustedTestCertificate();
std::shared_ptr<const TestCertificate> expiredTestCertificate();
// A PEM file holding both, for net::setExtraTrustedCertificates; removed at exit.
const std::string& trustedTestCertificatesPath();

}  // namespace ovix::test
