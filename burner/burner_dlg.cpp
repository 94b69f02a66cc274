#include "burner/burner_dlg.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <utility>

#include "burner/burner_dialogs.h"
#include "burner/burner_layout.h"
#include "burner/burner_list.h"
#include "burner/capacity_line.h"
#include "burner/flat_menu.h"
#include "burner/print_cover.h"
#include "burner/project_files.h"
#include "burner/record_dialog.h"
#include "platform/body_drag.h"
#include "platform/accelerators.h"
#include "platform/help_books.h"
#include "platform/qt_ui.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "uikit/skin_bitmaps.h"
#include "uikit/skin_buttons.h"
#include "uikit/skin_controls.h"

namespace burner {
namespace {

constexpr const char* kNotEnoughMemory = "Not enough memory!Return now!";

platform::DialogTemplate MainTemplate() {
    platform::DialogTemplate t;
    t.caption = "Discsmith";
    t.size = kTemplateSize;
    t.units = platform::TemplateUnits::DialogUnits;
    t.fontFamily = "MS Sans Serif";
    t.fontPointSize = 8;
    t.controls = {
        {kListId, platform::ControlKind::Custom, "", QRect(40, 60, 390, 200), false, false, false,
         [](QWidget* parent) -> QWidget* { return new CBurnerListCtrl(parent); }},
        {kHiddenStaticId, platform::ControlKind::Static, "", QRect(0, 0, 10, 8), false, true},
    };
    return t;
}

QRgb Rgb(int value) { return static_cast<QRgb>(0xFF000000u | static_cast<unsigned>(value)); }

}  // namespace

CBurnerDlg::CBurnerDlg(QWidget* parent)
    : platform::Dialog(MainTemplate(), parent), capacityText_(InitialCapacityText()) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);
    setAcceptDrops(true);
    SetSwallowEscEnter(true);
    list_ = Control<CBurnerListCtrl>(kListId);
}

CBurnerDlg::~CBurnerDlg() = default;

void CBurnerDlg::PostQuit() {
    quitRequested_ = true;
    PostMessage(kQuitMessage);
}

void CBurnerDlg::NotEnoughMemory() {
    if (quitRequested_) return;
    platform::ShowMessage(kNotEnoughMemory);
    PostQuit();
}

void CBurnerDlg::OnMessage(unsigned msg, platform::WParam w, platform::LParam l) {
    if (msg == kQuitMessage) {
        EndDialog(platform::IDCANCEL);
        return;
    }
    platform::Dialog::OnMessage(msg, w, l);
}

CBitmapHoverButton* CBurnerDlg::button(const std::string& name) const {
    for (auto* b : findChildren<CBitmapHoverButton*>(Qt::FindDirectChildrenOnly)) {
        if (b->text().toStdString() == name) return b;
    }
    return nullptr;
}

void CBurnerDlg::OnInitDialog() {
    const QPixmap icon = skin::LoadSkinBitmap("burner", kIconBitmap);
    if (!icon.isNull()) setWindowIcon(QIcon(icon));
    setWindowTitle(QStringLiteral("Discsmith"));

    SetUpList();
    RegisterCommands();
    if (skin::LoadSkinBitmap("burner", kBackgroundBitmap).isNull() || !CreateButtons()) {
        NotEnoughMemory();
        return;
    }
    ApplyShapeAndPlace();
    // The command line's files load once the window runs, so that a message about one that does
    // not load stands in front of it.
    if (!startFiles_.empty()) {
        QTimer::singleShot(0, this, [this] { LoadStartFiles(std::exchange(startFiles_, {})); });
    }
}

void CBurnerDlg::SetUpList() {
    if (!list_) return;
    list_->setGeometry(kListRect);
    list_->setAccessibleName(QStringLiteral("Songs of the disc"));
    list_->show();

    list_->InsertColumns(StandardTrackColumns(ProgramKind::Burner));
    // A time of an hour or more ("01:02:03") fits the Time column. The style lays a cell's
    // text out inside the focus frame's margin and one pixel, and draws it inside that margin
    // once more: four margins of the column are not text.
    const int margin = list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1;
    list_->setFont(
        BurnerListFont(font(), list_->columnWidth(CTrackListCtrl::kTimeColumn) - 4 * margin));

    QPalette colours = list_->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Base, Qt::white);
        colours.setColor(group, QPalette::Text, QColor::fromRgb(Rgb(kListTextRgb)));
    }
    list_->setPalette(colours);
    list_->AttachScrollBars();
    // The end of a column-divider drag re-synchronises the horizontal skinned bar.
    connect(list_->header(), &QHeaderView::sectionResized, list_,
            [this] { list_->SyncScrollBars(); });

    list_->SetTotalChangedHandler(
        [this](const std::string& total) { SetCapacityText(CapacityText(total)); });
    list_->SetMenuCommandHandler([this](int id) {
        if (const int command = ButtonCommandForMenu(id)) Command(command);
    });
    list_->setFocus();
}

bool CBurnerDlg::CreateButtons() {
    for (const SkinButton& spec : SkinButtons()) {
        auto* b = new CBitmapHoverButton(this);
        b->setText(QString::fromUtf8(spec.name));
        b->SetBitmaps(spec.normal, spec.focus, spec.hover);
        if (skin::LoadSkinBitmap("burner", spec.normal).isNull()) return false;
        b->setGeometry(spec.rect);
        // Keyboard focus shows the focus image; a click leaves the focus with the list.
        b->setFocusPolicy(Qt::TabFocus);
        b->setAutoDefault(false);
        if (const std::string tip = ButtonTipText(spec.name); !tip.empty())
            b->setToolTip(QString::fromStdString(tip));
        // The tips show while another window is active, too.
        b->setAttribute(Qt::WA_AlwaysShowToolTips);
        b->setAccessibleName(QString::fromStdString(ButtonAccessibleName(spec.name)));
        b->show();
        AddControl(spec.id, b);
    }
    return true;
}

void CBurnerDlg::ApplyShapeAndPlace() {
    // A missing or damaged region leaves the window rectangular.
    const QRegion shape = LoadWindowRegion(kRegionResource);
    if (!shape.isEmpty()) setMask(shape);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        if (const std::optional<QPoint> at = CentredPosition(area.size())) {
            setFixedSize(kWindowSize);
            move(area.topLeft() + *at);
        }
    }
}

void CBurnerDlg::RegisterCommands() {
    OnCommand(kCmdAdd, &CBurnerDlg::OnAdd);
    OnCommand(kCmdDelete, &CBurnerDlg::OnDelete);
    OnCommand(kCmdNewList, &CBurnerDlg::OnNewList);
    OnCommand(kCmdMoveTop, &CBurnerDlg::OnMoveTop);
    OnCommand(kCmdMoveUp, &CBurnerDlg::OnMoveUp);
    OnCommand(kCmdMoveDown, &CBurnerDlg::OnMoveDown);
    OnCommand(kCmdMoveBottom, &CBurnerDlg::OnMoveBottom);
    OnCommand(kCmdPlay, &CBurnerDlg::OnPlay);
    OnCommand(kCmdRename, &CBurnerDlg::OnRename);
    OnCommand(kCmdRecord, &CBurnerDlg::OnRecord);
    OnCommand(kCmdOpen, &CBurnerDlg::OnOpenProject);
    OnCommand(kCmdSave, &CBurnerDlg::OnSaveProject);
    OnCommand(kCmdPrint, &CBurnerDlg::OnPrint);
    OnCommand(kCmdWebsite, &CBurnerDlg::OnWebsite);
    OnCommand(kCmdHelp, &CBurnerDlg::OnHelp);
    OnCommand(kCmdHelpTopic, &CBurnerDlg::OnHelpTopic);
    OnCommand(kCmdAbout, &CBurnerDlg::OnAbout);
    OnCommand(kCmdWebsiteMenu, &CBurnerDlg::OnWebsite);
    OnCommand(kCmdContact, &CBurnerDlg::OnContact);
    OnCommand(kCmdMinimize, &CBurnerDlg::OnMinimize);
    OnCommand(kCmdExit, &CBurnerDlg::OnExit);
    // The window system's close request (Alt+F4) ends the program as "exit" does.
    OnCommand(platform::IDCANCEL, &CBurnerDlg::OnExit);
    platform::InstallAccelerators(*this, ButtonAccelerators());
}

void CBurnerDlg::SetCapacityText(const std::string& text) {
    capacityText_ = text;
    update(kCapacityInvalidRect);
}

// ---- Painting and the window's body ------------------------------------------------------------

void CBurnerDlg::paintEvent(QPaintEvent*) {
    const QPixmap background = skin::LoadSkinBitmap("burner", kBackgroundBitmap);
    if (background.isNull()) {
        NotEnoughMemory();
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, background);
    painter.setPen(QColor::fromRgb(Rgb(kCapacityTextRgb)));
    painter.drawText(kCapacityTextRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                     QString::fromStdString(capacityText_));
}

void CBurnerDlg::mousePressEvent(QMouseEvent* event) {
    // A press on the body moves the window as a press on a caption would.
    if (!drag_.Press(this, event)) platform::Dialog::mousePressEvent(event);
}

void CBurnerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Move(this, event)) platform::Dialog::mouseMoveEvent(event);
}

void CBurnerDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_.Release(event);
    platform::Dialog::mouseReleaseEvent(event);
}

// ---- Drops -------------------------------------------------------------------------------------

void CBurnerDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CBurnerDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        // Local paths keep their exact bytes: a name that is not UTF-8 still loads.
        if (url.isLocalFile()) paths.push_back(platform::LocalPathBytes(url));
    }
    event->acceptProposedAction();
    DropFiles(paths);
}

void CBurnerDlg::DropFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        switch (ClassifyDrop(path)) {
            case DropAction::AddMp3:
                list_->AddFile(path);
                break;
            case DropAction::LoadM3u:
                list_->LoadM3u(path);
                break;
            case DropAction::Skip:
                break;
        }
    }
}

void CBurnerDlg::OpenAtStart(std::vector<StartFile> files) { startFiles_ = std::move(files); }

void CBurnerDlg::LoadStartFiles(const std::vector<StartFile>& files) {
    std::vector<StartFailure> failures;
    for (const StartFile& file : files) {
        bool loaded = false;
        switch (file.load) {
            case StartLoad::AddMp3: {
                // AddFile answers 0 for the first row too: the row count tells.
                const int rows = list_->RowCount();
                list_->AddFile(file.path);
                loaded = list_->RowCount() > rows;
                break;
            }
            case StartLoad::LoadM3u:
                loaded = list_->LoadM3u(file.path) >= 0;
                break;
            case StartLoad::LoadTitleList:
                loaded = list_->LoadTitleList(file.path);
                break;
        }
        if (!loaded) failures.push_back({file.path, StartFailureReason(file.load, file.path)});
    }
    if (!failures.empty()) platform::ShowMessage(StartFailureMessage(failures));
}

// ---- Project commands --------------------------------------------------------------------------

void CBurnerDlg::OnAdd() {
    platform::FileDialogOptions options;
    options.title = "Add MP3 files:";
    options.defaultExt = "MP3";
    options.filter = "MP3 files(*.mp3)|*.mp3||";
    options.multiSelect = true;
    options.mustExist = true;
    for (const std::string& path : platform::GetUi().OpenFiles(options)) list_->AddFile(path);
}

void CBurnerDlg::OnDelete() { list_->DeleteSelected(); }

void CBurnerDlg::OnNewList() { list_->Clear(); }

void CBurnerDlg::OnMoveTop() { list_->MoveTop(); }

void CBurnerDlg::OnMoveUp() { list_->MoveUp(); }

void CBurnerDlg::OnMoveDown() { list_->MoveDown(); }

void CBurnerDlg::OnMoveBottom() { list_->MoveBottom(); }

void CBurnerDlg::OnPlay() { list_->PlaySelected(); }

void CBurnerDlg::OnRename() {
    const int row = list_->SelectedRow();
    if (row < 0) {
        platform::ShowMessage(kSelectTrackFirstMessage);
        return;
    }
    const std::optional<std::string> name =
        CRenameDlg::Ask(list_->CellText(row, CTrackListCtrl::kTitleColumn), this);
    if (name) list_->SetCellText(row, CTrackListCtrl::kTitleColumn, *name);
    list_->setFocus();
}

void CBurnerDlg::OnRecord() {
    std::vector<std::string> paths, titles;
    for (const TrackEntry& entry : list_->Entries()) {
        paths.push_back(entry.path);
        titles.push_back(entry.title);
    }
    CRecordDlg record(std::move(paths), list_->total(), this, std::move(titles));
    record.DoModal();
}

// The cover dialog works on copies of the titles, times and numbers, row by row.
void CBurnerDlg::OnPrint() {
    std::vector<std::string> titles, times, tracks;
    for (int row = 0; row < list_->RowCount(); ++row) {
        titles.push_back(platform::ShownUtf8(list_->CellText(row, CTrackListCtrl::kTitleColumn)));
        times.push_back(list_->CellText(row, CTrackListCtrl::kTimeColumn));
        tracks.push_back(list_->CellText(row, CTrackListCtrl::kNumberColumn));
    }
    CPrintCoverDlg dlg(std::move(titles), std::move(times), std::move(tracks), this);
    dlg.DoModal();
}

void CBurnerDlg::OnOpenProject() {
    platform::FileDialogOptions options;
    options.defaultExt = kProjectDefaultExt;
    options.filter = kProjectFilter;
    options.mustExist = true;
    const std::vector<std::string> chosen = platform::GetUi().OpenFiles(options);
    if (chosen.empty()) return;
    const std::string& path = chosen.front();
    switch (ProjectFormatOf(path)) {
        case ProjectFormat::M3u:
            list_->LoadM3u(path);
            break;
        case ProjectFormat::TitleList:
            list_->LoadTitleList(path);
            break;
        case ProjectFormat::None:
            break;
    }
}

void CBurnerDlg::OnSaveProject() {
    platform::FileDialogOptions options;
    options.defaultExt = kProjectDefaultExt;
    options.filter = kProjectFilter;
    options.overwritePrompt = true;
    const std::optional<std::string> chosen = platform::GetUi().SaveFile(options);
    if (!chosen) return;
    // The dialog gave a typed name the chosen filter's extension; a name that still has none is
    // a playlist.
    const std::string path = platform::WithExtensionIfNone(*chosen, kProjectDefaultExt);
    switch (ProjectFormatOf(path)) {
        case ProjectFormat::M3u:
            list_->SaveM3uReporting(path);
            break;
        case ProjectFormat::TitleList:
            if (!list_->SaveTitleList(path))
                platform::ShowMessage(kPlaylistNotWrittenMessage + path, platform::MsgIcon::Error);
            break;
        case ProjectFormat::None:
            break;
    }
}

// ---- Frame commands ----------------------------------------------------------------------------

void CBurnerDlg::OnHelp() {
    if (helpMenu_) helpMenu_->close();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto* style = new CFlatMenuStyle(true);
    style->setParent(menu);
    menu->setStyle(style);
    const QIcon topicImage(MenuImage(skin::LoadSkinBitmap("burner", kHelpTopicImage)));
    for (const MenuItem& item : HelpMenuItems()) {
        const int id = item.id;
        QAction* action = menu->addAction(QString::fromUtf8(item.text), this, [this, id] {
            // The chosen command reaches the window once the menu has gone.
            QMetaObject::invokeMethod(
                this, [this, id] { Command(id); }, Qt::QueuedConnection);
        });
        if (id == kCmdHelpTopic) action->setIcon(topicImage);
    }
    helpMenu_ = menu;
    const QWidget* help = Item(kCmdHelp);
    const QPoint corner = help ? help->mapToGlobal(QPoint(0, help->height())) : QCursor::pos();
    menu->popup(corner);
}

void CBurnerDlg::OnHelpTopic() { platform::OpenHelpBook("help.chm"); }

void CBurnerDlg::OnAbout() {
    CBurnerAboutDlg about(this);
    about.DoModal();
}

void CBurnerDlg::OnWebsite() {
    const int result = CHyperLink::GotoURL(kWebsiteUrl);
    if (result <= 32) CHyperLink::ReportError(result);
}

void CBurnerDlg::OnContact() {
    const int result = CHyperLink::GotoURL(kContactUrl);
    if (result <= 32) CHyperLink::ReportError(result);
}

void CBurnerDlg::OnMinimize() { showMinimized(); }

void CBurnerDlg::OnExit() { PostQuit(); }

}  // namespace burner
