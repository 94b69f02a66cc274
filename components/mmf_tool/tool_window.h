// The tool's window: WAV files dropped on it (or chosen with "Open...") are converted one after
// another on a worker thread, and every file written or refused is listed.
#pragma once

#include <QFutureWatcher>
#include <QStringList>
#include <QWidget>

#include "components/mmf_tool/mmf_convert.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class ToolWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ToolWindow(QWidget* parent = nullptr);
    ~ToolWindow() override;

    // Queues files for conversion; the ones that are not ".wav" are listed as refused.
    void Convert(const QStringList& paths);
    // True while files are queued or one is being converted.
    bool IsBusy() const;
    // The report lines shown, oldest first.
    QStringList Reports() const;

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void StartNext();
    void Finished();
    void AddReport(const QString& text);
    void ChooseFiles();

    QLabel* hint_;
    QListWidget* reports_;
    QPushButton* open_;
    QStringList queue_;
    QString current_;
    // The "Converting" line of the file being converted; null while none is. Whether a file is
    // in work is decided by this line, not by the future: a conversion that has ended but whose
    // result has not been reported yet still counts.
    QListWidgetItem* currentItem_ = nullptr;
    QFutureWatcher<mmf::ConvertResult> watcher_;
};

// "Wrote <file>" or "<file>: <reason>", the line the tool reports for one conversion.
QString ReportLine(const QString& source, const mmf::ConvertResult& result);
