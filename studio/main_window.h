// The ringtone studio's main window: a captionless skinned window with the wave editor, the
// progress bar and the command buttons; it runs the ringtone workflow (open, mark, play, save as
// WAV, MP3 or MMF) and starts the conversions, the tools, the disc burner and the help.
#pragma once

#include <QPoint>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/body_drag.h"
#include "platform/dialog.h"
#include "studio/jobs.h"
#include "studio/ringtone_shaping.h"
#include "studio/ringtone_tools.h"
#include "studio/wav.h"
#include "studio/wave_edit_x.h"
#include "uikit/mci_player.h"

class CSkinProgress;
class QMenu;

namespace studio {

class CRingsmithDlg : public platform::Dialog, public IJobWindow {
    Q_OBJECT

  public:
    // `session`: the run's session, which outlives the window.
    explicit CRingsmithDlg(Session& session, QWidget* parent = nullptr);
    // Asks the session's jobs to stop and waits for them, handling the calls they make on the
    // window meanwhile: no job outlives the window it reports to.
    ~CRingsmithDlg() override;

    // The window's pieces and state, for the jobs and for tests.
    CMMWaveEditX& editor() { return editor_; }
    CSkinProgress* progress() const { return progress_; }
    bool playing() const { return playing_.load() != 0; }
    const std::string& currentFileName() const { return currentFileName_; }
    // True once initialisation failed or the window asked to end (the quit message is posted).
    bool quitRequested() const { return quitRequested_; }

    // Files dropped on the window (full paths).
    void DropFiles(const std::vector<std::string>& paths);
    // Opens `path` as "Open mp3" opens the file chosen in its dialog: refused while busy, its
    // folder remembered for the next dialog, the decode started (with that command's messages
    // for a file that cannot be opened).
    void OpenSong(const std::string& path);
    // The song named on the command line: opened with OpenSong once the window is up and
    // running. startPending() is true until then.
    void OpenAtStart(const std::string& path);
    bool startPending() const { return startSong_.has_value(); }
    // A command of the system menu; 16 to 31 open the About box.
    void SysCommand(int id);
    // The entries of the window's system menu (shown by a right click).
    QMenu* systemMenu() const { return systemMenu_; }
    // The ringtone tools of the waveform (its right-click menu); null before initialisation.
    RingtoneTools* ringtoneTools() const { return ringtoneTools_.get(); }

    // System-menu command of the About box, and the message that ends the window.
    static constexpr int kIdmAboutBox = 16;
    static constexpr unsigned kQuitMessage = 0x0012;

    // IJobWindow: calls from a job's worker thread are carried over to the user-interface
    // thread; Selection() waits there for the editor's answer.
    void SetProgressPos(int pos) override;
    void StartJobTimer(int id, int ms) override;
    void StopJobTimer(int id) override;
    void LoadFileIntoEditor(const std::string& path) override;
    void RepaintWindow() override;
    ISelectionSource& Selection() override;
    void SetCurrentFile(const std::string& path) override;
    bool IsPlaying() const override { return playing(); }
    Session& session() override { return session_; }

  protected:
    void OnInitDialog() override;
    void OnTimer(int id) override;
    void OnMessage(unsigned msg, platform::WParam w, platform::LParam l) override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void PostQuit();
    void CreateButtons();
    void BuildSystemMenu();

    // Commands.
    void OnNew();
    void OnOpenMp3();
    void OpenChosenSong(const std::string& path);
    void OnSaveAsWav();
    void OnSaveAsMmf();
    void OnSaveAsMp3();
    void OnMp3ToWav();
    void OnWavToMp3();
    void OnMp3Info();
    void OnMp3ToCd();
    void OnHelp();
    void OnBigToSmall();
    void OnExtractFromCd();
    void OnCdToMp3();
    void OnPlay();
    void OnStop();
    void OnPlayOrStop();
    void OnMinimize();
    void OnExit();
    void OnCloseRequest();
    bool ConfirmExit();

    // Calls the segment writer and reports a damaged current WAV instead of failing silently.
    bool CutSelectionTo(const std::string& target);
    // Cuts and shapes the selection into the preview file Play plays; false (after any message)
    // when it could not.
    bool CutSelectionShapedForPreview(const std::string& preview, const std::string& wav,
                                      const RingtoneShaping& shaping);
    void StopPlayback();
    // With loop preview on, starts the played part over; false when it is off or cannot.
    bool RestartLoop();
    // Runs `call` on the user-interface thread: at once when already there, else queued (or,
    // with `wait`, queued and waited for).
    void OnGuiThread(std::function<void()> call, bool wait = false);

    // The editor's selection as the segment writer asks for it, from any thread.
    class GuiSelection : public ISelectionSource {
      public:
        explicit GuiSelection(CRingsmithDlg& window) : window_(window) {}
        void GetSelection(int32_t& start, int32_t& end) override;

      private:
        CRingsmithDlg& window_;
    };
    GuiSelection guiSelection_{*this};

    std::optional<std::string> startSong_;
    CMMWaveEditX editor_;
    CSkinProgress* progress_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    CMciPlayer player_;
    // 1 while a selection plays; read by the jobs' busy check.
    std::atomic<int> playing_{0};
    int32_t playStart_ = 0;
    int32_t playEnd_ = 0;
    uint32_t playEndMs_ = 0;
    // Where a looped preview starts over, and the editor's cursor for the played file's start
    // (a shaped preview is a file of its own that begins at the selection).
    uint32_t loopStartMs_ = 0;
    int32_t playCursorOffset_ = 0;
    WaveFormat playFormat_;
    std::string currentFileName_;
    Session& session_;
    bool quitRequested_ = false;
    // Dragging the window by its body when the window system cannot move it itself.
    platform::BodyDrag drag_;
    std::unique_ptr<RingtoneTools> ringtoneTools_;
};

}  // namespace studio
