#include "uikit/playlist_box.h"

#include <cstdio>

#include "platform/paths.h"

namespace {

// Bytes per second of a 128 kbit/s stream: the estimate until the player knows the exact length.
constexpr long long kEstimateBytesPerSecond = 16000;

}  // namespace

std::string FormatPlaylistTime(long long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

std::string FileTitle(const std::string& path, bool hideExtensions) {
    std::string name = platform::AfterLastSeparator(path);
    if (hideExtensions) {
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) name.resize(dot);
    }
    return name;
}

CPlaylistBox::CPlaylistBox(QWidget* parent, bool hideExtensions)
    : QListWidget(parent), hideExtensions_(hideExtensions) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

CPlaylistBox::~CPlaylistBox() = default;

int CPlaylistBox::AddEntry(const std::string& path) {
    items_.push_back({path, "", ""});
    addItem(QString());
    const int index = count() - 1;
    RefreshEntry(index);
    return index;
}

void CPlaylistBox::RefreshEntry(int index) {
    PlaylistItem* entry = Entry(index);
    if (!entry) return;
    entry->title = FileTitle(entry->path, hideExtensions_);
    const long long size = platform::FileSize(entry->path);
    entry->time = FormatPlaylistTime(size > 0 ? size / kEstimateBytesPerSecond : 0);
    Redraw(index);
}

std::string CPlaylistBox::GetPath(int index) const {
    const PlaylistItem* entry = Entry(index);
    return entry ? entry->path : std::string();
}

std::string CPlaylistBox::GetTime(int index) const {
    const PlaylistItem* entry = Entry(index);
    return entry ? entry->time : std::string();
}

void CPlaylistBox::SetTime(int index, const std::string& time) {
    if (PlaylistItem* entry = Entry(index)) {
        entry->time = time;
        Redraw(index);
    }
}

std::string CPlaylistBox::GetDisplayText(int index) const {
    const PlaylistItem* entry = Entry(index);
    if (!entry) return std::string();
    return std::to_string(index + 1) + "." + entry->title;
}

void CPlaylistBox::SetCurrent(int index) {
    const int old = current_;
    current_ = Entry(index) ? index : -1;
    Redraw(old);
    Redraw(current_);
    // An entry out of view becomes the first visible one.
    if (QListWidgetItem* row = item(current_)) {
        if (!viewport()->rect().contains(visualItemRect(row)))
            scrollToItem(row, QAbstractItemView::PositionAtTop);
    }
}

std::vector<int> CPlaylistBox::SelectedIndices() const {
    std::vector<int> indices;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected()) indices.push_back(i);
    return indices;
}

void CPlaylistBox::SetColors(const QColor& text, const QColor& background,
                             const QColor& currentText) {
    text_ = text;
    currentText_ = currentText;
    QPalette colours = palette();
    colours.setColor(QPalette::Base, background);
    colours.setColor(QPalette::Text, text);
    setPalette(colours);
    for (int i = 0; i < count(); ++i) Redraw(i);
}

const PlaylistItem* CPlaylistBox::Entry(int index) const {
    if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
    return &items_[static_cast<size_t>(index)];
}

PlaylistItem* CPlaylistBox::Entry(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
    return &items_[static_cast<size_t>(index)];
}

void CPlaylistBox::Redraw(int index) {
    const PlaylistItem* entry = Entry(index);
    QListWidgetItem* row = item(index);
    if (!entry || !row) return;
    row->setText(QString::fromStdString(GetDisplayText(index) + "  " + entry->time));
    row->setForeground(index == current_ ? currentText_ : text_);
    QFont font = row->font();
    font.setBold(index == current_);
    row->setFont(font);
}
