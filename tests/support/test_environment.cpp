#include "tests/support/test_environment.h"

#include <cstdlib>
#include <string>

namespace testing_support {

void PrepareTestEnvironment(const QTemporaryDir& home) {
    const std::string root = home.path().toStdString();
    ::setenv("HOME", root.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root + "/.cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/.local/share").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    // The disc look-up of the ripper and vexmor rip asks no real service from a test: a port
    // nobody listens on answers at once. Tests of the look-up run their own loopback services.
    ::setenv("VEXMOR_MUSICBRAINZ_URL", "http://127.0.0.1:9", 0);
    ::setenv("VEXMOR_GNUDB_URL", "http://127.0.0.1:9", 0);
    // Tests of the installed tree (VX_INSTALL_PREFIX) start programs that must find their
    // components by themselves; every other test uses the build tree's.
    if (std::getenv("VX_INSTALL_PREFIX"))
        ::unsetenv("VEXMOR_SYSTEM_DIR");
    else if (!std::getenv("VEXMOR_SYSTEM_DIR"))
        ::setenv("VEXMOR_SYSTEM_DIR", VX_BUILD_DIR "/lib/vexmor", 1);
}

}  // namespace testing_support
