#include "studio/main_window_dialogs.h"

#include <QLabel>
#include <QPixmap>

#include "platform/paths.h"
#include "platform/template_rect.h"
#include "platform/version.h"
#include "studio/main_window_logic.h"
#include "uikit/skin_bitmaps.h"

using platform::Ltrb;

namespace studio {
namespace {

constexpr int kAboutIconId = 1100;  // the icon's static, found again to give it the picture

platform::DialogTemplate AboutTemplate() {
    platform::DialogTemplate t;
    t.caption = "About Ringsmith";
    t.size = QSize(300, 110);
    t.controls = {
        {kAboutIconId, platform::ControlKind::Static, "", Ltrb(16, 16, 64, 64)},
        {platform::IDC_STATIC, platform::ControlKind::Static, std::string("Ringsmith Version ") + platform::ProductVersion(),
         Ltrb(80, 28, 290, 48)},
        {platform::IDOK, platform::ControlKind::Button, "OK", Ltrb(210, 72, 286, 98), true},
    };
    return t;
}

// Where a step text is placed, and the dialog's size.
constexpr int kMmfWidth = 470;
const QRect kStepRects[4] = {Ltrb(14, 12, 456, 34), Ltrb(30, 38, 456, 58), Ltrb(30, 62, 456, 122),
                             Ltrb(30, 126, 456, 168)};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : platform::Dialog(AboutTemplate(), parent) {
    if (auto* icon = Control<QLabel>(kAboutIconId)) {
        const QPixmap picture = skin::LoadSkinBitmap("studio", kIconBitmap);
        if (!picture.isNull())
            icon->setPixmap(picture.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

std::string CSaveMmfDlg::StepText(int index, const std::string& handOverFolder) {
    const std::string folder = platform::WithTrailingSeparator(handOverFolder);
    switch (index) {
        case 0:
            return "Please do the following steps to create ringtone file:\n\n  ";
        case 1:
            return "1.Click the button \"OK\".\n  ";
        case 2:
            return "2.Drag and drop (your filename).wav at \"" + folder +
                   "\" into YAMAHA  WSC- MA2 program  in next opening small window.\n ";
        case 3:
            return " 3.Your ringtone file is created as \"" + folder + "filename.mmf\"";
        default:
            return {};
    }
}

CSaveMmfDlg::CSaveMmfDlg(const std::string& handOverFolder, QWidget* parent)
    : platform::Dialog(parent) {
    platform::DialogTemplate t;
    t.caption = "Save as mmf:";
    t.size = QSize(kMmfWidth, 214);
    for (int i = 0; i < 4; ++i) {
        t.controls.push_back({platform::IDC_STATIC, platform::ControlKind::Static,
                              StepText(i, handOverFolder), kStepRects[i]});
    }
    t.controls.push_back({platform::IDOK, platform::ControlKind::Button, "OK",
                          Ltrb(kMmfWidth / 2 - 40, 176, kMmfWidth / 2 + 40, 202), true});
    Build(t);
    // Long folder paths wrap rather than run out of the dialog.
    for (QLabel* label : findChildren<QLabel*>()) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
}

}  // namespace studio
