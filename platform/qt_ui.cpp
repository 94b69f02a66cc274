#include "platform/qt_ui.h"

#include <QApplication>
#include <QBoxLayout>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include "platform/dialog.h"

namespace platform {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Runs `fn` on the GUI thread and returns its result; the calling worker waits.
template <typename Fn>
auto OnGuiThread(Fn fn) -> decltype(fn()) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return fn();
    decltype(fn()) result{};
    QMetaObject::invokeMethod(app, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
    return result;
}

QWidget* DialogParent() {
    QWidget* w = QApplication::activeModalWidget();
    return w ? w : QApplication::activeWindow();
}

// The preset of a font dialog as the dialog can show it: a family that is not installed ("Arial")
// becomes the family it is drawn with, a pixel size becomes points, and the style is named. Qt's
// font dialog selects a family's first style when the preset names none and the family has no
// "Normal" style (DejaVu Sans lists "Oblique" first), so a regular preset came back italic; the
// shortest style name of the preset's weight and slant is taken ("Book" rather than "Condensed").
QFont AsListed(QFont font) {
    const QFontInfo drawn(font);
    if (!QFontDatabase::families().contains(font.family())) font.setFamily(drawn.family());
    if (font.pointSizeF() <= 0) font.setPointSizeF(drawn.pointSizeF());
    if (!font.styleName().isEmpty()) return font;
    QString best;
    for (const QString& style : QFontDatabase::styles(font.family())) {
        if (QFontDatabase::italic(font.family(), style) != font.italic() ||
            QFontDatabase::weight(font.family(), style) != font.weight())
            continue;
        if (best.isEmpty() || style.size() < best.size()) best = style;
    }
    if (!best.isEmpty()) font.setStyleName(best);
    return font;
}

QMessageBox::StandardButtons ToQt(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok: return QMessageBox::Ok;
        case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon ToQt(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::None: return QMessageBox::NoIcon;
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::Exclamation: return QMessageBox::Warning;
        case MsgIcon::Error: return QMessageBox::Critical;
        case MsgIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MsgResult FromQt(int button) {
    switch (button) {
        case QMessageBox::Ok: return MsgResult::Ok;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Retry: return MsgResult::Retry;
        case QMessageBox::Abort: return MsgResult::Abort;
        case QMessageBox::Ignore: return MsgResult::Ignore;
        default: return MsgResult::Cancel;
    }
}

void Prepare(QFileDialog& dialog, const FileDialogOptions& options) {
    if (!options.title.empty()) dialog.setWindowTitle(Q(options.title));
    if (!options.defaultExt.empty()) dialog.setDefaultSuffix(Q(options.defaultExt));
    const QString filter = QtNameFilter(options.filter);
    if (!filter.isEmpty()) dialog.setNameFilters(filter.split(";;"));
    if (!options.initialFolder.empty()) dialog.setDirectory(Q(options.initialFolder));
    if (!options.initialName.empty()) dialog.selectFile(Q(options.initialName));
}

class QtUi : public Ui {
public:
    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override {
        return OnGuiThread([&] {
            QMessageBox box(ToQt(icon), Q(caption), Q(text), ToQt(buttons), DialogParent());
            ApplyDialogColors(&box);
            return FromQt(box.exec());
        });
    }

    std::vector<std::string> OpenFiles(const FileDialogOptions& options) override {
        return OnGuiThread([&] {
            QFileDialog dialog(DialogParent());
            Prepare(dialog, options);
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles
                                                   : QFileDialog::ExistingFile);
            std::vector<std::string> paths;
            if (dialog.exec() == QDialog::Accepted) {
                for (const QString& f : dialog.selectedFiles()) paths.push_back(f.toStdString());
            }
            return paths;
        });
    }

    std::optional<std::string> SaveFile(const FileDialogOptions& options) override {
        return OnGuiThread([&]() -> std::optional<std::string> {
            QFileDialog dialog(DialogParent());
            Prepare(dialog, options);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwritePrompt);
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                return std::nullopt;
            return dialog.selectedFiles().front().toStdString();
        });
    }

    std::optional<std::string> PickFolder(const std::string& title,
                                          const std::string& initialFolder) override {
        return OnGuiThread([&]() -> std::optional<std::string> {
            const QString dir =
                QFileDialog::getExistingDirectory(DialogParent(), Q(title), Q(initialFolder));
            if (dir.isEmpty()) return std::nullopt;
            return dir.toStdString();
        });
    }

    std::optional<QColor> PickColor(const QColor& initial) override {
        return OnGuiThread([&]() -> std::optional<QColor> {
            const QColor c = QColorDialog::getColor(initial, DialogParent());
            if (!c.isValid()) return std::nullopt;
            return c;
        });
    }

    std::optional<QFont> PickFont(const QFont& initial) override {
        return OnGuiThread([&]() -> std::optional<QFont> {
            bool ok = false;
            const QFont f = QFontDialog::getFont(&ok, AsListed(initial), DialogParent());
            if (!ok) return std::nullopt;
            return f;
        });
    }

    std::optional<FontChoice> PickFontAndColor(const QFont& initial,
                                               const QColor& initialColor) override {
        return OnGuiThread([&]() -> std::optional<FontChoice> {
            // Qt's font dialog has underline and strike-out but no colour: it is embedded
            // with a colour button under it.
            QDialog dialog(DialogParent());
            dialog.setWindowTitle(QStringLiteral("Font"));
            auto* fonts = new QFontDialog(AsListed(initial), &dialog);
            fonts->setWindowFlags(Qt::Widget);
            fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
            auto* colorButton = new QPushButton(QStringLiteral("Colour..."), &dialog);
            QColor color = initialColor;
            auto showColor = [&] {
                QPixmap swatch(24, 14);
                swatch.fill(color);
                colorButton->setIcon(QIcon(swatch));
            };
            showColor();
            QObject::connect(colorButton, &QPushButton::clicked, &dialog, [&] {
                const QColor c = QColorDialog::getColor(color, &dialog);
                if (c.isValid()) color = c;
                showColor();
            });
            auto* buttons =
                new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
            QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
            QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
            auto* row = new QHBoxLayout;
            row->addWidget(colorButton);
            row->addStretch();
            row->addWidget(buttons);
            auto* layout = new QVBoxLayout(&dialog);
            layout->addWidget(fonts);
            layout->addLayout(row);
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            return FontChoice{fonts->currentFont(), color};
        });
    }

    ShellResult ShellOpen(const std::string& target) override {
        // A local target that does not exist is "file not found" before anything is started.
        const bool isUrl = QUrl(Q(target)).scheme().size() > 1;
        if (!isUrl && !QFileInfo::exists(Q(target))) return 2;
        const QString opener = QStandardPaths::findExecutable("xdg-open");
        if (opener.isEmpty()) return 31;
        return QProcess::startDetached(opener, {Q(target)}) ? kShellOk : 0;
    }

    ShellResult StartProgram(const std::string& program,
                             const std::vector<std::string>& args) override {
        const QFileInfo info(Q(program));
        if (!info.exists()) return 2;
        if (!info.isExecutable()) return 5;
        QStringList list;
        for (const std::string& a : args) list << Q(a);
        return QProcess::startDetached(Q(program), list) ? kShellOk : 0;
    }
};

}  // namespace

std::unique_ptr<Ui> MakeQtUi() { return std::make_unique<QtUi>(); }

QString QtNameFilter(const std::string& filter) {
    // "Name|pattern|Name|pattern||": pairs of a description and its patterns.
    const QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        // "*.*" means every file in the design's filters; for Qt it would need a dot.
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == "*.*") pattern = "*";
        }
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

}  // namespace platform
