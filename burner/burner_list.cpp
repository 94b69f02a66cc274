#include "burner/burner_list.h"

#include <QContextMenuEvent>
#include <QMenu>

#include "burner/burner_layout.h"
#include "burner/project_files.h"
#include "platform/paths.h"
#include "platform/replace_file.h"

namespace burner {

CBurnerListCtrl::CBurnerListCtrl(QWidget* parent) : CTrackListCtrl(ProgramKind::Burner, parent) {}

bool CBurnerListCtrl::SaveTitleList(const std::string& path) {
    std::vector<TitledPath> entries;
    for (const TrackEntry& entry : Entries()) entries.push_back({entry.title, entry.path});
    return platform::WriteFileReplacing(path, BuildTitleListText(entries));
}

bool CBurnerListCtrl::LoadTitleList(const std::string& path) {
    const std::optional<std::vector<TitledPath>> entries = ReadTitleListFile(path);
    if (!entries) return false;
    Clear();
    for (const TitledPath& entry : *entries) AddFileWithTitle(entry.title, entry.path);
    return true;
}

void CBurnerListCtrl::SetMenuCommandHandler(std::function<void(int)> handler) {
    menuCommand_ = std::move(handler);
}

void CBurnerListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (lastMenu_) lastMenu_->deleteLater();
    lastMenu_ = new QMenu(this);
    for (const MenuItem& item : ListMenuItems()) {
        const int id = item.id;
        lastMenu_->addAction(QString::fromUtf8(item.text), this, [this, id] {
            if (menuCommand_) menuCommand_(id);
        });
    }
    lastMenu_->popup(event->globalPos());
}

}  // namespace burner
