#include "studio/tools/mp3_settings_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "platform/ui.h"
#include "studio/settings.h"
#include "studio/tools/tool_controls.h"
#include "uikit/skin_list.h"

namespace studio {
namespace {

constexpr int kBitrates[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                             96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr int kDefaultBitratePosition = 11;  // 128 kbit/s
constexpr int kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kVbrQualityMax = 9;

template <size_t N>
int IndexIn(const int (&values)[N], int value) {
    for (size_t i = 0; i < N; ++i) {
        if (values[i] == value) return static_cast<int>(i);
    }
    return -1;
}

using platform::ControlKind;
using platform::ControlSpec;

platform::DialogTemplate SettingsTemplate() {
    platform::DialogTemplate t;
    t.caption = "MP3 SETTINGS:";
    t.size = QSize(420, 356);
    const auto label = [](const char* text, const QRect& rect) {
        return ControlSpec{platform::IDC_STATIC, ControlKind::Static, text, rect};
    };
    const auto combo = [](int id, const QRect& rect) {
        return ControlSpec{id, ControlKind::ComboBox, "", rect};
    };
    t.controls = {
        {platform::IDC_STATIC, ControlKind::GroupBox, "General", Ltrb(10, 6, 410, 116)},
        label("Bitrate :", Ltrb(24, 34, 90, 56)),
        combo(CMp3SettingsDlg::kBitrate, Ltrb(92, 32, 212, 58)),
        label("Channels:", Ltrb(24, 74, 90, 96)),
        combo(CMp3SettingsDlg::kChannels, Ltrb(92, 72, 212, 98)),
        label("sample:", Ltrb(226, 34, 280, 56)),
        combo(CMp3SettingsDlg::kSampleRate, Ltrb(282, 32, 398, 58)),
        label("MPEG:", Ltrb(226, 74, 280, 96)),
        combo(CMp3SettingsDlg::kPreset, Ltrb(282, 72, 398, 98)),

        {platform::IDC_STATIC, ControlKind::GroupBox, "Scale", Ltrb(10, 124, 410, 200)},
        {CMp3SettingsDlg::kScaleMode, ControlKind::CheckBox, "use scale mode",
         Ltrb(24, 148, 150, 170)},
        label("scale factor :", Ltrb(24, 170, 110, 192)),
        combo(CMp3SettingsDlg::kScaleFactor, Ltrb(112, 168, 200, 194)),
        label("scale channel:", Ltrb(226, 170, 318, 192)),
        combo(CMp3SettingsDlg::kScaleChannel, Ltrb(320, 168, 398, 194)),

        {platform::IDC_STATIC, ControlKind::GroupBox, "VBR", Ltrb(10, 208, 410, 302)},
        {CMp3SettingsDlg::kVbrMode, ControlKind::CheckBox, "Enable VBR", Ltrb(24, 232, 150, 254)},
        {CMp3SettingsDlg::kVbrLabel, ControlKind::Static, "", Ltrb(226, 232, 398, 254)},
        label("High", Ltrb(24, 266, 60, 288)),
        {CMp3SettingsDlg::kVbrSlider, ControlKind::Custom, "", Ltrb(62, 264, 350, 290), false,
         false, false, [](QWidget* parent) { return new CSkinSlider(Qt::Horizontal, parent); }},
        label("Low", Ltrb(358, 266, 398, 288)),

        XPButtonSpec(platform::IDOK, "OK", Ltrb(222, 316, 312, 344), true),
        XPButtonSpec(platform::IDCANCEL, "Cancel", Ltrb(320, 316, 410, 344)),
    };
    return t;
}

void FillCombo(QComboBox* combo, const std::vector<std::string>& choices) {
    if (!combo) return;
    for (const std::string& text : choices) combo->addItem(QString::fromStdString(text));
}

}  // namespace

const std::vector<std::string>& BitrateChoices() {
    static const std::vector<std::string> choices = {
        "  8        kbit/s", "16        kbit/s", "24        kbit/s", "32        kbit/s",
        "40        kbit/s",  "48        kbit/s", "56        kbit/s", "64        kbit/s",
        "80        kbit/s",  "96        kbit/s", "112      kbit/s",  "128      kbit/s",
        "144      kbit/s",   "160      kbit/s",  "192      kbit/s",  "224      kbit/s",
        "256      kbit/s",   "320      kbit/s",  "DEFAULT"};
    return choices;
}

const std::vector<std::string>& ChannelChoices() {
    static const std::vector<std::string> choices = {"Stereo", "Joint Stereo", "Mono"};
    return choices;
}

const std::vector<std::string>& SampleRateChoices() {
    static const std::vector<std::string> choices = {
        "DEFAULT",    "8000    Hz", "11025  Hz",  "12000   Hz", "16000   Hz",
        "22050   Hz", "24000   Hz", "32000   Hz", "44100   Hz", "48000   Hz"};
    return choices;
}

const std::vector<std::string>& PresetChoices() {
    static const std::vector<std::string> choices = {
        "standard", "fast standard", "medium", "fast medium", "extreme", "fast extreme",
        "insane",   "high quality",  "voice",  "phone",       "SW",      "FM",
        "radio",    "tape",          "hifi",   "cd",          "studio",  "CBR",
        "DEFAULT"};
    return choices;
}

const std::vector<std::string>& ScaleFactorChoices() {
    static const std::vector<std::string> choices = [] {
        std::vector<std::string> texts = {"0.25", "0.5"};
        for (int i = 1; i <= 30; ++i) texts.push_back(std::to_string(i));
        return texts;
    }();
    return choices;
}

const std::vector<std::string>& ScaleChannelChoices() {
    static const std::vector<std::string> choices = {"Both", "Left", "Right"};
    return choices;
}

int BitratePosition(int kbps) {
    if (kbps == -1) return static_cast<int>(std::size(kBitrates));
    const int at = IndexIn(kBitrates, kbps);
    return at < 0 ? kDefaultBitratePosition : at;
}

int BitrateAt(int position) {
    if (position < 0 || position >= static_cast<int>(std::size(kBitrates))) return -1;
    return kBitrates[position];
}

int SampleRatePosition(int hz) { return IndexIn(kSampleRates, hz) + 1; }

int SampleRateAt(int position) {
    if (position < 1 || position > static_cast<int>(std::size(kSampleRates))) return -1;
    return kSampleRates[position - 1];
}

std::string VbrQualityLabel(int quality) { return "VBR quality  " + std::to_string(quality); }

std::optional<double> UsableScaleFactor(const std::string& text) {
    const double value = ParseScaleFactor(text);
    if (!(value > 0.0) || value > kMaxScaleFactor) return std::nullopt;
    // The settings file keeps two decimals: a factor it would store as 0.00 encodes silence.
    if (!(ParseScaleFactor(FormatScaleFactor(value)) > 0.0)) return std::nullopt;
    return value;
}

CMp3SettingsDlg::CMp3SettingsDlg(StudioSettings& settings, QWidget* parent)
    : CMp3SettingsDlg(settings, SettingsFileName(), parent) {}

CMp3SettingsDlg::CMp3SettingsDlg(StudioSettings& settings, std::string file, QWidget* parent)
    : platform::Dialog(SettingsTemplate(), parent), settings_(settings), file_(std::move(file)) {
    FillCombo(Control<QComboBox>(kBitrate), BitrateChoices());
    FillCombo(Control<QComboBox>(kChannels), ChannelChoices());
    FillCombo(Control<QComboBox>(kSampleRate), SampleRateChoices());
    FillCombo(Control<QComboBox>(kPreset), PresetChoices());
    FillCombo(Control<QComboBox>(kScaleFactor), ScaleFactorChoices());
    FillCombo(Control<QComboBox>(kScaleChannel), ScaleChannelChoices());
    if (auto* factor = Control<QComboBox>(kScaleFactor)) {
        factor->setEditable(true);
        factor->setInsertPolicy(QComboBox::NoInsert);
    }
    if (auto* slider = Control<CSkinSlider>(kVbrSlider)) {
        // The slider's ground is the dialog's, not a white box in it.
        slider->SetBkColor(palette().color(QPalette::Window));
        slider->setRange(0, kVbrQualityMax);
        slider->setPageStep(1);
        slider->setTickPosition(QSlider::TicksBelow);
        // The label follows the slider when the user lets go of it, as well as after a key or a
        // click on the groove, which also end a move.
        connect(slider, &QSlider::sliderReleased, this,
                [this, slider] { SetItemText(kVbrLabel, VbrQualityLabel(slider->value())); });
        connect(slider, &QSlider::actionTriggered, this, [this, slider](int) {
            if (!slider->isSliderDown()) {
                QMetaObject::invokeMethod(
                    this,
                    [this, slider] { SetItemText(kVbrLabel, VbrQualityLabel(slider->value())); },
                    Qt::QueuedConnection);
            }
        });
    }
    OnCommand(kScaleMode, [this] { UpdateEnabling(); });
    OnCommand(kVbrMode, [this] { UpdateEnabling(); });
    OnCommand(platform::IDOK, [this] { OnOk(); });
}

void CMp3SettingsDlg::OnInitDialog() {
    const StudioSettings& s = settings_;
    const auto select = [this](int id, int position) {
        if (auto* combo = Control<QComboBox>(id)) combo->setCurrentIndex(position);
    };
    select(kBitrate, BitratePosition(s.bitrate));
    select(kChannels, s.channelMode);
    select(kSampleRate, SampleRatePosition(s.resampleRate));
    if (auto* factor = Control<QComboBox>(kScaleFactor)) {
        factor->setCurrentIndex(-1);
        factor->setEditText(QString::fromStdString(FormatScaleFactor(s.scaleFactor)));
    }
    select(kPreset, s.preset);
    if (auto* slider = Control<QSlider>(kVbrSlider)) slider->setValue(s.vbrQuality);
    SetItemText(kVbrLabel, VbrQualityLabel(s.vbrQuality));
    if (auto* box = Control<QCheckBox>(kScaleMode)) box->setChecked(s.scaleEnabled != 0);
    if (auto* box = Control<QCheckBox>(kVbrMode)) box->setChecked(s.vbrEnabled != 0);
    select(kScaleChannel, s.scaleChannel);
    UpdateEnabling();
}

void CMp3SettingsDlg::UpdateEnabling() {
    const auto checked = [this](int id) {
        const auto* box = Control<QCheckBox>(id);
        return box && box->isChecked();
    };
    EnableItem(kScaleFactor, checked(kScaleMode));
    EnableItem(kScaleChannel, checked(kScaleMode));
    EnableItem(kVbrSlider, checked(kVbrMode));
}

void CMp3SettingsDlg::OnOk() {
    const auto position = [this](int id) {
        const auto* combo = Control<QComboBox>(id);
        return combo ? combo->currentIndex() : 0;
    };
    const auto checked = [this](int id) {
        const auto* box = Control<QCheckBox>(id);
        return box && box->isChecked() ? 1 : 0;
    };
    // The factor is used only in scale mode; while the field is greyed, what it holds is kept
    // without a check the user could not act on.
    const bool scaleMode = checked(kScaleMode) != 0;
    const std::string factorText = ItemText(kScaleFactor);
    const std::optional<double> factor = UsableScaleFactor(factorText);
    if (scaleMode && !factor) {
        platform::ShowMessage(kScaleFactorRangeMessage);
        return;
    }
    StudioSettings& s = settings_;
    s.bitrate = BitrateAt(position(kBitrate));
    s.channelMode = position(kChannels);
    s.resampleRate = SampleRateAt(position(kSampleRate));
    s.preset = position(kPreset);
    s.scaleChannel = position(kScaleChannel);
    s.scaleEnabled = checked(kScaleMode);
    s.vbrEnabled = checked(kVbrMode);
    s.scaleFactor = factor ? *factor : ParseScaleFactor(factorText);
    if (const auto* slider = Control<QSlider>(kVbrSlider)) s.vbrQuality = slider->value();
    if (!s.Save(file_)) {
        platform::ShowMessage("The settings could not be written to " + file_ + ".",
                              platform::MsgIcon::Error);
    }
    EndDialog(platform::IDOK);
}

}  // namespace studio
