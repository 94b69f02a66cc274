// The skin's bitmaps: PNG resources named by resource id, one set per program
// (":/studio/<id>.png" for the ringtone studio, ":/burner/<id>.png" for the disc burner).
#pragma once

#include <QByteArray>
#include <QPixmap>
#include <string>

namespace skin {

// Resource ids of the kit's own artwork, the same in both skins.
enum KitBitmap : int {
    kHeaderFace = 300,       // 1 x 12, stretched to each header item
    kHeaderSeparator = 301,  // 2 x 20, at each header item's left edge
    kArrowUp = 302,          // 12 x 26
    kArrowDown = 303,
    kArrowLeft = 304,  // 26 x 12
    kArrowRight = 305,
    kThumbVertical = 306,    // 12 x 26
    kThumbHorizontal = 307,  // 26 x 12
    kTrackVertical = 308,    // 12 x 1, stretched along the bar
    kTrackHorizontal = 309,  // 1 x 12
};

// Chooses the set that LoadSkinBitmap(id) reads: "studio" or "burner". Until a set is chosen,
// the program's name decides: "burner" for Discsmith, "studio" otherwise.
void SetSkinSet(const std::string& set);
const std::string& SkinSet();

// Resource path of bitmap `id` in `set`, e.g. ":/studio/114.png".
QString SkinBitmapPath(const std::string& set, int id);
// The bitmap, or a null pixmap when the skin has none with that id.
QPixmap LoadSkinBitmap(int id);
QPixmap LoadSkinBitmap(const std::string& set, int id);
// Any other file of the skin by its name inside `set` (":/<set>/<name>", e.g. the window region
// "rgn/141"); empty when there is none.
QByteArray LoadSkinData(const std::string& set, const std::string& name);

}  // namespace skin
