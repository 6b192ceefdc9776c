#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "Result.hpp"

// What an ad request says about the user's privacy: the OpenRTB members
// "gdpr", "consent", "gpp", "gpp_sid", "us_privacy", "coppa" and "lmt", and
// whether it sent an advertising identifier. Plain values, any thread.
namespace ovix::devserver {

// The privacy of one ad request.
struct RequestPrivacy {
  // The privacy members it carried, as sent, in the order above.
  nlohmann::ordered_json members = nlohmann::ordered_json::object();
  // "coppa" or "lmt" was 1.
  bool coppaOrLmt = false;
  // "advertising_id" was a string other than "".
  bool advertisingId = false;

  // "privacy: gdpr=1 consent=\"...\"", the values as JSON; "" when it
  // carried no privacy member.
  std::string note() const;
};

// Reads the privacy of a request body, a JSON object. Refuses a member of
// the wrong type, saying why: "gdpr", "coppa" and "lmt" are 0 or 1,
// "gpp_sid" an array of integers, the others strings.
Result<RequestPrivacy> readPrivacy(const nlohmann::json& request);

// How many ad requests carried each privacy member, asked for COPPA or LMT,
// sent an advertising identifier, and did both.
struct PrivacyCounts {
  std::map<std::string, std::int64_t> carried{{"gdpr", 0},    {"consent", 0},    {"gpp", 0},
                                              {"gpp_sid", 0}, {"us_privacy", 0}, {"coppa", 0},
                                              {"lmt", 0}};
  std::int64_t coppaOrLmt = 0;
  std::int64_t advertisingId = 0;
  std::int64_t advertisingIdUnderCoppaOrLmt = 0;

  void add(const RequestPrivacy& privacy);
  // {"carried": {"<member>": n, ...}, "coppa_or_lmt": n, "advertising_id": n,
  //  "advertising_id_under_coppa_or_lmt": n}
  nlohmann::json toJson() const;

  friend bool operator==(const PrivacyCounts&, const PrivacyCounts&) = default;
};

}  // namespace ovix::devserver
