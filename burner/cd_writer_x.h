// CCDWriterXP: the burner's wrapper of the CD-writer control. It creates the control by its class
// id and calls it only by the fixed dispatch ids; results come back in the control's types.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/cd_writer/cd_writer_dispids.h"
#include "platform/control_host.h"

class QWidget;

namespace burner {

// The CD-writer control's module in the system directory.
inline constexpr const char* kWriterModule = "CDWriterXP.so";

// Loads the CD-writer control's module, calls its DllRegisterServer when it has one and unloads
// it. Returns whether DllRegisterServer was called; every failure is silent.
bool RegisterWriterControl();

class CCDWriterXP {
  public:
    // Creates the control (it has no window: `parent` may be null, as on the command line);
    // false when it is not registered or its module does not load (site().LastError() tells
    // why).
    bool Create(QWidget* parent, const std::vector<uint8_t>& propertyBlock = {});
    bool IsCreated() const { return site_.IsCreated(); }
    QWidget* Widget() const { return site_.Widget(); }
    void SetEventSink(platform::IControlEvents* sink) { site_.SetEventSink(sink); }

    int16_t GetDeviceCount();
    std::string GetDeviceText1(int16_t index);
    std::string GetDeviceText2(int16_t index);
    std::string GetDeviceText3(int16_t index);
    bool SelectDevice(int16_t index);
    int16_t GetMaxWriteSpeed();
    bool SetWriteSpeed(int16_t speed);
    bool HasWritableMedia();
    int32_t GetDiscUsage();
    void ResetTracks();
    bool AddTrack(const std::string& path, int16_t index);
    // The CD-Text of an added track; an empty field keeps the song's own.
    bool SetTrackText(int16_t index, const std::string& title, const std::string& performer);
    bool PrepareWrite();
    bool IsBurnProofSupported();
    bool SetBurnProof(bool on);
    bool StartWrite();
    void AbortWrite();
    bool AfterWriteComplete();

    // The CUE sheet the disc image recorder wrote last; empty for other recorders.
    std::string LastImage();

    void SetTestWrite(bool on);
    void SetWriteOption5(bool on);
    void SetCacheFiles(bool on);
    void SetWriteMode7(int32_t mode);

    platform::ControlSite& site() { return site_; }

  private:
    platform::Variant Call(int dispatchId, const platform::VariantList& args = {});
    platform::ControlSite site_;
};

}  // namespace burner
