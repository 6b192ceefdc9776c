#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ovix/Export.hpp"
#include "ovix/platform/Error.hpp"

namespace ovix::net {

// Development settings for reaching a development server; production hosts
// leave them alone. Set them before the transfers they are meant for. Any thread.

// A PEM file of certificates trusted in addition to the system's; "" for none.
// The file is read now. Returns an error, and trusts no extra certificate,
// when it cannot be read or holds no PEM certificate.
OVIX_EXPORT Status setExtraTrustedCertificates(std::string pemPath);

// Sends connections for host:port to address:toPort instead, while TLS still
// checks the certificate against `host`. Replaces an earlier override of
// host:port. Returns an error for an empty host or address or a zero port.
OVIX_EXPORT Status setConnectOverride(const std::string& host, std::uint16_t port,
                                      const std::string& address, std::uint16_t toPort);
OVIX_EXPORT void clearConnectOverrides();

}  // namespace ovix::net
