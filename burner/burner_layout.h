// What the disc burner's main window is made of, without the window: its size and placement,
// the bitmap ids, the eighteen skin buttons with their tooltips, the command ids of the help
// menu and the list's pop-up menu, and the reader of the window-region resource.
#pragma once

#include <QFont>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/accelerators.h"

namespace burner {

// ---- Window ------------------------------------------------------------------------------------

inline constexpr QSize kWindowSize{705, 517};
// Template 102 is 470 x 344 dialog units of "MS Sans Serif" 8.
inline constexpr QSize kTemplateSize{470, 344};
inline constexpr int kIconBitmap = 128;
inline constexpr int kBackgroundBitmap = 132;
inline constexpr int kHelpTopicImage = 217;
inline constexpr int kRegionResource = 141;

// The list control 1020, moved to (62, 91) with size 588 x 298; the hidden static 1054.
inline constexpr int kListId = 1020;
inline constexpr int kHiddenStaticId = 1054;
inline constexpr QRect kListRect{62, 91, 588, 298};

// The capacity strip: invalidated from (60, 407) to (660, 427), text centred in (60, 409) to
// (660, 429), colour RGB(0, 0, 100).
inline constexpr QRect kCapacityInvalidRect{QPoint(60, 407), QPoint(660 - 1, 427 - 1)};
inline constexpr QRect kCapacityTextRect{QPoint(60, 409), QPoint(660 - 1, 429 - 1)};
inline constexpr int kCapacityTextRgb = 0x000064;
// List text colour RGB(0, 0, 100) on white.
inline constexpr int kListTextRgb = 0x000064;

// Where the window goes on a screen of `screen` size: centred at ((w - 705) / 2, (h - 517) / 2)
// when the screen is wider than 710 and taller than 550, otherwise nullopt (the window keeps
// the position and size of its template).
std::optional<QPoint> CentredPosition(QSize screen);

// The track list's font: `windowFont` at 12 points, weight 600, narrowed until its average
// character width is at most 8 pixels and the widest time text ("00:00:00") fits in
// `timeTextWidth` pixels (the Time column's width inside its margins).
QFont BurnerListFont(QFont windowFont, int timeTextWidth);

// ---- Commands ----------------------------------------------------------------------------------

enum Command : int {
    kCmdExit = 1001,
    kCmdMinimize = 1002,
    kCmdRecord = 1011,
    kCmdNewList = 1014,
    kCmdOpen = 1015,
    kCmdSave = 1016,
    kCmdHelp = 1017,
    kCmdAdd = 1018,
    kCmdDelete = 1019,
    kCmdMoveTop = 1021,
    kCmdMoveUp = 1022,
    kCmdMoveDown = 1024,
    kCmdMoveBottom = 1029,
    kCmdPlay = 1032,
    kCmdRename = 1035,
    kCmdWebsite = 1036,
    kCmdPrint = 11060,
    // Help menu (menu 140).
    kCmdHelpTopic = 32774,
    kCmdAbout = 32775,
    kCmdWebsiteMenu = 32777,
    kCmdContact = 32778,
    // The list's pop-up menu.
    kCmdMenuPlay = 32771,
    kCmdMenuDelete = 32772,
    kCmdMenuRename = 32773,
    kCmdMenuMoveTop = 32779,
    kCmdMenuMoveUp = 32780,
    kCmdMenuMoveDown = 32781,
    kCmdMenuMoveBottom = 32782,
};

struct SkinButton {
    const char* name;  // the window text; never shown
    int id;
    int normal;
    int focus;  // 0: none of its own, the normal image is used
    int hover;
    QRect rect;  // client pixels
};

// The eighteen buttons, in creation order.
const std::array<SkinButton, 18>& SkinButtons();

struct ButtonTip {
    const char* name;  // of the button
    const char* text;
};

// The sixteen tooltips, in creation order.
const std::array<ButtonTip, 16>& ButtonTips();

// The window's keys for the buttons' commands: Ctrl+N new list, Ctrl+O open, Ctrl+S save,
// Insert add, Delete remove, Ctrl+Up and Ctrl+Down move, F2 rename, Ctrl+P print, Ctrl+B burn;
// F1 opens the help book ("Help topic..").
const std::vector<platform::Accelerator>& ButtonAccelerators();

// The tooltip shown for button `name`: its text of the tooltip table followed by the keys of the
// button's command, "Add mp3 files (Insert)"; empty for the two buttons without a tooltip.
std::string ButtonTipText(const std::string& name);
// The button's name for screen readers: its tooltip's text without keys; "Help" and "Exit from
// Discsmith" for "help" and "exit2", which have no tooltip.
std::string ButtonAccessibleName(const std::string& name);

struct MenuItem {
    const char* text;
    int id;  // 0: a separator
};

// Menu 140's first sub-menu: "Help topic..", "About...", "Website...", "Contact".
const std::array<MenuItem, 4>& HelpMenuItems();
// The list's pop-up menu: Play, Move to top, Move up, Move down, Move to bottom, Delete, Rename.
const std::array<MenuItem, 7>& ListMenuItems();
// The button command a list-menu item stands for (kCmdMenuPlay -> kCmdPlay, ...); 0 for others.
int ButtonCommandForMenu(int menuId);

// The web site and support address of this project, opened by "Website..." and "Contact".
inline constexpr const char* kWebsiteUrl = "https://vexmor.example.org/discsmith/";
inline constexpr const char* kContactUrl = "mailto:support@vexmor.example.org?subject=Discsmith";

// ---- Window region -----------------------------------------------------------------------------

// The rectangles of a region resource: a 32-bit little-endian byte count N, then N bytes of
// region data (a 32-byte header: size 32, type 1, rectangle count, size of the rectangles,
// bounding rectangle; then left, top, right, bottom per rectangle, each a 32-bit little-endian
// integer, right and bottom exclusive). Anything after the N bytes is ignored. nullopt when the
// block is cut short, the header does not say rectangles, or a rectangle is empty.
std::optional<std::vector<QRect>> ParseRegionData(const std::vector<uint8_t>& resource);
// The bounding rectangle stated in the region header (nullopt as above).
std::optional<QRect> RegionBounds(const std::vector<uint8_t>& resource);
// The region resource `id` of the burner's skin as bytes; empty when there is none.
std::vector<uint8_t> LoadRegionResource(int id);
// The window's shape from resource `id`; an empty region when it is missing or damaged.
QRegion LoadWindowRegion(int id);

}  // namespace burner
