// The MP3 settings dialog ("MP3 SETTINGS:"): bit rate, channel mode, output sample rate, preset,
// input scaling and variable bit rate of the studio's encoder. It shows the settings record's
// values; OK stores the new ones and writes the settings file at once, Cancel stores nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"

class StudioSettings;

namespace studio {

// Choice texts of the combo boxes, in list order; their inner spacing lines up the units.
const std::vector<std::string>& BitrateChoices();
const std::vector<std::string>& ChannelChoices();
const std::vector<std::string>& SampleRateChoices();
const std::vector<std::string>& PresetChoices();
const std::vector<std::string>& ScaleFactorChoices();
const std::vector<std::string>& ScaleChannelChoices();

// List positions and stored values. A stored bit rate of -1 is "DEFAULT"; a rate not in the
// list shows as 128 kbit/s. A stored sample rate of -1 or one not in the list is "DEFAULT".
int BitratePosition(int kbps);
int BitrateAt(int position);
int SampleRatePosition(int hz);
int SampleRateAt(int position);

// "VBR quality  %d".
std::string VbrQualityLabel(int quality);

// The scale factor a typed text stands for, when the encoder can use it: a number greater than 0
// and at most kMaxScaleFactor that the settings file's two decimals do not turn into 0.00.
// nullopt for anything else (0 would encode silence). OK checks it only in scale mode.
inline constexpr double kMaxScaleFactor = 1000.0;
std::optional<double> UsableScaleFactor(const std::string& text);
inline constexpr const char* kScaleFactorRangeMessage =
    "The scale factor must be a number greater than 0 and at most 1000.";

class CMp3SettingsDlg : public platform::Dialog {
    Q_OBJECT

  public:
    enum ControlId {
        kBitrate = 1058,
        kChannels = 1076,
        kSampleRate = 1085,
        kPreset = 1095,
        kScaleMode = 1080,
        kScaleFactor = 1078,
        kScaleChannel = 1083,
        kVbrMode = 1091,
        kVbrSlider = 1074,
        kVbrLabel = 1097,
    };

    // Edits `settings` (a session's record) and saves it to `file` (the settings file unless a
    // test gives another) on OK.
    explicit CMp3SettingsDlg(StudioSettings& settings, QWidget* parent = nullptr);
    CMp3SettingsDlg(StudioSettings& settings, std::string file, QWidget* parent = nullptr);

  protected:
    void OnInitDialog() override;

  private:
    void OnOk();
    void UpdateEnabling();

    StudioSettings& settings_;
    std::string file_;
};

}  // namespace studio
