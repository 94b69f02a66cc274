#include "platform/local_paths.h"

#include <QByteArray>
#include <QFile>

namespace platform {

std::string LocalPathBytes(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    // The fully encoded path percent-encodes every byte outside ASCII as it came, so decoding it
    // gives the bytes back whatever their encoding.
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return bytes.toStdString();
}

std::vector<std::string> LocalPathsBytes(const QList<QUrl>& urls, const QStringList& files) {
    std::vector<std::string> paths;
    if (urls.size() == files.size()) {
        for (qsizetype i = 0; i < urls.size(); ++i) {
            std::string bytes = LocalPathBytes(urls[i]);
            paths.push_back(bytes.empty() ? QFile::encodeName(files[i]).toStdString()
                                          : std::move(bytes));
        }
        return paths;
    }
    for (const QString& file : files) paths.push_back(QFile::encodeName(file).toStdString());
    return paths;
}

}  // namespace platform
