#pragma once

#include <memory>
#include <string>

#include "devserver/Certificate.hpp"

namespace ovix::test {

// The development server's certificates: self-signed server certificates,
// for DNS:ad.ovix.example, DNS:localhost, IP:127.0.0.1 and IP:::1.
using TestCertificate = devserver::Certificate;

// Valid from an hour ago for a day, or for the day before yesterday.
enum class Validity { kNow, kExpired };
// A new key and certificate named `commonName` for the subject alternative
// names `names`; throws when OpenSSL fails.
std::shared_ptr<const TestCertificate> makeTestCertificate(
    const std::string& commonName, Validity validity = Validity::kNow,
    const std::string& names = TestCertificate::kServerNames);

// The certificates test servers present, made once per process: one valid
// now, one that expired yesterday, and one valid now for another host only
// (DNS:elsewhere.ovix.invalid).
std::shared_ptr<const TestCertificate> trustedTestCertificate();
std::shared_ptr<const TestCertificate> expiredTestCertificate();
std::shared_ptr<const TestCertificate> wrongHostTestCertificate();
// A PEM file holding all three, for net::setExtraTrustedCertificates; removed at exit.
const std::string& trustedTestCertificatesPath();

}  // namespace ovix::test
