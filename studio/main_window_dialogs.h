// The two small dialogs of the studio's main window: the About box (dialog 100) and the
// steps shown before a WAV is handed to the MMF tool (dialog 1143).
#pragma once

#include <string>

#include "platform/dialog.h"

namespace studio {

// "About Ringsmith": the program icon, "Ringsmith Version " and the version and OK.
class CAboutDlg : public platform::Dialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// "Save as mmf:": how to turn the handed-over WAV into a ringtone with the MMF tool. The
// hand-over folder is shown as it is on this system.
class CSaveMmfDlg : public platform::Dialog {
    Q_OBJECT
  public:
    CSaveMmfDlg(const std::string& handOverFolder, QWidget* parent = nullptr);

    // The four step texts, as shown.
    static std::string StepText(int index, const std::string& handOverFolder);
};

}  // namespace studio
