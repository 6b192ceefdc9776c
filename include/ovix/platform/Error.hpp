#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ovix/Export.hpp"

namespace ovix {

// A failure as a value: the domain it comes from, a code within that domain and
// a sentence for people. Safe to copy and to hand between threads.
class OVIX_EXPORT Error {
 public:
  // Domains of the failures the SDK reports.
  static constexpr const char* kURLDomain = "NSURLErrorDomain";
  static constexpr const char* kJSONDomain = "NSCocoaErrorDomain";

  Error(std::string domain, std::int64_t code, std::string description);

  const std::string& domain() const { return domain_; }
  std::int64_t code() const { return code_; }
  const std::string& localizedDescription() const { return description_; }

  // The error as the log prints it: "Error Domain=D Code=C \"description\"".
  std::string description() const;

 private:
  std::string domain_;
  std::int64_t code_;
  std::string description_;
};

// The outcome of an operation that gives no value: nothing when it succeeded,
// else the error that stopped it.
using Status = std::optional<Error>;

}  // namespace ovix
