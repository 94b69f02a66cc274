#include "uikit/track_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <algorithm>
#include <utility>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "uikit/mp3_info.h"
#include "uikit/player_panel.h"
#include "uikit/skin_list.h"
#include "uikit/time_calc.h"

namespace {

constexpr const char* kEmptyTotal = "00:00";
// The title and path columns keep their exact bytes beside the display text: a title or file
// name that is not UTF-8 is shown as Latin-1, but played, renamed around and saved as it was.
constexpr int kExactBytesRole = Qt::UserRole + 1;

bool KeepsBytes(int column) {
    return column == CTrackListCtrl::kTitleColumn || column == CTrackListCtrl::kPathColumn;
}

QString Shown(const std::string& bytes) {
    return QString::fromStdString(platform::ShownUtf8(bytes));
}
// Paths shorter than this are never listed.
constexpr size_t kMinPathLength = 5;

// The playing time of an accepted file as a duration text; nullopt when the file is not listed.
std::optional<std::string> ListedTime(const std::string& path, bool requireMpegAudio) {
    // A path with a zero byte (a binary playlist line) names no file.
    if (path.find('\0') != std::string::npos) return std::nullopt;
    const std::optional<int> seconds = DescribeMp3File(path, requireMpegAudio);
    if (!seconds) return std::nullopt;
    return FormatDuration(std::max(*seconds, 0));
}

}  // namespace

std::vector<TrackListColumn> StandardTrackColumns(ProgramKind kind) {
    const bool burner = kind == ProgramKind::Burner;
    return {
        {"MP3 Title", 300, Qt::AlignLeft},
        {burner ? "Track" : "ID", burner ? 60 : 50, Qt::AlignHCenter},
        {"Time", burner ? 60 : 50, Qt::AlignHCenter},
        {"Full Path", 180, Qt::AlignLeft},
    };
}

CTrackListCtrl::CTrackListCtrl(ProgramKind kind, QWidget* parent)
    : QTreeWidget(parent), kind_(kind) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection stays visible while another control has the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
    AttachSkinHeader(this);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    InsertColumns(StandardTrackColumns(kind));
}

CTrackListCtrl::~CTrackListCtrl() = default;

void CTrackListCtrl::InsertColumns(const std::vector<TrackListColumn>& columns) {
    setColumnCount(static_cast<int>(columns.size()));
    QStringList captions;
    for (const TrackListColumn& column : columns)
        captions << QString::fromStdString(column.caption);
    setHeaderLabels(captions);
    alignments_.clear();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const TrackListColumn& column = columns[static_cast<size_t>(i)];
        setColumnWidth(i, column.width);
        headerItem()->setTextAlignment(i, column.alignment | Qt::AlignVCenter);
        alignments_.push_back(column.alignment | Qt::AlignVCenter);
    }
}

int CTrackListCtrl::AddFile(const std::string& path) {
    if (!platform::FileExists(path) || platform::IsDirectory(path)) return 0;
    const std::optional<std::string> time = ListedTime(path, kind_ == ProgramKind::Burner);
    if (!time || path.size() < kMinPathLength) return 0;
    return AppendRow(FindTrackTitle(path), *time, path);
}

int CTrackListCtrl::AddFileWithTitle(const std::string& title, const std::string& path) {
    const std::optional<std::string> time = ListedTime(path, false);
    if (!time || path.size() < kMinPathLength) return 0;
    return AppendRow(title, *time, path);
}

int CTrackListCtrl::AppendRow(const std::string& title, const std::string& time,
                              const std::string& path) {
    const int n = RowCount();
    auto* item = new QTreeWidgetItem;
    const std::string texts[] = {title, FormatTrackNumber(n + 1), time, path};
    for (int column = 0; column < 4; ++column) {
        item->setText(column, Shown(texts[column]));
        if (KeepsBytes(column))
            item->setData(column, kExactBytesRole, QByteArray::fromStdString(texts[column]));
        if (column < static_cast<int>(alignments_.size()))
            item->setTextAlignment(column, alignments_[static_cast<size_t>(column)]);
    }
    addTopLevelItem(item);
    setFocus();
    SetTotalAndNotify(CTimeCalc().Add(time, total_));
    return n;
}

void CTrackListCtrl::DeleteSelected() {
    const int s = SelectedRow();
    if (s < 0) {
        platform::ShowMessage(kSelectTrackFirstMessage);
        return;
    }
    SetTotalAndNotify(CTimeCalc().Subtract(total_, CellText(s, kTimeColumn)));
    delete takeTopLevelItem(s);
    Renumber();
    // The row after the deleted one takes its place; after the last row, the new last row.
    const int count = RowCount();
    SelectRow(count == 0 ? -1 : std::min(s, count - 1));
    setFocus();
    SyncScrollBars();
}

void CTrackListCtrl::MoveUp() {
    const int s = SelectedRow();
    if (s < 0) {
        platform::ShowMessage(kSelectTrackFirstMessage);
        return;
    }
    if (s == 0) return;
    SwapRows(s, s - 1);
    SelectRow(s - 1);
    setFocus();
}

void CTrackListCtrl::MoveDown() {
    const int s = SelectedRow();
    if (s < 0) {
        platform::ShowMessage(kSelectTrackFirstMessage);
        return;
    }
    if (s >= RowCount() - 1) return;
    SwapRows(s, s + 1);
    SelectRow(s + 1);
    setFocus();
}

void CTrackListCtrl::MoveTop() {
    if (SelectedRow() < 0) {
        platform::ShowMessage(kSelectTrackFirstMessage);
        return;
    }
    while (SelectedRow() > 0) MoveUp();
}

void CTrackListCtrl::MoveBottom() {
    if (SelectedRow() < 0) {
        platform::ShowMessage(kSelectTrackFirstMessage);
        return;
    }
    while (SelectedRow() < RowCount() - 1) MoveDown();
}

void CTrackListCtrl::Clear() {
    clear();
    SetTotalAndNotify(kEmptyTotal);
    SyncScrollBars();
}

int CTrackListCtrl::LoadM3u(const std::string& path) {
    const M3uContents playlist = ReadM3uFile(path);
    switch (playlist.status) {
        case M3uReadStatus::CannotOpen:
        case M3uReadStatus::NotM3u:
            return -1;
        case M3uReadStatus::Empty:
            return 0;
        case M3uReadStatus::Ok:
            break;
    }
    Clear();
    int count = 0;
    for (const std::string& line : playlist.lines) {
        if (IsExtInfLine(line)) continue;
        AddFile(line);
        ++count;
    }
    return count;
}

int CTrackListCtrl::SaveM3u(const std::string& path) {
    const std::vector<TrackEntry> entries = Entries();
    if (!WriteFileReplacing(path, BuildM3uText(entries),
                            platform::WhenFolderRefuses::RewriteInPlace))
        return -1;
    return static_cast<int>(entries.size());
}

int CTrackListCtrl::SaveM3uReporting(const std::string& path) {
    const int written = SaveM3u(path);
    if (written < 0)
        platform::ShowMessage(kPlaylistNotWrittenMessage + path, platform::MsgIcon::Error);
    return written;
}

void CTrackListCtrl::PlaySelected() {
    const int s = SelectedRow();
    if (s < 0) {
        platform::ShowMessage(kSelectTrackFirstMessage);
        return;
    }
    OpenPlayer(Entries(), s);
}

void CTrackListCtrl::OpenPlayer(const std::vector<TrackEntry>& entries, int start) {
    CSongPanelDlg panel(kind_, entries, start, this);
    panel.DoModal();
}

void CTrackListCtrl::setTotal(const std::string& total) { total_ = total; }

void CTrackListCtrl::SetTotalChangedHandler(std::function<void(const std::string&)> handler) {
    totalChanged_ = std::move(handler);
}

void CTrackListCtrl::OnTotalChanged() {
    if (kind_ == ProgramKind::Burner && totalChanged_) totalChanged_(total_);
}

void CTrackListCtrl::SetTotalAndNotify(const std::string& total) {
    total_ = total;
    OnTotalChanged();
}

std::string CTrackListCtrl::CellText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item) return std::string();
    const QString shown = item->text(column);
    if (KeepsBytes(column)) {
        // The exact bytes, as long as the row still shows the text they were stored with.
        const QVariant exact = item->data(column, kExactBytesRole);
        if (exact.isValid()) {
            std::string bytes = exact.toByteArray().toStdString();
            if (Shown(bytes) == shown) return bytes;
        }
    }
    return shown.toStdString();
}

void CTrackListCtrl::SetCellText(int row, int column, const std::string& text) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item) return;
    item->setText(column, Shown(text));
    if (KeepsBytes(column)) item->setData(column, kExactBytesRole, QByteArray::fromStdString(text));
}

int CTrackListCtrl::SelectedRow() const {
    int first = -1;
    for (QTreeWidgetItem* item : selectedItems()) {
        const int row = indexOfTopLevelItem(item);
        if (row >= 0 && (first < 0 || row < first)) first = row;
    }
    return first;
}

void CTrackListCtrl::SelectRow(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item) {
        clearSelection();
        return;
    }
    setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollToItem(item);
}

std::vector<TrackEntry> CTrackListCtrl::Entries() const {
    std::vector<TrackEntry> entries;
    entries.reserve(static_cast<size_t>(RowCount()));
    for (int row = 0; row < RowCount(); ++row)
        entries.push_back({CellText(row, kTitleColumn), row, CellText(row, kTimeColumn),
                           CellText(row, kPathColumn)});
    return entries;
}

std::string CTrackListCtrl::BusyMessage() const {
    return kind_ == ProgramKind::Burner ? "In Process,please wait..." : "Please wait...";
}

void CTrackListCtrl::SwapRows(int a, int b) {
    if (!topLevelItem(a) || !topLevelItem(b)) return;
    for (int column : {kTitleColumn, kTimeColumn, kPathColumn}) {
        const std::string text = CellText(a, column);
        SetCellText(a, column, CellText(b, column));
        SetCellText(b, column, text);
    }
}

void CTrackListCtrl::Renumber() {
    for (int row = 0; row < RowCount(); ++row)
        topLevelItem(row)->setText(kNumberColumn,
                                   QString::fromStdString(FormatTrackNumber(row + 1)));
}

void CTrackListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (playDisabled_) return;
    if (busy_) {
        platform::ShowMessage(BusyMessage());
        return;
    }
    PlaySelected();
}

void CTrackListCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) setFocus();
    QTreeWidget::mousePressEvent(event);
}

void CTrackListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CTrackListCtrl::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

void CTrackListCtrl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        SyncScrollBars();
        DeleteSelected();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
    SyncScrollBars();
}

void CTrackListCtrl::keyReleaseEvent(QKeyEvent* event) {
    QTreeWidget::keyReleaseEvent(event);
    SyncScrollBars();
}

void CTrackListCtrl::wheelEvent(QWheelEvent* event) {
    QTreeWidget::wheelEvent(event);
    SyncScrollBars();
}

void CTrackListCtrl::AttachScrollBars() {
    if (verticalBar_ || !parentWidget()) return;
    const SkinScrollBars bars = ::AttachScrollBars(this, parentWidget());
    verticalBar_ = bars.vertical;
    horizontalBar_ = bars.horizontal;
}

void CTrackListCtrl::SyncScrollBars() {
    if (verticalBar_) verticalBar_->Sync();
    if (horizontalBar_) horizontalBar_->Sync();
}
