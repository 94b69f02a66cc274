// The burner's two small dialogs: the About box (dialog 100) and "Rename:", which asks for the
// new title of a project entry.
#pragma once

#include <optional>
#include <string>

#include "platform/dialog.h"

namespace burner {

// The program icon, the name and release, a notice line and the web-site and contact links.
class CBurnerAboutDlg : public platform::Dialog {
    Q_OBJECT
  public:
    static constexpr int kIconId = 1100;
    static constexpr int kWebsiteLinkId = 1101;
    static constexpr int kContactLinkId = 1102;

    explicit CBurnerAboutDlg(QWidget* parent = nullptr);
};

// "Rename:": "Please input a new name:", edit 1041 holding the current title, OK and Cancel.
// OK with an empty (or blank) name is refused with a message and the dialog stays open.
class CRenameDlg : public platform::Dialog {
    Q_OBJECT
  public:
    static constexpr int kNameEditId = 1041;

    CRenameDlg(const std::string& currentTitle, QWidget* parent = nullptr);

    // The name given with OK.
    const std::string& name() const { return name_; }

    // Runs the dialog; the new name, or nullopt when the user cancelled.
    static std::optional<std::string> Ask(const std::string& currentTitle, QWidget* parent);

  private:
    void OnOk();

    std::string name_;
};

// Shown when OK is pressed on an empty name.
inline constexpr const char* kEmptyNameMessage = "Please input a new name!";

}  // namespace burner
