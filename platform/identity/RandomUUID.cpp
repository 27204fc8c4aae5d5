#include "platform/identity/RandomUUID.h"

#include <uuid/uuid.h>

namespace velmora::platform {

std::string randomUUID() {
  uuid_t value;
  uuid_generate_random(value);
  char text[37];
  uuid_unparse_upper(value, text);
  return text;
}

}  // namespace velmora::platform
