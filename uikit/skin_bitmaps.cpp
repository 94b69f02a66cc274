#include "uikit/skin_bitmaps.h"

#include <QFile>
#include <QString>
#include <mutex>

#include "platform/ui.h"

#ifdef VX_HAVE_SKIN_RESOURCES
// Q_INIT_RESOURCE must be used outside any namespace.
static void InitSkinResources() { Q_INIT_RESOURCE(skin); }
#else
static void InitSkinResources() {}
#endif

namespace skin {

namespace {

// Empty until a program chooses: then the program's name decides.
std::string& ChosenSet() {
    static std::string set;
    return set;
}

void EnsureResources() {
    // The resources live in a static library; registering them here keeps the linker from
    // dropping them and makes them available before the first bitmap is read.
    static std::once_flag once;
    std::call_once(once, InitSkinResources);
}

}  // namespace

void SetSkinSet(const std::string& set) { ChosenSet() = set; }

const std::string& SkinSet() {
    static const std::string kStudio = "studio";
    static const std::string kBurner = "burner";
    if (!ChosenSet().empty()) return ChosenSet();
    return platform::ProgramName() == "Discsmith" ? kBurner : kStudio;
}

QString SkinBitmapPath(const std::string& set, int id) {
    return QStringLiteral(":/%1/%2.png").arg(QString::fromStdString(set)).arg(id);
}

QPixmap LoadSkinBitmap(int id) { return LoadSkinBitmap(SkinSet(), id); }

QPixmap LoadSkinBitmap(const std::string& set, int id) {
    EnsureResources();
    return QPixmap(SkinBitmapPath(set, id));
}

QByteArray LoadSkinData(const std::string& set, const std::string& name) {
    EnsureResources();
    QFile file(
        QStringLiteral(":/%1/%2").arg(QString::fromStdString(set), QString::fromStdString(name)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

}  // namespace skin
