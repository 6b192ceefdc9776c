#pragma once

#include <filesystem>
#include <memory>

#include "Certificate.hpp"
#include "Result.hpp"

namespace ovix::devserver {

// Where the server keeps its certificate unless told otherwise:
// $XDG_CACHE_HOME/ovix, else $HOME/.cache/ovix; empty when neither is set.
std::filesystem::path defaultCacheDirectory();

// The server's certificate, its PEM file (what clients add to their trusted
// certificates) and its key's PEM file.
struct CachedCertificate {
  std::shared_ptr<const Certificate> certificate;
  std::filesystem::path certificatePath;
  std::filesystem::path keyPath;
};

// The certificate kept in `directory` (devserver.crt and devserver.key),
// while it is a server certificate (see Certificate::isServerCertificate)
// valid for at least another day; otherwise a new one, valid for a year,
// written there first (the folder is made when missing, the key readable by
// its owner only). Fails when the folder cannot be written.
// Processes sharing a folder at once may each write a certificate; the last
// one written stays. Any thread.
Result<CachedCertificate> loadOrMakeCertificate(const std::filesystem::path& directory);

}  // namespace ovix::devserver
