// The Ui that shows real Qt dialogs. Calls made on a worker thread are carried out on the GUI
// thread while the worker waits for the answer.
#pragma once

#include <QFontMetrics>
#include <QList>
#include <QMessageBox>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui_ui.h"
#include "platform/local_paths.h"

namespace platform {

std::unique_ptr<GuiUi> MakeQtUi();
// Names QtUi as the Ui that GetUi makes when none is installed: the window programs call it
// first thing.
void UseQtUiByDefault();

// The message box QtUi shows, built but not shown: the dialog colours, the icon, and a width that
// leaves the title bar room for the whole caption.
std::unique_ptr<QMessageBox> BuildMessageBox(const std::string& text, const std::string& caption,
                                             MsgButtons buttons, MsgIcon icon,
                                             QWidget* parent = nullptr);
// The narrowest message box whose title bar shows `caption` whole, in pixels.
int MessageBoxMinimumWidth(const std::string& caption, const QFontMetrics& metrics);

// Where a file or folder dialog opens: `remembered` when it names an existing folder, otherwise
// the user's music folder (XDG_MUSIC_DIR of the user's folders) when it exists, otherwise the
// home folder. Never the program's working folder.
std::string DialogStartFolder(const std::string& remembered);

// Turns a design filter "Pictures|*.bmp||" into a Qt name filter "Pictures (*.bmp)"; a name that
// ends in its own patterns ("MP3 files(*.mp3)|*.mp3||") stays as it is. Several pairs become
// several ";;"-separated filters. Patterns
// separated by ';' become blank-separated, and "*.*" (every file) becomes "*".
QString QtNameFilter(const std::string& filter);

}  // namespace platform
