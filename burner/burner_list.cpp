#include "burner/burner_list.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <fstream>
#include <iterator>

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
    // Devices and pipes are no project files; reading them could wait for ever.
    if (platform::IsDirectory(path) || !platform::IsRegularFile(path)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return false;
    Clear();
    for (const TitledPath& entry : ParseTitleList(text)) AddFileWithTitle(entry.title, entry.path);
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
