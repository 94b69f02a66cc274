#include "burner/burner_dialogs.h"

#include <QLabel>
#include <QLineEdit>

#include "burner/burner_layout.h"
#include "platform/template_rect.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "platform/version.h"
#include "uikit/skin_bitmaps.h"
#include "uikit/skin_controls.h"

using platform::Ltrb;

namespace burner {
namespace {

platform::DialogTemplate AboutTemplate() {
    platform::DialogTemplate t;
    t.caption = "About Discsmith";
    t.size = QSize(360, 170);
    t.controls = {
        {CBurnerAboutDlg::kIconId, platform::ControlKind::Static, "", Ltrb(16, 16, 64, 64)},
        {platform::IDC_STATIC, platform::ControlKind::Static, std::string("Discsmith Version ") + platform::ProductVersion(),
         Ltrb(80, 16, 346, 36)},
        {platform::IDC_STATIC, platform::ControlKind::Static,
         "Audio CDs from your MP3 files: list them, check the time, burn and print the cover.",
         Ltrb(80, 38, 346, 76)},
        {platform::IDOK, platform::ControlKind::Button, "OK", Ltrb(270, 130, 346, 156), true},
    };
    return t;
}

platform::DialogTemplate RenameTemplate() {
    platform::DialogTemplate t;
    t.caption = "Rename:";
    t.size = QSize(330, 104);
    t.controls = {
        {platform::IDC_STATIC, platform::ControlKind::Static,
         "Please input a new name:", Ltrb(12, 12, 318, 30)},
        {CRenameDlg::kNameEditId, platform::ControlKind::Edit, "", Ltrb(12, 34, 318, 58)},
        {platform::IDOK, platform::ControlKind::Button, "OK", Ltrb(150, 68, 230, 94), true},
        {platform::IDCANCEL, platform::ControlKind::Button, "Cancel", Ltrb(238, 68, 318, 94)},
    };
    return t;
}

CHyperLink* AddLink(platform::Dialog* dialog, int id, const char* text, const char* url,
                    QPoint at) {
    auto* link = new CHyperLink(QString::fromUtf8(text), QString::fromUtf8(url), dialog);
    link->move(at);
    link->FitToText();
    dialog->AddControl(id, link);
    return link;
}

}  // namespace

CBurnerAboutDlg::CBurnerAboutDlg(QWidget* parent) : platform::Dialog(AboutTemplate(), parent) {
    if (auto* icon = Control<QLabel>(kIconId)) {
        const QPixmap picture = skin::LoadSkinBitmap("burner", kIconBitmap);
        if (!picture.isNull())
            icon->setPixmap(picture.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    for (QLabel* label : findChildren<QLabel*>()) label->setWordWrap(true);
    AddLink(this, kWebsiteLinkId, kWebsiteUrl, kWebsiteUrl, QPoint(80, 84));
    AddLink(this, kContactLinkId, "support@vexmor.example.org", kContactUrl, QPoint(80, 104));
}

CRenameDlg::CRenameDlg(const std::string& currentTitle, QWidget* parent)
    : platform::Dialog(RenameTemplate(), parent) {
    if (auto* edit = Control<QLineEdit>(kNameEditId)) {
        edit->setText(QString::fromStdString(platform::ShownUtf8(currentTitle)));
        edit->selectAll();
        edit->setFocus();
    }
    OnCommand(platform::IDOK, &CRenameDlg::OnOk);
}

void CRenameDlg::OnOk() {
    const std::string text = ItemText(kNameEditId);
    if (text.find_first_not_of(" \t") == std::string::npos) {
        platform::ShowMessage(kEmptyNameMessage);
        return;
    }
    name_ = text;
    EndDialog(platform::IDOK);
}

std::optional<std::string> CRenameDlg::Ask(const std::string& currentTitle, QWidget* parent) {
    CRenameDlg dialog(currentTitle, parent);
    if (dialog.DoModal() != platform::IDOK) return std::nullopt;
    // A title left as it was shown keeps its bytes (which need not be UTF-8).
    if (dialog.name() == platform::ShownUtf8(currentTitle)) return currentTitle;
    return dialog.name();
}

}  // namespace burner
