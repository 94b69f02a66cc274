#include "platform/text.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <cctype>

namespace platform {

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string ShownUtf8(std::string_view bytes) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(raw);  // decoding happens here, setting hasError
    if (!utf8.hasError()) return std::string(bytes);
    return QString::fromLatin1(raw).toStdString();
}

}  // namespace platform
