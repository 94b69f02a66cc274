// The module's two exports: self-registration and the control factory.
#include <QWidget>
#include <cstdint>
#include <string>

#include "components/wave_editor/edit_control.h"
#include "components/wave_editor/wave_edit_dispids.h"
#include "platform/control_host.h"

namespace {

bool SameClassId(const char* a, const char* b) {
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b) {
        if (std::toupper(static_cast<unsigned char>(*a)) !=
            std::toupper(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int DllRegisterServer() {
    const std::string self =
        platform::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (self.empty()) return platform::kRegisterFailed;
    return platform::RegisterControlClass(wave_editor::kWaveEditClassId, self)
               ? platform::kRegisterOk
               : platform::kRegisterFailed;
}

extern "C" __attribute__((visibility("default"))) platform::IHostedControl* VxCreateControl(
    const char* classId, QWidget* parent, const uint8_t* block, size_t blockSize) {
    if (!SameClassId(classId, wave_editor::kWaveEditClassId)) return nullptr;
    wave_editor::WaveEditProperties properties;
    // A missing or foreign block leaves the defaults in place.
    wave_editor::WaveEditProperties::FromBlock(block, blockSize, &properties);
    return new wave_editor::WaveEditControl(parent, properties);
}
