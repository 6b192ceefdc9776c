#pragma once

#include <memory>
#include <string>
#include <vector>

// The development settings of ovix/platform/DevelopmentSettings.hpp as each transfer sees
// them: a snapshot taken when the transfer starts.
namespace ovix::net {

struct DevelopmentSettings {
  // The CA file to trust: libcurl's built-in one, which holds the system's
  // certificates, or a copy of it with the extra ones appended, which never
  // changes once written. "" when libcurl knows no CA file.
  std::string caFile;
  // Entries for CURLOPT_CONNECT_TO: "host:port:address:toPort".
  std::vector<std::string> connectTo;
};

// The settings now. Any thread.
std::shared_ptr<const DevelopmentSettings> developmentSettings();

}  // namespace ovix::net
