#include "platform/version.h"

namespace platform {

const char* ProductVersion() { return VX_VERSION; }

}  // namespace platform
