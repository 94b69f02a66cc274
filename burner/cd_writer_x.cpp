#include "burner/cd_writer_x.h"

#include "platform/folders.h"
#include "platform/paths.h"

namespace burner {

bool RegisterWriterControl() {
    const std::string path = platform::JoinPath(platform::SystemDirectory(), kWriterModule);
    return platform::CallDllRegisterServer(path).has_value();
}

namespace {
using platform::Variant;
namespace dispid = cd_writer::dispid;

Variant Short(int16_t value) { return Variant(int32_t{value}); }
}  // namespace

bool CCDWriterXP::Create(QWidget* parent, const std::vector<uint8_t>& propertyBlock) {
    return site_.Create(cd_writer::kCDWriterClassId, parent, propertyBlock);
}

Variant CCDWriterXP::Call(int dispatchId, const platform::VariantList& args) {
    return site_.CallMethod(dispatchId, args);
}

int16_t CCDWriterXP::GetDeviceCount() {
    return static_cast<int16_t>(Call(dispid::kGetDeviceCount).ToInt());
}
std::string CCDWriterXP::GetDeviceText1(int16_t index) {
    return Call(dispid::kGetDeviceText1, {Short(index)}).ToString();
}
std::string CCDWriterXP::GetDeviceText2(int16_t index) {
    return Call(dispid::kGetDeviceText2, {Short(index)}).ToString();
}
std::string CCDWriterXP::GetDeviceText3(int16_t index) {
    return Call(dispid::kGetDeviceText3, {Short(index)}).ToString();
}
bool CCDWriterXP::SelectDevice(int16_t index) {
    return Call(dispid::kSelectDevice, {Short(index)}).ToBool();
}
int16_t CCDWriterXP::GetMaxWriteSpeed() {
    return static_cast<int16_t>(Call(dispid::kGetMaxWriteSpeed).ToInt());
}
bool CCDWriterXP::SetWriteSpeed(int16_t speed) {
    return Call(dispid::kSetWriteSpeed, {Short(speed)}).ToBool();
}
bool CCDWriterXP::HasWritableMedia() { return Call(dispid::kHasWritableMedia).ToBool(); }
int32_t CCDWriterXP::GetDiscUsage() { return Call(dispid::kGetDiscUsage).ToInt(); }
void CCDWriterXP::ResetTracks() { Call(dispid::kResetTracks); }
bool CCDWriterXP::AddTrack(const std::string& path, int16_t index) {
    return Call(dispid::kAddTrack, {Variant(path), Short(index)}).ToBool();
}
bool CCDWriterXP::SetTrackText(int16_t index, const std::string& title,
                               const std::string& performer) {
    return Call(dispid::kSetTrackText, {Short(index), Variant(title), Variant(performer)}).ToBool();
}
bool CCDWriterXP::PrepareWrite() { return Call(dispid::kPrepareWrite).ToBool(); }
bool CCDWriterXP::IsBurnProofSupported() { return Call(dispid::kIsBurnProofSupported).ToBool(); }
bool CCDWriterXP::SetBurnProof(bool on) {
    return Call(dispid::kSetBurnProof, {Variant(on)}).ToBool();
}
bool CCDWriterXP::StartWrite() { return Call(dispid::kStartWrite).ToBool(); }
void CCDWriterXP::AbortWrite() { Call(dispid::kAbortWrite); }
bool CCDWriterXP::AfterWriteComplete() { return Call(dispid::kAfterWriteComplete).ToBool(); }

std::string CCDWriterXP::LastImage() { return site_.GetProperty(dispid::kLastImage).ToString(); }

void CCDWriterXP::SetTestWrite(bool on) { site_.PutProperty(dispid::kTestWrite, Variant(on)); }
void CCDWriterXP::SetWriteOption5(bool on) {
    site_.PutProperty(dispid::kWriteOption5, Variant(on));
}
void CCDWriterXP::SetCacheFiles(bool on) { site_.PutProperty(dispid::kCacheFiles, Variant(on)); }
void CCDWriterXP::SetWriteMode7(int32_t mode) {
    site_.PutProperty(dispid::kWriteMode7, Variant(mode));
}

}  // namespace burner
