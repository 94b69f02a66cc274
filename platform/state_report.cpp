#include "platform/state_report.h"

#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "platform/dialog.h"
#include "platform/replace_file.h"
#include "platform/scripted_ui.h"

namespace platform {
namespace {

std::string OneLine(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

struct Report {
    std::string path;
    std::function<bool()> settled;
    std::function<std::vector<std::string>()> lines;
    int settledAsks = 0;
    bool written = false;
};

void WriteReport(Dialog& window, Report& report) {
    if (report.written) return;
    report.written = true;
    window.grab().toImage().save(QString::fromLocal8Bit(report.path.c_str()) + ".png");
    std::string text;
    for (const std::string& line : report.lines()) text += OneLine(line) + "\n";
    if (const auto* ui = dynamic_cast<const ScriptedUi*>(&GetUi())) {
        for (const std::string& message : ui->messageTexts())
            text += "message=" + OneLine(message) + "\n";
        for (const std::string& call : ui->unexpected())
            text += "unexpected=" + OneLine(call) + "\n";
    }
    WriteFileReplacing(report.path, text);
}

}  // namespace

std::optional<std::string> StateReportPath() {
    const char* path = std::getenv(kStateReportVariable);
    if (!path || !*path) return std::nullopt;
    return std::string(path);
}

void PrepareStateReport() {
    if (StateReportPath()) SetUi(std::make_unique<ScriptedUi>());
}

void ReportWhenSettled(Dialog& window, const std::string& path, std::function<bool()> settled,
                       std::function<std::vector<std::string>()> lines) {
    auto report = std::make_shared<Report>();
    report->path = path;
    report->settled = std::move(settled);
    report->lines = std::move(lines);

    auto* poll = new QTimer(&window);
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, report] {
        report->settledAsks = report->settled() ? report->settledAsks + 1 : 0;
        if (report->settledAsks < 2) return;
        poll->stop();
        WriteReport(window, *report);
        window.EndDialog(IDCANCEL);
    });
    poll->start();
    QObject::connect(&window, &QDialog::finished, &window,
                     [&window, report] { WriteReport(window, *report); });
}

}  // namespace platform
