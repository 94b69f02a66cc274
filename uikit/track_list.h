// The report-style list of MP3 files both programs show: the batch down-sizer's files, the CD
// ripper's tracks (look and rows only) and the disc burner's project. One row is one file with
// four text columns: title, position number ("%02d"), playing time (a duration text) and full
// path. The list keeps the running total of the time column, renumbers its rows, moves and
// deletes rows, reads and writes M3U playlists and hands the whole list to the player panel.
//
// The rows are the widget's own items, so owners that fill rows themselves (the ripper) and the
// operations here see the same list. The rules that need no window are in uikit/track_rules.h.
#pragma once

#include <QPointer>
#include <QTreeWidget>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "uikit/program_kind.h"
#include "uikit/track_rules.h"

class CSkinScrollBar;

// One column as an owner sets it up.
struct TrackListColumn {
    std::string caption;
    int width = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The four standard columns of each program's list: "MP3 Title", "ID" / "Track", "Time",
// "Full Path".
std::vector<TrackListColumn> StandardTrackColumns(ProgramKind kind);

// Shown by SaveM3uReporting when a playlist could not be written; followed by the path.
inline constexpr const char* kPlaylistNotWrittenMessage = "The playlist could not be written:\n";

class CTrackListCtrl : public QTreeWidget {
    Q_OBJECT

public:
    enum Column { kTitleColumn = 0, kNumberColumn = 1, kTimeColumn = 2, kPathColumn = 3 };

    explicit CTrackListCtrl(ProgramKind kind, QWidget* parent = nullptr);
    ~CTrackListCtrl() override;

    ProgramKind kind() const { return kind_; }

    // Replaces the columns (captions, widths, alignments); rows take each column's alignment.
    void InsertColumns(const std::vector<TrackListColumn>& columns);

    // Adds the file as a new last row: the time from the MP3 information library, the title from
    // an ID3v1 tag or the file name. Returns the new row's index; 0 when nothing was added (no
    // such file, not described by the library, in the burner not an MPEG audio stream of kind 2,
    // or a path of fewer than five characters). The first row also answers 0.
    int AddFile(const std::string& path);
    // The burner's loader: as AddFile with the given title and without the file-find check, the
    // tag lookup and the stream-kind test.
    int AddFileWithTitle(const std::string& title, const std::string& path);

    // Deletes the selected row, subtracts its time from the total, renumbers the rows and selects
    // the row that took its place (the new last row when the deleted one was last).
    void DeleteSelected();
    // The burner's moves of the selected row; the number column stays with the position.
    void MoveUp();
    void MoveDown();
    void MoveTop();
    void MoveBottom();
    // Deletes every row; total "00:00".
    void Clear();

    // Replaces the list by the playlist's entries. Returns the number of lines after the header
    // (blank lines, comments and missing files count; #EXTINF lines do not), 0 for an empty file,
    // -1 for a file that is not an M3U playlist or cannot be read; in those two cases the list is
    // left as it was.
    int LoadM3u(const std::string& path);
    // Writes the list as an M3U playlist; the file is replaced only once it was written
    // completely. Returns the number of rows written, -1 when the file could not be written.
    int SaveM3u(const std::string& path);
    // SaveM3u, telling the user when the playlist could not be written. The owners' save
    // commands use this one.
    int SaveM3uReporting(const std::string& path);

    // Opens the player panel on every row, starting at the selected one.
    void PlaySelected();

    // Replaces the list's own scroll bars by the skinned ones, placed in the list's parent along
    // its right and bottom edges. Called once by the owner after the list is placed.
    void AttachScrollBars();
    // Lets the skinned scroll bars take the list's scroll position again (they also follow it by
    // themselves; the list re-syncs after its own deletes, keys and wheel turns).
    void SyncScrollBars();

    // Running total of the time column, a duration text ("-1" once an invalid time was added).
    const std::string& total() const { return total_; }
    void setTotal(const std::string& total);
    // While set, a double-click does nothing (the ripper's list).
    void setPlayDisabled(bool disabled) { playDisabled_ = disabled; }
    bool playDisabled() const { return playDisabled_; }
    // While set, a double-click only shows the wait message. The down-sizer's worker sets it.
    void setBusy(bool busy) { busy_ = busy; }
    bool busy() const { return busy_; }

    // The burner's hook: called with the new total after every change of it. The studio's list
    // calls nothing.
    void SetTotalChangedHandler(std::function<void(const std::string& total)> handler);

    // Row access for owners and tests. The title and path cells give back the bytes they were
    // set with (shown as Latin-1 when they are not UTF-8) until their text is changed.
    int RowCount() const { return topLevelItemCount(); }
    std::string CellText(int row, int column) const;
    void SetCellText(int row, int column, const std::string& text);
    // The first selected row, -1 when none is.
    int SelectedRow() const;
    // Makes `row` the one selected and focused row (-1: no selection).
    void SelectRow(int row);
    // Every row in order, as handed to the player panel.
    std::vector<TrackEntry> Entries() const;

    // The text a double-click shows while the list is busy.
    std::string BusyMessage() const;

protected:
    // Called after every change of the total.
    virtual void OnTotalChanged();
    // Runs the player panel modally on `entries`, starting at row `start`.
    virtual void OpenPlayer(const std::vector<TrackEntry>& entries, int start);

    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Description;
    int AppendRow(const std::string& title, const std::string& time, const std::string& path);
    void SetTotalAndNotify(const std::string& total);
    void SwapRows(int a, int b);
    void Renumber();

    ProgramKind kind_;
    std::string total_ = "00:00";
    bool playDisabled_ = false;
    std::atomic<bool> busy_{false};
    std::vector<Qt::Alignment> alignments_;
    std::function<void(const std::string&)> totalChanged_;
    QPointer<CSkinScrollBar> verticalBar_;
    QPointer<CSkinScrollBar> horizontalBar_;
};
