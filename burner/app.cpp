#include "burner/app.h"

#include <QColor>

#include "burner/burner_dlg.h"
#include "burner/burner_list.h"
#include "platform/control_host.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/state_report.h"

namespace burner {

std::unique_ptr<platform::Dialog> MakeMainWindow() { return std::make_unique<CBurnerDlg>(); }

std::unique_ptr<platform::Dialog> MakeMainWindowOpening(std::vector<StartFile> files) {
    auto window = std::make_unique<CBurnerDlg>();
    window->OpenAtStart(std::move(files));
    if (const std::optional<std::string> report = platform::StateReportPath()) {
        CBurnerDlg* w = window.get();
        platform::ReportWhenSettled(
            *w, *report, [w] { return !w->startPending(); },
            [w] {
                const std::vector<TrackEntry> entries = w->list()->Entries();
                std::vector<std::string> lines{"rows=" + std::to_string(entries.size())};
                for (const TrackEntry& entry : entries)
                    lines.push_back("row=" + entry.title + "|" + entry.time + "|" + entry.path);
                lines.push_back("total=" + w->list()->total());
                lines.push_back("capacity=" + w->capacityText());
                return lines;
            });
    }
    return window;
}

bool InitInstance(const MainWindowFactory& makeMainWindow) {
    // Control hosting and the platform's control look need no switching on here.
    platform::SetDialogColors(QColor(209, 224, 252), QColor(1, 34, 99));
    RegisterWriterControl();
    if (std::unique_ptr<platform::Dialog> mainWindow = makeMainWindow()) mainWindow->DoModal();
    return false;
}

}  // namespace burner
