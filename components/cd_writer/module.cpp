// The module's two exports: self-registration and the control factory.
#include <cstdint>
#include <string>

#include "components/cd_writer/cd_writer_dispids.h"
#include "components/cd_writer/writer_control.h"
#include "platform/control_host.h"

extern "C" __attribute__((visibility("default"))) int DllRegisterServer() {
    const std::string self =
        platform::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (self.empty()) return platform::kRegisterFailed;
    return platform::RegisterControlClass(cd_writer::kCDWriterClassId, self)
               ? platform::kRegisterOk
               : platform::kRegisterFailed;
}

extern "C" __attribute__((visibility("default"))) platform::IHostedControl* VxCreateControl(
    const char* classId, QWidget*, const uint8_t*, size_t) {
    // The host hands the class id upper-cased; the registry compares it so too.
    if (!classId || std::string(classId) != cd_writer::kCDWriterClassId) return nullptr;
    return new cd_writer::WriterControl(cd_writer::MachineRecorders);
}
