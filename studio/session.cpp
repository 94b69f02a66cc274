#include "studio/session.h"

#include "platform/folders.h"
#include "platform/paths.h"

namespace studio {

void Session::LoadSettings(const std::string& file) {
    settings.SetDefaults();
    settings.Load(file);
    settings.Save(file);
    CopyRipperOptionsToWorkingCopy();
    ringtone.Load(file);
}

bool Session::BindCodecEngine() {
    const std::string path = platform::JoinPath(platform::SystemDirectory(), kCodecEngineFile);
    if (!engine.BindLibrary(path)) return false;
    encoderArgs.AllocateSlots();
    return true;
}

}  // namespace studio
