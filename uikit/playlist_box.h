// The player panel's playlist: one entry per file in play order, each with its path, a display
// title and a playing time, and a mark on the entry that is open in the player. The panel keeps
// it hidden and uses it only as the ordered store of its entries.
#pragma once

#include <QColor>
#include <QListWidget>
#include <string>
#include <vector>

// One entry, attached to its list row.
struct PlaylistItem {
    std::string path;
    std::string title;  // the file name; without its extension when extensions are hidden
    std::string time;   // "%d:%02d", minutes unpadded
};

// "%d:%02d" of (seconds / 60, seconds mod 60): 245 gives "4:05".
std::string FormatPlaylistTime(long long seconds);

// The title of a file as the desktop shows it: the name after the last separator; with
// `hideExtensions` the final extension is dropped as well.
std::string FileTitle(const std::string& path, bool hideExtensions);

class CPlaylistBox : public QListWidget {
    Q_OBJECT

public:
    // The desktop shows file extensions, so titles keep them unless told otherwise.
    explicit CPlaylistBox(QWidget* parent = nullptr, bool hideExtensions = false);
    ~CPlaylistBox() override;

    // Appends an entry with the path and an empty title and time, then refreshes it. Returns the
    // new index.
    int AddEntry(const std::string& path);
    // Title from the path; time estimated from the file size as a 128 kbit/s stream (size in
    // bytes / 16000 seconds; 0 when the file cannot be examined).
    void RefreshEntry(int index);

    // The entry's path; "" for -1 or any index that is not an entry.
    std::string GetPath(int index) const;
    std::string GetTime(int index) const;
    void SetTime(int index, const std::string& time);
    // "%d.%s" of (index + 1, title), e.g. "3.Song.mp3".
    std::string GetDisplayText(int index) const;

    // Marks `index` as the entry open in the player (-1: none) and scrolls it into view.
    void SetCurrent(int index);
    int current() const { return current_; }

    int Count() const { return count(); }
    // Indices of the selected entries, in order.
    std::vector<int> SelectedIndices() const;

    void SetColors(const QColor& text, const QColor& background, const QColor& currentText);

private:
    const PlaylistItem* Entry(int index) const;
    PlaylistItem* Entry(int index);
    void Redraw(int index);

    std::vector<PlaylistItem> items_;
    int current_ = -1;
    bool hideExtensions_;
    QColor text_{Qt::black};
    QColor currentText_{Qt::blue};
};
