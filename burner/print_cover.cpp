#include "burner/print_cover.h"

#include <QCheckBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <utility>

#include "platform/gui_ui.h"
#include "platform/template_rect.h"
#include "uikit/skin_buttons.h"

using platform::Ltrb;

namespace burner {
namespace {

// Paints the cover preview of its dialog; placed so that its coordinates are dialog pixels.
class CoverPreview : public QWidget {
  public:
    CoverPreview(const CoverSettings& cover, QWidget* parent) : QWidget(parent), cover_(cover) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.translate(-pos());
        PaintCoverPreview(painter, cover_);
    }

  private:
    const CoverSettings& cover_;
};

platform::ControlSpec Button(int id, const std::string& caption, QRect rect) {
    platform::ControlSpec spec{id, platform::ControlKind::Custom, caption, rect};
    spec.factory = [caption](QWidget* parent) {
        auto* button = new CXPButton(QString::fromStdString(caption), parent);
        // No button is pressed by Return: in the album title it would open the picture chooser.
        button->setAutoDefault(false);
        return button;
    };
    return spec;
}

// Dialog 149: 247 x 203 dialog units of the "System" font (8 x 16 base units), given in pixels
// because the preview's place is given in pixels. The buttons stand right of the preview, the
// album title and the text background mode below it.
platform::DialogTemplate CoverTemplate() {
    platform::DialogTemplate t;
    t.caption = "Print CD cover:";
    t.size = QSize(494, 406);
    const int x0 = 394;
    const int x1 = 484;
    t.controls = {
        Button(CPrintCoverDlg::kBackgroundId, "Background", Ltrb(x0, 10, x1, 36)),
        Button(CPrintCoverDlg::kBackColorId, "BackColor", Ltrb(x0, 44, x1, 70)),
        Button(CPrintCoverDlg::kClearId, "Clear", Ltrb(x0, 78, x1, 104)),
        Button(CPrintCoverDlg::kTitleFontId, "Title Font", Ltrb(x0, 122, x1, 148)),
        Button(CPrintCoverDlg::kListFontId, "List Font", Ltrb(x0, 156, x1, 182)),
        Button(CPrintCoverDlg::kPrintId, "Print", Ltrb(x0, 218, x1, 244)),
        Button(CPrintCoverDlg::kPrintPdfId, "Print to PDF\u2026", Ltrb(x0, 252, x1, 278)),
        Button(platform::IDCANCEL, "Exit", Ltrb(x0, 370, x1, 396)),
        {platform::IDC_STATIC, platform::ControlKind::Static,
         "Album title:", Ltrb(10, 328, 96, 348)},
        {CPrintCoverDlg::kAlbumTitleId, platform::ControlKind::Edit, "", Ltrb(100, 324, 380, 350)},
        {platform::IDC_STATIC, platform::ControlKind::Static,
         "Text Background Mode:", Ltrb(10, 366, 180, 386)},
        {CPrintCoverDlg::kTransparentId, platform::ControlKind::CheckBox, "Transparent",
         Ltrb(184, 364, 300, 388)},
    };
    return t;
}

}  // namespace

CPrintCoverDlg::CPrintCoverDlg(std::vector<std::string> titles, std::vector<std::string> times,
                               std::vector<std::string> tracks, QWidget* parent)
    : platform::Dialog(CoverTemplate(), parent) {
    cover_.titles = std::move(titles);
    cover_.times = std::move(times);
    cover_.tracks = std::move(tracks);
    setFixedSize(size());

    preview_ = new CoverPreview(cover_, this);
    preview_->setGeometry(PreviewRect());
    preview_->lower();

    OnCommand(kBackgroundId, &CPrintCoverDlg::OnBackground);
    OnCommand(kBackColorId, &CPrintCoverDlg::OnBackColor);
    OnCommand(kClearId, &CPrintCoverDlg::OnClear);
    OnCommand(kTitleFontId, &CPrintCoverDlg::OnTitleFont);
    OnCommand(kListFontId, &CPrintCoverDlg::OnListFont);
    OnCommand(kPrintId, &CPrintCoverDlg::OnPrint);
    OnCommand(kPrintPdfId, &CPrintCoverDlg::OnPrintPdf);
    OnCommand(kAlbumTitleId, &CPrintCoverDlg::OnAlbumTitle, platform::Notify::Change);
    OnCommand(kTransparentId, &CPrintCoverDlg::OnTransparent);
    OnCommand(platform::IDCANCEL, [this] { EndDialog(platform::IDCANCEL); });
}

QRect CPrintCoverDlg::PreviewRect() {
    return QRect(preview::kFrameTopLeft, preview::kFrameBottomRight);
}

void CPrintCoverDlg::OnInitDialog() {
    SetItemText(kAlbumTitleId, cover_.albumTitle);
    if (auto* box = Control<QCheckBox>(kTransparentId)) box->setChecked(cover_.transparent);
    screenDpiY_ = logicalDpiY() > 0 ? logicalDpiY() : 96;
}

void CPrintCoverDlg::RepaintPreview() { preview_->update(); }

void CPrintCoverDlg::OnBackground() {
    platform::FileDialogOptions options;
    options.defaultExt = "bmp";
    options.filter =
        "Pictures|*.bmp;*.png;*.jpg;*.jpeg;*.BMP;*.PNG;*.JPG;*.JPEG|bmp|*.bmp|All files|*.*||";
    options.mustExist = true;
    const std::vector<std::string> chosen = platform::GetUi().OpenFiles(options);
    if (chosen.empty()) return;
    // A file that cannot be used leaves the background as it was.
    if (cover_.SetPicture(ReadPictureFile(chosen.front()))) RepaintPreview();
}

void CPrintCoverDlg::OnBackColor() {
    const std::optional<QColor> color =
        platform::GetColorFontDialogs().PickColor(QColor(255, 255, 255));
    if (!color) return;
    cover_.colourMode = true;
    cover_.cleared = false;
    cover_.backColor = *color;
    RepaintPreview();
}

void CPrintCoverDlg::OnClear() {
    cover_.cleared = true;
    RepaintPreview();
}

bool CPrintCoverDlg::PickFont(QFont& font, QColor& color) {
    const std::optional<platform::FontChoice> choice =
        platform::GetColorFontDialogs().PickFontAndColor(font, color);
    if (!choice) return false;
    QFont chosen = choice->font;
    // The cover keeps heights in screen pixels, as the preview draws them.
    if (chosen.pixelSize() <= 0) {
        chosen.setPixelSize(
            std::max(1, static_cast<int>(std::lround(chosen.pointSizeF() * screenDpiY_ / 72.0))));
    }
    font = chosen;
    color = choice->color;
    return true;
}

void CPrintCoverDlg::OnTitleFont() {
    if (PickFont(cover_.titleFont, cover_.titleColor)) RepaintPreview();
}

void CPrintCoverDlg::OnListFont() {
    if (PickFont(cover_.listFont, cover_.listColor)) RepaintPreview();
}

void CPrintCoverDlg::OnAlbumTitle() {
    cover_.albumTitle = ItemText(kAlbumTitleId);
    RepaintPreview();
}

void CPrintCoverDlg::OnTransparent() {
    if (auto* box = Control<QCheckBox>(kTransparentId)) cover_.transparent = box->isChecked();
    RepaintPreview();
}

void CPrintCoverDlg::OnPrint() {
    const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
    if (printerInfo.isNull()) {
        platform::ShowMessage("There are no printers!");
        return;
    }
    QPrinter printer(printerInfo, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("DISCSMITH SONG LIST "));
    // A document that cannot be started prints nothing.
    PrintCover(printer, cover_);
}

void CPrintCoverDlg::OnPrintPdf() {
    platform::FileDialogOptions options;
    options.defaultExt = "pdf";
    options.filter = "PDF files|*.pdf||";
    options.initialName = CoverPdfFileName(cover_);
    options.overwritePrompt = true;
    const std::optional<std::string> path = platform::GetUi().SaveFile(options);
    if (!path) return;
    if (!WriteCoverPdf(*path, cover_)) platform::ShowMessage("Cannot write the file " + *path);
}

}  // namespace burner
