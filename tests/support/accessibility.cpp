#include "tests/support/accessibility.h"

#include <QAccessible>
#include <QMetaEnum>
#include <QWidget>

namespace testing_support {
namespace {

bool IsInteractive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::Button:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::Slider:
        case QAccessible::Dial:
        case QAccessible::SpinBox:
        case QAccessible::ScrollBar:
        case QAccessible::EditableText:
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::Tree:
        case QAccessible::ProgressBar:
        case QAccessible::Link:
        case QAccessible::PageTab:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
            return true;
        default:
            return false;
    }
}

bool HoldsCells(QAccessible::Role role) {
    return role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree;
}

void Walk(QAccessibleInterface* node, std::vector<AccessibleControl>& out, int depth) {
    if (!node || !node->isValid() || depth > 64) return;
    if (node->state().invisible) return;
    const QAccessible::Role role = node->role();
    AccessibleControl control;
    const char* roleName = QMetaEnum::fromType<QAccessible::Role>().valueToKey(role);
    control.role = roleName ? roleName : "?";
    control.name = node->text(QAccessible::Name).trimmed().toStdString();
    control.className = node->object() ? node->object()->metaObject()->className() : "";
    control.interactive = IsInteractive(role);
    out.push_back(control);
    if (HoldsCells(role)) return;
    for (int i = 0; i < node->childCount(); ++i) Walk(node->child(i), out, depth + 1);
}

}  // namespace

std::vector<AccessibleControl> AccessibleControls(QWidget* window) {
    std::vector<AccessibleControl> controls;
    Walk(QAccessible::queryAccessibleInterface(window), controls, 0);
    return controls;
}

std::vector<std::string> UnnamedInteractiveControls(QWidget* window) {
    std::vector<std::string> unnamed;
    for (const AccessibleControl& control : AccessibleControls(window)) {
        if (control.interactive && control.name.empty())
            unnamed.push_back(control.role + " " + control.className);
    }
    return unnamed;
}

}  // namespace testing_support
