#include "RequestPrivacy.hpp"

namespace ovix::devserver {
namespace {

enum class Kind { flag, text, sections };

struct Member {
  const char* name;
  Kind kind;
  bool withholdsIdentifiers = false;  // a 1 asks for no identifiers
};

constexpr Member kPrivacyMembers[] = {{"gdpr", Kind::flag},       {"consent", Kind::text},
                                      {"gpp", Kind::text},        {"gpp_sid", Kind::sections},
                                      {"us_privacy", Kind::text}, {"coppa", Kind::flag, true},
                                      {"lmt", Kind::flag, true}};

bool isFlag(const nlohmann::json& value) {
  return value.is_number_integer() && (value == 0 || value == 1);
}

bool isSections(const nlohmann::json& value) {
  if (!value.is_array()) return false;
  for (const auto& section : value) {
    if (!section.is_number_integer()) return false;
  }
  return true;
}

}  // namespace

std::string RequestPrivacy::note() const {
  if (members.empty()) return "";
  std::string text = "privacy:";
  for (const auto& [name, value] : members.items()) {
    text += " " + name + "=" + value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  return text;
}

Result<RequestPrivacy> readPrivacy(const nlohmann::json& request) {
  RequestPrivacy privacy;
  for (const auto& [name, kind, withholdsIdentifiers] : kPrivacyMembers) {
    const auto found = request.find(name);
    if (found == request.end()) continue;
    const std::string quoted = std::string("\"") + name + "\"";
    switch (kind) {
      case Kind::flag:
        if (!isFlag(*found)) return Failure{quoted + " must be 0 or 1"};
        privacy.coppaOrLmt |= withholdsIdentifiers && *found == 1;
        break;
      case Kind::text:
        if (!found->is_string()) return Failure{quoted + " must be a string"};
        break;
      case Kind::sections:
        if (!isSections(*found)) return Failure{quoted + " must be an array of integers"};
        break;
    }
    privacy.members[name] = *found;
  }
  const auto id = request.find("advertising_id");
  privacy.advertisingId =
      id != request.end() && id->is_string() && !id->get_ref<const std::string&>().empty();
  return privacy;
}

void PrivacyCounts::add(const RequestPrivacy& privacy) {
  for (const auto& [name, value] : privacy.members.items()) ++carried[name];
  coppaOrLmt += privacy.coppaOrLmt;
  advertisingId += privacy.advertisingId;
  advertisingIdUnderCoppaOrLmt += privacy.coppaOrLmt && privacy.advertisingId;
}

nlohmann::json PrivacyCounts::toJson() const {
  return {{"carried", carried},
          {"coppa_or_lmt", coppaOrLmt},
          {"advertising_id", advertisingId},
          {"advertising_id_under_coppa_or_lmt", advertisingIdUnderCoppaOrLmt}};
}

}  // namespace ovix::devserver
