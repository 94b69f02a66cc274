#include "uikit/skin_bitmaps.h"

#include <QString>
#include <mutex>

#ifdef VX_HAVE_SKIN_RESOURCES
// Q_INIT_RESOURCE must be used outside any namespace.
static void InitSkinResources() { Q_INIT_RESOURCE(skin); }
#else
static void InitSkinResources() {}
#endif

namespace skin {

namespace {

std::string& CurrentSet() {
    static std::string set = "studio";
    return set;
}

void EnsureResources() {
    // The resources live in a static library; registering them here keeps the linker from
    // dropping them and makes them available before the first bitmap is read.
    static std::once_flag once;
    std::call_once(once, InitSkinResources);
}

}  // namespace

void SetSkinSet(const std::string& set) { CurrentSet() = set; }

const std::string& SkinSet() { return CurrentSet(); }

QString SkinBitmapPath(const std::string& set, int id) {
    return QStringLiteral(":/%1/%2.png").arg(QString::fromStdString(set)).arg(id);
}

QPixmap LoadSkinBitmap(int id) { return LoadSkinBitmap(CurrentSet(), id); }

QPixmap LoadSkinBitmap(const std::string& set, int id) {
    EnsureResources();
    return QPixmap(SkinBitmapPath(set, id));
}

}  // namespace skin
