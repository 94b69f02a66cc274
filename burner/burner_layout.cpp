#include "burner/burner_layout.h"

#include <QFontMetrics>
#include <algorithm>

#include "platform/template_rect.h"
#include "uikit/skin_bitmaps.h"

using platform::Ltrb;

namespace burner {
namespace {

constexpr size_t kRegionHeaderBytes = 32;
constexpr uint32_t kRegionRectangles = 1;

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t GetInt(const uint8_t* p) { return static_cast<int32_t>(Get32(p)); }

// The region data block inside the resource, or null with size 0 when the block is cut short.
const uint8_t* RegionBlock(const std::vector<uint8_t>& resource, size_t* size) {
    *size = 0;
    if (resource.size() < 4) return nullptr;
    const uint32_t n = Get32(resource.data());
    if (n < kRegionHeaderBytes || n > resource.size() - 4) return nullptr;
    *size = n;
    return resource.data() + 4;
}

}  // namespace

std::optional<QPoint> CentredPosition(QSize screen) {
    if (screen.width() <= 710 || screen.height() <= 550) return std::nullopt;
    return QPoint((screen.width() - kWindowSize.width()) / 2,
                  (screen.height() - kWindowSize.height()) / 2);
}

const std::array<SkinButton, 18>& SkinButtons() {
    static const std::array<SkinButton, 18> kButtons{{
        {"add", kCmdAdd, 151, 203, 187, Ltrb(236, 459, 271, 492)},
        {"sub", kCmdDelete, 168, 201, 185, Ltrb(294, 456, 326, 489)},
        {"open", kCmdOpen, 162, 205, 188, Ltrb(184, 466, 216, 497)},
        {"new", kCmdNewList, 161, 208, 189, Ltrb(128, 473, 160, 507)},
        {"burn", kCmdRecord, 153, 202, 186, Ltrb(355, 456, 388, 489)},
        {"save", kCmdSave, 167, 204, 190, Ltrb(415, 459, 448, 492)},
        {"print", kCmdPrint, 164, 206, 191, Ltrb(473, 466, 506, 497)},
        {"website", kCmdWebsite, 159, 207, 192, Ltrb(532, 473, 565, 504)},
        {"rename", kCmdRename, 166, 200, 183, Ltrb(14, 394, 45, 429)},
        {"2top", kCmdMoveTop, 169, 195, 178, Ltrb(10, 145, 52, 179)},
        {"up", kCmdMoveUp, 172, 196, 179, Ltrb(10, 179, 52, 213)},
        {"play", kCmdPlay, 163, 197, 180, Ltrb(10, 213, 52, 248)},
        {"down", kCmdMoveDown, 155, 198, 181, Ltrb(10, 248, 52, 283)},
        {"2bottom", kCmdMoveBottom, 152, 199, 182, Ltrb(10, 283, 52, 317)},
        {"help", kCmdHelp, 158, 0, 175, Ltrb(24, 21, 65, 39)},
        {"min", kCmdMinimize, 160, 0, 173, Ltrb(630, 13, 654, 35)},
        {"exit", kCmdExit, 156, 0, 174, Ltrb(657, 14, 684, 34)},
        {"exit2", kCmdExit, 157, 0, 184, Ltrb(621, 450, 666, 466)},
    }};
    return kButtons;
}

const std::array<ButtonTip, 16>& ButtonTips() {
    static const std::array<ButtonTip, 16> kTips{{
        {"add", "Add mp3 files"},
        {"sub", "Delete the selected mp3 file"},
        {"open", "Load an existing recording project from disk"},
        {"new", "Clear old mp3 list,start a new list"},
        {"burn", "Record the CD"},
        {"save", "Save the current recording project to disk"},
        {"print", "Print out the song list"},
        {"website", "Enter Vexmor website"},
        {"rename", "Rename the selected mp3 title"},
        {"2top", "Move the selected mp3 to the top of the list"},
        {"up", "Move the selected mp3 up a level in the list"},
        {"play", "Play the selected mp3"},
        {"down", "Move the selected mp3 down a level in the list"},
        {"2bottom", "Move the selected mp3 to the bottom of the list"},
        {"min", "Minimize window"},
        {"exit", "Exit from Discsmith"},
    }};
    return kTips;
}

const std::vector<platform::Accelerator>& ButtonAccelerators() {
    static const std::vector<platform::Accelerator> kKeys{
        {QKeySequence(Qt::CTRL | Qt::Key_N), kCmdNewList},
        {QKeySequence(Qt::CTRL | Qt::Key_O), kCmdOpen},
        {QKeySequence(Qt::CTRL | Qt::Key_S), kCmdSave},
        {QKeySequence(Qt::Key_Insert), kCmdAdd},
        {QKeySequence(Qt::Key_Delete), kCmdDelete},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), kCmdMoveUp},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), kCmdMoveDown},
        {QKeySequence(Qt::Key_F2), kCmdRename},
        {QKeySequence(Qt::CTRL | Qt::Key_P), kCmdPrint},
        {QKeySequence(Qt::CTRL | Qt::Key_B), kCmdRecord},
        {QKeySequence(Qt::Key_F1), kCmdHelpTopic},
    };
    return kKeys;
}

namespace {

const SkinButton* FindButton(const std::string& name) {
    for (const SkinButton& button : SkinButtons()) {
        if (name == button.name) return &button;
    }
    return nullptr;
}

const char* TipOf(const std::string& name) {
    for (const ButtonTip& tip : ButtonTips()) {
        if (name == tip.name) return tip.text;
    }
    return nullptr;
}

}  // namespace

std::string ButtonTipText(const std::string& name) {
    const char* tip = TipOf(name);
    const SkinButton* button = FindButton(name);
    if (!tip || !button) return {};
    return platform::TipWithKeys(QString::fromUtf8(tip), ButtonAccelerators(), button->id)
        .toStdString();
}

std::string ButtonAccessibleName(const std::string& name) {
    if (const char* tip = TipOf(name)) return tip;
    if (name == "help") return "Help";
    if (name == "exit2") return "Exit from Discsmith";
    return name;
}

const std::array<MenuItem, 4>& HelpMenuItems() {
    static const std::array<MenuItem, 4> kItems{{
        {"Help topic..", kCmdHelpTopic},
        {"About...", kCmdAbout},
        {"Website...", kCmdWebsiteMenu},
        {"Contact", kCmdContact},
    }};
    return kItems;
}

const std::array<MenuItem, 7>& ListMenuItems() {
    static const std::array<MenuItem, 7> kItems{{
        {"Play", kCmdMenuPlay},
        {"Move to top", kCmdMenuMoveTop},
        {"Move up", kCmdMenuMoveUp},
        {"Move down", kCmdMenuMoveDown},
        {"Move to bottom", kCmdMenuMoveBottom},
        {"Delete", kCmdMenuDelete},
        {"Rename", kCmdMenuRename},
    }};
    return kItems;
}

int ButtonCommandForMenu(int menuId) {
    switch (menuId) {
        case kCmdMenuPlay:
            return kCmdPlay;
        case kCmdMenuMoveTop:
            return kCmdMoveTop;
        case kCmdMenuMoveUp:
            return kCmdMoveUp;
        case kCmdMenuMoveDown:
            return kCmdMoveDown;
        case kCmdMenuMoveBottom:
            return kCmdMoveBottom;
        case kCmdMenuDelete:
            return kCmdDelete;
        case kCmdMenuRename:
            return kCmdRename;
        default:
            return 0;
    }
}

std::optional<std::vector<QRect>> ParseRegionData(const std::vector<uint8_t>& resource) {
    size_t size = 0;
    const uint8_t* block = RegionBlock(resource, &size);
    if (!block) return std::nullopt;
    const uint32_t headerSize = Get32(block);
    const uint32_t type = Get32(block + 4);
    const uint32_t count = Get32(block + 8);
    if (headerSize != kRegionHeaderBytes || type != kRegionRectangles) return std::nullopt;
    if (count > (size - kRegionHeaderBytes) / 16) return std::nullopt;
    std::vector<QRect> rects;
    rects.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* r = block + kRegionHeaderBytes + 16 * size_t(i);
        const int left = GetInt(r), top = GetInt(r + 4), right = GetInt(r + 8),
                  bottom = GetInt(r + 12);
        if (right <= left || bottom <= top) return std::nullopt;
        rects.push_back(Ltrb(left, top, right, bottom));
    }
    return rects;
}

std::optional<QRect> RegionBounds(const std::vector<uint8_t>& resource) {
    size_t size = 0;
    const uint8_t* block = RegionBlock(resource, &size);
    if (!block || Get32(block) != kRegionHeaderBytes) return std::nullopt;
    return Ltrb(GetInt(block + 16), GetInt(block + 20), GetInt(block + 24), GetInt(block + 28));
}

std::vector<uint8_t> LoadRegionResource(int id) {
    const QByteArray data = skin::LoadSkinData("burner", "rgn/" + std::to_string(id));
    return std::vector<uint8_t>(data.begin(), data.end());
}

QRegion LoadWindowRegion(int id) {
    const std::optional<std::vector<QRect>> rects = ParseRegionData(LoadRegionResource(id));
    QRegion region;
    if (rects)
        for (const QRect& rect : *rects) region += rect;
    return region;
}

QFont BurnerListFont(QFont font, int timeTextWidth) {
    constexpr int kAverageWidth = 8;
    font.setPointSize(12);
    font.setWeight(QFont::DemiBold);
    const auto fits = [&](const QFont& f) {
        const QFontMetrics metrics(f);
        int widest = 0;
        for (const char* time : {"00:00:00", "01:02:03", "88:88:88"})
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(time)));
        return metrics.averageCharWidth() <= kAverageWidth && widest <= timeTextWidth;
    };
    // The width of the design's font description is met by narrowing the letters, as its
    // font mapper did; the height stays 12 points.
    for (int stretch = QFont::Unstretched; stretch >= QFont::UltraCondensed; --stretch) {
        font.setStretch(stretch);
        if (fits(font)) return font;
    }
    // A font that cannot be narrowed enough becomes smaller instead.
    while (font.pointSize() > 6 && !fits(font)) font.setPointSize(font.pointSize() - 1);
    return font;
}

}  // namespace burner
