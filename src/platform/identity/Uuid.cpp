#include "identity/Uuid.hpp"

#include <uuid/uuid.h>

namespace ovix::identity {

std::string makeUuidString() {
  uuid_t id;
  ::uuid_generate_random(id);
  char text[37];
  ::uuid_unparse_upper(id, text);
  return std::string(text, 36);
}

}  // namespace ovix::identity
