// What a screen reader finds in a window: its accessibility tree walked through QAccessible.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace testing_support {

struct AccessibleControl {
    std::string role;  // QAccessible::Role's name: "Button", "ScrollBar", ...
    std::string name;
    std::string className;
    bool interactive = false;
};

// Every visible object of `window`'s accessibility tree, depth first. The cells of lists,
// tables and trees are not listed: their texts are the rows' own.
std::vector<AccessibleControl> AccessibleControls(QWidget* window);

// The visible controls a user acts on (buttons, check boxes, sliders, scroll bars, lists, edits,
// progress bars, links, ...) that a screen reader would announce without a name, as
// "Role ClassName" entries.
std::vector<std::string> UnnamedInteractiveControls(QWidget* window);

}  // namespace testing_support
