// The batch down-sizer window ("Big MP3s To Small:"): a track list of MP3 files, an output
// folder, and the convert commands that re-encode the files with the current MP3 settings on a
// worker thread (studio/tools/batch_downsizer.h) while timer 1 shows the engine's percentage.
#pragma once

#include <QFont>
#include <QPixmap>
#include <functional>
#include <string>

#include "platform/dialog.h"
#include "studio/tools/batch_downsizer.h"

class CTrackListCtrl;
class CSkinProgress;

namespace studio {

class CBatchDownsizerDlg : public platform::Dialog, public IDownsizerWindow {
    Q_OBJECT

  public:
    enum ControlId {
        kList = 1063,
        kAdd = 1064,
        kAddM3u = 1084,
        kDelete = 1065,
        kDeleteAll = 1067,
        kPlay = 1073,
        kSavePlayList = 1093,
        kSettings = 1068,
        kConvertSingle = 1098,
        kConvertAll = 1069,
        kCancel = 1100,
        kBrowse = 1070,
        kOutputFolder = 1103,
        kProgress = 1072,
        kStop = 1077,
        kViewLog = 1079,
    };
    static constexpr int kBackgroundBitmap = 236;
    static constexpr int kProgressTimer = 1;

    explicit CBatchDownsizerDlg(Session& session, QWidget* parent = nullptr);
    ~CBatchDownsizerDlg() override;

    CTrackListCtrl* list() const { return list_; }
    CBatchDownsizer& downsizer() { return downsizer_; }
    bool busy() const { return downsizer_.busy(); }

    // IDownsizerWindow: the worker's calls, carried over to the window's thread.
    int RowCount() override;
    int SelectedRow() override;
    void SelectRow(int row) override;
    std::string RowPath(int row) override;
    void SetProgressPos(int pos) override;
    void StartProgressTimer() override;
    void StopProgressTimer() override;
    void SetListBusy(bool busy) override;
    StudioSettings CurrentSettings() override;
    void RememberOutputFolder(const std::string& folder) override;
    void ShowLogButton(bool show) override;

  protected:
    void OnInitDialog() override;
    void OnTimer(int id) override;
    void OnClose() override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Shows "Please wait..." and answers true while a run converts.
    bool RefuseWhileBusy();
    void OnAdd();
    void OnAddM3u();
    void OnSavePlayList();
    void OnSettings();
    void OnBrowse();
    void OnConvert(CBatchDownsizer::Command command);
    void OnViewLog();
    // Runs `call` on the window's thread and waits for it.
    void OnGuiThread(const std::function<void()>& call);

    Session& session_;
    CBatchDownsizer downsizer_;
    CTrackListCtrl* list_ = nullptr;
    CSkinProgress* progress_ = nullptr;
    QPixmap background_;
    QFont listFont_;
    std::string outputFolder_;
};

}  // namespace studio
