// The exact bytes of the local paths that URLs and file dialogs name, for the drop handlers, the
// file dialogs and the program arguments alike (Qt Core only).
#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>
#include <string>
#include <vector>

namespace platform {

// The exact bytes of a local file's path, as the file system holds them: a name that is not UTF-8
// (Latin-1 bytes, say) would come back as replacement characters through QString. Empty for a
// URL that names no local file.
std::string LocalPathBytes(const QUrl& url);
// The paths of a dialog's chosen files, in exact bytes; `files` are its answers as text, used
// where a URL names no local file.
std::vector<std::string> LocalPathsBytes(const QList<QUrl>& urls, const QStringList& files);

}  // namespace platform
