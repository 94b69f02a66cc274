#include "components/mmf_tool/tool_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "platform/ui.h"

QString ReportLine(const QString& source, const mmf::ConvertResult& result) {
    if (result.ok) {
        return QStringLiteral("Wrote %1 (%2 s, %3 Hz)")
            .arg(QString::fromStdString(result.outputPath))
            .arg(result.seconds, 0, 'f', 2)
            .arg(result.sampleRate);
    }
    return QStringLiteral("%1: %2").arg(source, QString::fromStdString(result.error));
}

ToolWindow::ToolWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("MMF Ringtone Maker"));
    setAcceptDrops(true);
    resize(480, 280);

    hint_ = new QLabel(
        QStringLiteral("Drop WAV files here. Each one becomes an .mmf ringtone beside it."), this);
    hint_->setWordWrap(true);
    reports_ = new QListWidget(this);
    open_ = new QPushButton(QStringLiteral("Open..."), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint_);
    layout->addWidget(reports_, 1);
    layout->addWidget(open_, 0, Qt::AlignRight);

    connect(open_, &QPushButton::clicked, this, &ToolWindow::ChooseFiles);
    connect(&watcher_, &QFutureWatcher<mmf::ConvertResult>::finished, this, &ToolWindow::Finished);
}

ToolWindow::~ToolWindow() {
    queue_.clear();
    watcher_.waitForFinished();
}

bool ToolWindow::IsBusy() const { return !queue_.isEmpty() || currentItem_ != nullptr; }

QStringList ToolWindow::Reports() const {
    QStringList lines;
    for (int i = 0; i < reports_->count(); ++i) lines << reports_->item(i)->text();
    return lines;
}

void ToolWindow::Convert(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!path.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
            AddReport(QStringLiteral("%1: not a WAV file").arg(path));
            continue;
        }
        queue_ << path;
    }
    StartNext();
}

void ToolWindow::StartNext() {
    if (currentItem_ || queue_.isEmpty()) return;
    current_ = queue_.takeFirst();
    AddReport(QStringLiteral("Converting %1...").arg(QFileInfo(current_).fileName()));
    currentItem_ = reports_->item(reports_->count() - 1);
    open_->setEnabled(false);
    const std::string source = current_.toStdString();
    watcher_.setFuture(QtConcurrent::run([source] { return mmf::ConvertToMmf(source); }));
}

void ToolWindow::Finished() {
    // The "Converting" line becomes the outcome, wherever refusals added meanwhile put it.
    currentItem_->setText(ReportLine(current_, watcher_.result()));
    currentItem_ = nullptr;
    current_.clear();
    open_->setEnabled(true);
    StartNext();
}

void ToolWindow::AddReport(const QString& text) {
    reports_->addItem(text);
    reports_->scrollToBottom();
}

void ToolWindow::ChooseFiles() {
    platform::FileDialogOptions options;
    options.defaultExt = "wav";
    options.filter = "WAV files(*.wav)|*.wav||";
    options.mustExist = true;
    options.multiSelect = true;
    QStringList paths;
    for (const std::string& path : platform::GetUi().OpenFiles(options)) {
        paths << QString::fromStdString(path);
    }
    Convert(paths);
}

void ToolWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ToolWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    Convert(paths);
}

void ToolWindow::closeEvent(QCloseEvent* event) {
    // The file being written is finished first; files still queued are dropped.
    queue_.clear();
    watcher_.waitForFinished();
    event->accept();
}
