// CRecordDlg (dialog 136, "Record"): writes the burn project to a CD through the CD-writer
// control. The dialog chooses the recorder, the speed and two options, hands the project's files
// to the control, starts a test or a real write and follows the control's events with status
// texts, two progress bars, messages and the enabling of its controls.
#pragma once

#include <QPoint>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "burner/cd_writer_x.h"
#include "burner/record_session.h"
#include "platform/body_drag.h"
#include "platform/control_host.h"
#include "platform/dialog.h"

namespace burner {

// The CD-writer control's picture in the dialog's corner: a 16 x 16 disc.
class WriterPicture : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class CRecordDlg : public platform::Dialog, public platform::IControlEvents {
    Q_OBJECT
  public:
    enum : int {
        kIdd = 136,
        kWriterId = 1004,
        kCacheId = 1007,
        kBurnProofId = 1008,
        kTotalBarId = 1009,
        kTestId = 1010,
        kBurnId = 1011,
        kStopId = 1012,
        kSpeedListId = 1031,
        kTrackBarId = 1037,
        kStatusId = 1038,
        kRecorderListId = 1039,
        kDeviceLabelId = 1055,
        kSpeedLabelId = 1057,
        kTotalTimeId = 1058,
        kTimeLeftId = 1059,
        kTrackLabelId = 1061,
        kTotalLabelId = 1062,
        kExitId = 11071,
    };

    // `paths`: the project's files, first track first; `total`: its playing time as a duration
    // text; `titles`: the titles the project shows for the files, the tracks' CD-Text.
    CRecordDlg(std::vector<std::string> paths, std::string total, QWidget* parent = nullptr,
               std::vector<std::string> titles = {});
    ~CRecordDlg() override;

    void OnEvent(int dispatchId, const platform::VariantList& args) override;

    int selectedDevice() const { return selectedDevice_; }
    bool idle() const { return idle_; }
    int trackCount() const { return trackCount_; }
    const std::vector<std::string>& paths() const { return paths_; }
    const std::string& total() const { return total_; }
    CCDWriterXP& writer() { return writer_; }

  protected:
    void OnInitDialog() override;
    void OnMessage(unsigned msg, platform::WParam w, platform::LParam l) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void FillRecorderList();
    void ChooseRecorder();
    void FillSpeedList();
    void ApplySpeed();
    void OnTest();
    void OnBurn();
    void RunStartSequence();
    // The question for a project file the control refused, then the file dialog for another:
    // the chosen file, or nullopt when the user gave up.
    static std::optional<std::string> AskReplacement(const std::string& path);
    void GiveUp(const std::string& path);
    void EnableControls(bool on);
    void OnCloseRequest();
    bool Checked(int id) const;
    void SetBar(int id, int percent);

    CCDWriterXP writer_;
    std::vector<std::string> paths_;
    std::vector<std::string> titles_;
    std::string total_;
    int selectedDevice_ = -1;
    bool idle_ = true;
    bool testMode_ = false;
    int trackCount_ = 0;
    RecordEventFollower events_;
    bool waitCursor_ = false;
    platform::BodyDrag drag_;
};

}  // namespace burner
