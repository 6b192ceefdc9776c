#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ovix/Export.hpp"
#include "ovix/platform/Error.hpp"

// The SDK's network: every transfer runs on one network thread, over verified
// TLS, http and https only.
namespace ovix::net {

// Development settings for reaching a development server; production hosts
// leave them alone. Set them before the transfers they are meant for. Any thread.

// A PEM file of certificates trusted in addition to the system's; "" for none.
// The file is read now. Returns an error, and trusts no extra certificate,
// when it cannot be read or holds no PEM certificate.
OVIX_EXPORT std::optional<Error> setExtraTrustedCertificates(std::string pemPath);

// Sends connections for host:port to address:toPort instead, while TLS still
// checks the certificate against `host`. Replaces an earlier override of
// host:port. Returns an error for an empty host or address or a zero port.
OVIX_EXPORT std::optional<Error> setConnectOverride(const std::string& host, std::uint16_t port,
                                                    const std::string& address,
                                                    std::uint16_t toPort);
OVIX_EXPORT void clearConnectOverrides();

// Transfers resumed whose completion handler has not yet returned. Any thread.
OVIX_EXPORT std::size_t pendingTransfers();

// Waits until pendingTransfers() is 0 or the time-out passes; on the main
// thread it runs the main queue meanwhile. Returns whether all are done.
OVIX_EXPORT bool waitForIdle(std::chrono::milliseconds timeout);

}  // namespace ovix::net
