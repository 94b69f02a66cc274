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

#include "platform/ui.h"

namespace platform {

std::unique_ptr<Ui> MakeQtUi();

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

// The exact bytes of a local file's path, as the file system holds them: a name that is not UTF-8
// (Latin-1 bytes, say) would come back as replacement characters through QString. Empty for a
// URL that names no local file.
std::string LocalPathBytes(const QUrl& url);
// The paths of a dialog's chosen files, in exact bytes; `files` are its answers as text, used
// where a URL names no local file.
std::vector<std::string> LocalPathsBytes(const QList<QUrl>& urls, const QStringList& files);

}  // namespace platform
