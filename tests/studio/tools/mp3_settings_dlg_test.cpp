// The MP3 settings dialog driven offscreen: what it shows for stored values, what OK writes to
// the settings file, what Cancel and a bad scale factor leave alone.
#include "studio/tools/mp3_settings_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "platform/scripted_ui.h"
#include "studio/settings.h"
#include "tests/support/test_support.h"

namespace {

using namespace studio;

class Mp3Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        // As start-up sets them before the main window runs.
        platform::SetDialogColors(QColor(213, 224, 247), QColor(1, 34, 99));
        file = dir.File("settings.ini");
        stored.SetDefaults();
        stored.Save(file);
    }

    // Runs the dialog modally on `stored`; `act` works it once it shows.
    int Run(const std::function<void(CMp3SettingsDlg&)>& act) {
        CMp3SettingsDlg dialog(stored, file);
        QTimer::singleShot(0, &dialog, [&dialog, &act] {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            act(dialog);
        });
        return dialog.DoModal();
    }

    static QComboBox* Combo(CMp3SettingsDlg& d, int id) { return d.Control<QComboBox>(id); }
    static std::string Shown(CMp3SettingsDlg& d, int id) {
        return Combo(d, id)->currentText().toStdString();
    }

    StudioSettings Reloaded() {
        StudioSettings s;
        s.SetDefaults();
        s.Load(file);
        return s;
    }

    testing_support::TempDir dir;
    std::string file;
    StudioSettings stored;
    platform::ScopedScriptedUi ui;
};

TEST(Mp3SettingsChoices, TextsAndMappingsBothWays) {
    ASSERT_EQ(BitrateChoices().size(), 19u);
    EXPECT_EQ(BitrateChoices()[0], "  8        kbit/s");
    EXPECT_EQ(BitrateChoices()[11], "128      kbit/s");
    EXPECT_EQ(SampleRateChoices()[2], "11025  Hz");
    EXPECT_EQ(SampleRateChoices()[3], "12000   Hz");
    EXPECT_EQ(PresetChoices()[7], "high quality");
    EXPECT_EQ(PresetChoices()[17], "CBR");
    ASSERT_EQ(ScaleFactorChoices().size(), 32u);
    EXPECT_EQ(ScaleFactorChoices()[1], "0.5");
    EXPECT_EQ(ScaleFactorChoices().back(), "30");
    for (int position = 0; position < 19; ++position)
        EXPECT_EQ(BitratePosition(BitrateAt(position)), position);
    for (int position = 0; position < 10; ++position)
        EXPECT_EQ(SampleRatePosition(SampleRateAt(position)), position);
    EXPECT_EQ(BitratePosition(100), 11);
    EXPECT_EQ(SampleRatePosition(44000), 0);

    EXPECT_EQ(UsableScaleFactor("1.5"), 1.5);
    EXPECT_EQ(UsableScaleFactor("1000"), 1000.0);
    EXPECT_EQ(UsableScaleFactor("0.005"), 0.005);  // stored as 0.01
    // "l.5" mistyped for 1.5 reads as 0; 0.004 would be stored as 0.00.
    for (const char* bad : {"0", "0.00", "-1", "abc", "", "1000.5", "1e9", "l.5", "0.004"})
        EXPECT_EQ(UsableScaleFactor(bad), std::nullopt) << bad;
}

TEST_F(Mp3Settings, OkStoresEveryControlAndTheFileKeepsIt) {
    stored.bitrate = 100;  // not in the list
    stored.resampleRate = -1;
    stored.vbrEnabled = 0;
    stored.vbrQuality = 4;
    stored.scaleEnabled = 0;
    std::string bitrateShown, rateShown, labelShown, factorShown;
    bool sliderEnabled = true, factorEnabled = true;
    const int result = Run([&](CMp3SettingsDlg& d) {
        testing_support::KeepScreenshot(d.grab().toImage(), "mp3_settings.png");
        bitrateShown = Shown(d, CMp3SettingsDlg::kBitrate);
        rateShown = Shown(d, CMp3SettingsDlg::kSampleRate);
        labelShown = d.ItemText(CMp3SettingsDlg::kVbrLabel);
        factorShown = d.ItemText(CMp3SettingsDlg::kScaleFactor);
        sliderEnabled = d.Item(CMp3SettingsDlg::kVbrSlider)->isEnabled();
        factorEnabled = d.Item(CMp3SettingsDlg::kScaleFactor)->isEnabled();

        Combo(d, CMp3SettingsDlg::kBitrate)->setCurrentIndex(18);    // DEFAULT
        Combo(d, CMp3SettingsDlg::kSampleRate)->setCurrentIndex(8);  // 44100
        Combo(d, CMp3SettingsDlg::kChannels)->setCurrentIndex(1);
        Combo(d, CMp3SettingsDlg::kPreset)->setCurrentIndex(17);
        QTest::mouseClick(d.Item(CMp3SettingsDlg::kScaleMode), Qt::LeftButton);
        EXPECT_TRUE(d.Item(CMp3SettingsDlg::kScaleFactor)->isEnabled());
        EXPECT_TRUE(d.Item(CMp3SettingsDlg::kScaleChannel)->isEnabled());
        d.SetItemText(CMp3SettingsDlg::kScaleFactor, "1.5");
        Combo(d, CMp3SettingsDlg::kScaleChannel)->setCurrentIndex(2);
        // The slider moves only once VBR is on; its position is stored either way.
        d.Control<QSlider>(CMp3SettingsDlg::kVbrSlider)->setValue(7);
        QTest::keyClick(d.Item(CMp3SettingsDlg::kScaleFactor), Qt::Key_Return);  // Enter is OK
    });
    EXPECT_EQ(result, platform::IDOK);
    EXPECT_EQ(bitrateShown, "128      kbit/s");
    EXPECT_EQ(rateShown, "DEFAULT");
    EXPECT_EQ(labelShown, "VBR quality  4");
    EXPECT_EQ(factorShown, "1.00");
    EXPECT_FALSE(sliderEnabled);
    EXPECT_FALSE(factorEnabled);

    const StudioSettings s = Reloaded();
    EXPECT_EQ(s.bitrate, -1);
    EXPECT_EQ(s.resampleRate, 44100);
    EXPECT_EQ(s.channelMode, 1);
    EXPECT_EQ(s.preset, 17);
    EXPECT_EQ(s.scaleEnabled, 1);
    EXPECT_DOUBLE_EQ(s.scaleFactor, 1.5);
    EXPECT_EQ(s.scaleChannel, 2);
    EXPECT_EQ(s.vbrEnabled, 0);
    EXPECT_EQ(s.vbrQuality, 7);

    // Opened again on what was stored.
    Run([&](CMp3SettingsDlg& d) {
        bitrateShown = Shown(d, CMp3SettingsDlg::kBitrate);
        rateShown = Shown(d, CMp3SettingsDlg::kSampleRate);
        factorShown = d.ItemText(CMp3SettingsDlg::kScaleFactor);
        d.EndDialog(platform::IDCANCEL);
    });
    EXPECT_EQ(bitrateShown, "DEFAULT");
    EXPECT_EQ(rateShown, "44100   Hz");
    EXPECT_EQ(factorShown, "1.50");
    EXPECT_TRUE(ui->messageTexts().empty());
}

TEST_F(Mp3Settings, CancelEscAndABadScaleFactorStoreNothing) {
    const std::string before = [this] {
        const auto bytes = testing_support::ReadFile(file);
        return std::string(bytes.begin(), bytes.end());
    }();
    const auto changeEverything = [](CMp3SettingsDlg& d) {
        for (int id :
             {CMp3SettingsDlg::kBitrate, CMp3SettingsDlg::kChannels, CMp3SettingsDlg::kSampleRate,
              CMp3SettingsDlg::kPreset, CMp3SettingsDlg::kScaleChannel})
            Combo(d, id)->setCurrentIndex(1);
        d.Control<QCheckBox>(CMp3SettingsDlg::kScaleMode)->setChecked(true);
        d.Control<QCheckBox>(CMp3SettingsDlg::kVbrMode)->setChecked(false);
        d.SetItemText(CMp3SettingsDlg::kScaleFactor, "7");
        d.Control<QSlider>(CMp3SettingsDlg::kVbrSlider)->setValue(9);
    };
    EXPECT_EQ(Run([&](CMp3SettingsDlg& d) {
                  changeEverything(d);
                  QTest::mouseClick(d.Item(platform::IDCANCEL), Qt::LeftButton);
              }),
              platform::IDCANCEL);
    EXPECT_EQ(Run([&](CMp3SettingsDlg& d) {
                  changeEverything(d);
                  QTest::keyClick(&d, Qt::Key_Escape);
              }),
              platform::IDCANCEL);

    // A factor of 0 is refused with the range, and the dialog stays open until Cancel.
    bool stillOpen = false;
    EXPECT_EQ(Run([&](CMp3SettingsDlg& d) {
                  changeEverything(d);
                  d.SetItemText(CMp3SettingsDlg::kScaleFactor, "0");
                  QTest::mouseClick(d.Item(platform::IDOK), Qt::LeftButton);
                  stillOpen = d.isVisible();
                  d.close();
              }),
              platform::IDCANCEL);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{kScaleFactorRangeMessage});

    const auto after = testing_support::ReadFile(file);
    EXPECT_EQ(std::string(after.begin(), after.end()), before);
    StudioSettings defaults;
    defaults.SetDefaults();
    EXPECT_EQ(stored.bitrate, defaults.bitrate);
    EXPECT_EQ(stored.channelMode, defaults.channelMode);
    EXPECT_EQ(stored.vbrEnabled, defaults.vbrEnabled);
    EXPECT_DOUBLE_EQ(stored.scaleFactor, defaults.scaleFactor);
}

// Scale mode on: a factor the settings file would keep as 0.00 is refused. Scale mode off: the
// greyed field is not checked, so a bad stored factor cannot hold the dialog open; it is kept as
// it was.
TEST_F(Mp3Settings, TheFactorIsCheckedOnlyInScaleMode) {
    bool stillOpen = false;
    EXPECT_EQ(Run([&](CMp3SettingsDlg& d) {
                  d.Control<QCheckBox>(CMp3SettingsDlg::kScaleMode)->setChecked(true);
                  d.SetItemText(CMp3SettingsDlg::kScaleFactor, "0.004");
                  QTest::mouseClick(d.Item(platform::IDOK), Qt::LeftButton);
                  stillOpen = d.isVisible();
                  d.close();
              }),
              platform::IDCANCEL);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{kScaleFactorRangeMessage});

    ui->Clear();
    stored.scaleEnabled = 0;
    stored.scaleFactor = 0.0;  // "l.5" in the file reads as 0
    stored.channelMode = 0;
    bool factorEnabled = true;
    EXPECT_EQ(Run([&](CMp3SettingsDlg& d) {
                  factorEnabled = d.Item(CMp3SettingsDlg::kScaleFactor)->isEnabled();
                  Combo(d, CMp3SettingsDlg::kChannels)->setCurrentIndex(2);
                  QTest::mouseClick(d.Item(platform::IDOK), Qt::LeftButton);
              }),
              platform::IDOK);
    EXPECT_FALSE(factorEnabled);
    EXPECT_TRUE(ui->messageTexts().empty());
    const StudioSettings s = Reloaded();
    EXPECT_EQ(s.channelMode, 2);
    EXPECT_EQ(s.scaleEnabled, 0);
    EXPECT_DOUBLE_EQ(s.scaleFactor, 0.0);
}

}  // namespace
