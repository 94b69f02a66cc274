// The CD ripper (dialog 238, "CD Ripper:"): lists the drives and the tracks of the disc, and rips
// the chosen tracks on a worker, either one track into the wave editor (Extract mode) or ticked
// tracks into "track%02d.mp3" (or "01 - Title.mp3") files of an output folder (CD-to-MP3 mode).
// A found disc is looked up in the online databases (when section "METADATA" says so, and by
// "Look up"); the titles, album and artist it shows are editable and are what the tags get. The
// look-up runs beside everything else: Rip never waits for it. CConfirmDlg (dialog 198) asks what
// to do about a part of the disc that cannot be read.
#pragma once

#include <functional>
#include <string>

#include "platform/dialog.h"
#include "studio/tools/cd_rip.h"
#include "studio/tools/cd_rip_titles.h"
#include "studio/tools/disc_metadata.h"

class CTrackListCtrl;
class QMenu;

namespace studio {

// "Confirm": the message and the buttons "Yes" (6), "No" (7) and "All" (1144); Esc and Enter do
// not close it.
class CConfirmDlg : public platform::Dialog {
    Q_OBJECT
  public:
    explicit CConfirmDlg(const std::string& text, QWidget* parent = nullptr);
};

class CCdRipperDlg : public platform::Dialog {
    Q_OBJECT

  public:
    // Control ids, messages and the timer of the dialog.
    enum : int {
        kIdTrackList = 1052,
        kIdDrives = 1045,
        kIdRefresh = 1013,
        kIdRip = 1019,
        kIdStop = 1021,
        kIdOutputFolder = 1271,
        kIdBrowse = 1071,
        kIdLookUp = 1300,
        kIdAlbum = 1301,
        kIdArtist = 1302,
        kIdReleases = 1303,
        kIdLookupStatus = 1304,
        kIdNaming = 1305,
        kIdAlbumLabel = 1306,
        kIdArtistLabel = 1307,
        kIdReleasesLabel = 1308,
        kIdNamingLabel = 1309,
    };
    static constexpr unsigned kMsgTrackChanged = 106;
    static constexpr unsigned kMsgRunEnded = 104;
    static constexpr int kEncodeTimer = 5;
    static constexpr int kEncodeTimerMs = 100;

    // Sets the session's ripper mode to `mode`.
    CCdRipperDlg(Session& session, RipMode mode, QWidget* parent = nullptr);
    ~CCdRipperDlg() override;

    CTrackListCtrl* list() const { return list_; }
    const RipTitles& titles() const { return titles_; }
    DiscLookup* lookup() const { return lookup_; }
    // The status line: the look-up's state ("Looking up the disc...", "Found on MusicBrainz", ...).
    std::string LookupStatus() const;
    // Whether the dialog start found no drive (the dialog then closes by itself).
    bool noDrives() const { return noDrives_; }

    // Replaces the Confirm dialog for tests: called on the worker thread with the question.
    using ConfirmHandler = std::function<int(const std::string& text)>;
    static void SetConfirmHandler(ConfirmHandler handler);

    // The commands, for tests as for the buttons.
    void OnRefresh();
    void OnRip();
    void OnStop();
    void OnBrowse();
    void OnDriveChanged();
    // "Look up": asks the services again for the disc in the drive.
    void OnLookUp();
    // A release of the choice list, the file-name choice, and edits of a title cell (also by
    // double-click or F2 on a row), the album and the artist.
    void ChooseRelease(int index);
    void ChooseNaming(RipNaming naming);
    void EditTitle(int row, const std::string& text);
    void EditAlbum(const std::string& text);
    void EditArtist(const std::string& text);
    // Ticks every row or none (CD-to-MP3 mode, not while ripping): the list's right-click menu
    // "Select all" / "Select none", which TickMenu builds (it deletes itself when closed).
    void TickAll(bool ticked);
    QMenu* TickMenu();

    // The Status column's text for a status value.
    static std::string StatusText(int status);

  protected:
    void OnInitDialog() override;
    void OnTimer(int id) override;
    void OnMessage(unsigned msg, platform::WParam w, platform::LParam l) override;
    void OnClose() override;
    void paintEvent(QPaintEvent* event) override;
    // Ticks a row whose check box was clicked: the list keeps left-button releases to itself.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class WorkerLink;
    void FillList();
    void UpdateRow(int row);
    int AskConfirm(const std::string& text);
    // A disc was read (or none): the titles start from its CD-Text and, when the settings say
    // so, a look-up starts.
    void NewDisc(bool read);
    void LookupFinished(const LookupResult& result);
    // The album, artist and release choice as the titles have them.
    void ShowTitles();
    void SetStatus(const QString& text);

    Session& session_;
    RipMode mode_;
    CTrackListCtrl* list_ = nullptr;
    RipTitles titles_;
    RipNaming naming_ = RipNaming::TrackNumber;
    DiscLookup* lookup_ = nullptr;
    bool autoLookup_ = true;
    bool showing_ = false;  // the window itself is changing cells and edits
    bool noDrives_ = false;
    bool quitAsked_ = false;
};

}  // namespace studio
