// The programs' version, the project's version in CMake: the About boxes show it, --version
// prints it and the AppStream descriptions name it as their release.
#pragma once

namespace platform {

// "1.50"
const char* ProductVersion();

}  // namespace platform
