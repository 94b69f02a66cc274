// The burn project's list: the burner form of the track list, with the project's own title-list
// files (.vxl) and a right-click menu of the project commands.
#pragma once

#include <functional>
#include <string>

#include "uikit/track_list.h"

class QMenu;

namespace burner {

class CBurnerListCtrl : public CTrackListCtrl {
    Q_OBJECT

  public:
    explicit CBurnerListCtrl(QWidget* parent = nullptr);

    // Writes the list as a title list: per entry its title and its full path. The file is
    // replaced only once it was written completely. False when it could not be written.
    bool SaveTitleList(const std::string& path);
    // Replaces the list by the title list's entries. Entries whose MP3 file cannot be read are
    // left out one by one; a file that cannot be opened leaves the list as it was (false).
    bool LoadTitleList(const std::string& path);

    // Receives the command id of the item chosen in the right-click menu.
    void SetMenuCommandHandler(std::function<void(int id)> handler);
    // The right-click menu as it was last shown (null before), for tests.
    QMenu* lastMenu() const { return lastMenu_; }

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    std::function<void(int)> menuCommand_;
    QMenu* lastMenu_ = nullptr;
};

}  // namespace burner
