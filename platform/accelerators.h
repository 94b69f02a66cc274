// Keyboard accelerators of a dialog: key combinations that send a control command, as a click
// on the control with that id does. They act while the dialog is the active window. An ordinary
// accelerator comes before the focused control (a list that has the focus still lets Ctrl+Up
// through); one that yields to the focus acts only when the focused control leaves the key
// unused (Space presses a focused button and plays otherwise).
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <string>
#include <vector>

class QAction;

namespace platform {

class Dialog;

struct Accelerator {
    QKeySequence keys;
    int command = 0;
    bool yieldsToFocus = false;  // one key without modifiers other than Shift
};

// Adds the table's accelerators to `dialog`; each sends Command(command) of the dialog. The
// ordinary ones become window shortcuts (actions, children of the dialog, returned in table
// order); those that yield to the focus are seen by a key filter on the dialog.
QList<QAction*> InstallAccelerators(Dialog& dialog, const std::vector<Accelerator>& table);

// The keys of `command` in `table` as a person reads them ("Ctrl+O", "Ctrl+Up"), several
// joined by " or "; empty when the command has none.
QString AcceleratorText(const std::vector<Accelerator>& table, int command);

// A tooltip that names the command's keys: "Open mp3 (Ctrl+O)"; the text alone without keys.
QString TipWithKeys(const QString& text, const std::vector<Accelerator>& table, int command);

}  // namespace platform
