#include "platform/qt_ui.h"

#include <QApplication>
#include <QBoxLayout>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
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
    QMetaObject::invokeMethod(
        app, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
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

// Escape and Return pressed inside a chooser embedded in `dialog`: Escape cancels the dialog,
// Return clicks its OK button. Keys for other windows (a combo box's open list) pass.
class WholeDialogKeys : public QObject {
  public:
    WholeDialogKeys(QDialog& dialog, QAbstractButton* ok) : dialog_(dialog), ok_(ok) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        if (static_cast<QWidget*>(watched)->window() != &dialog_) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers != Qt::NoModifier) return false;
        switch (key->key()) {
            case Qt::Key_Escape:
                dialog_.reject();
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (ok_) ok_->click();
                return true;
            default:
                return false;
        }
    }

  private:
    QDialog& dialog_;
    QAbstractButton* ok_;
};

QMessageBox::StandardButtons ToQt(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return QMessageBox::Ok;
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon ToQt(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::None:
            return QMessageBox::NoIcon;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MsgResult FromQt(int button) {
    switch (button) {
        case QMessageBox::Ok:
            return MsgResult::Ok;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Retry:
            return MsgResult::Retry;
        case QMessageBox::Abort:
            return MsgResult::Abort;
        case QMessageBox::Ignore:
            return MsgResult::Ignore;
        default:
            return MsgResult::Cancel;
    }
}

void Prepare(QFileDialog& dialog, const FileDialogOptions& options) {
    if (!options.title.empty()) dialog.setWindowTitle(Q(options.title));
    if (!options.defaultExt.empty()) dialog.setDefaultSuffix(Q(options.defaultExt));
    const QString filter = QtNameFilter(options.filter);
    if (!filter.isEmpty()) dialog.setNameFilters(filter.split(";;"));
    dialog.setDirectory(Q(DialogStartFolder(options.initialFolder)));
    if (!options.initialName.empty()) dialog.selectFile(Q(options.initialName));
}

// xdg-open, or empty when `target` is a local file that does not exist or there is no xdg-open.
QString Opener(const std::string& target) {
    const bool isUrl = QUrl(Q(target)).scheme().size() > 1;
    if (!isUrl && !QFileInfo::exists(Q(target))) return {};
    return QStandardPaths::findExecutable("xdg-open");
}

// Why Opener found nothing: a local target that does not exist is "file not found" before
// anything is started; otherwise there is no handler ("no application associated").
ShellResult OpenerMissing(const std::string& target) {
    const bool isUrl = QUrl(Q(target)).scheme().size() > 1;
    return !isUrl && !QFileInfo::exists(Q(target)) ? 2 : 31;
}

// xdg-open's exit status in the codes of a shell start: 0 opened, 2 the file does not exist,
// 3 no program to open it with, 4 the program failed; 1 (bad arguments) and anything else are
// general failures.
ShellResult FromXdgOpenExit(int code) {
    switch (code) {
        case 0:
            return kShellOk;
        case 2:
            return 2;
        case 3:
        case 4:
            return 31;
        default:
            return 0;
    }
}

class QtUi : public GuiUi {
  public:
    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override {
        return OnGuiThread([&] {
            const std::unique_ptr<QMessageBox> box =
                BuildMessageBox(text, caption, buttons, icon, DialogParent());
            return FromQt(box->exec());
        });
    }

    std::vector<std::string> OpenFiles(const FileDialogOptions& options) override {
        return OnGuiThread([&] {
            QFileDialog dialog(DialogParent());
            Prepare(dialog, options);
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles
                                                   : QFileDialog::ExistingFile);
            if (dialog.exec() != QDialog::Accepted) return std::vector<std::string>{};
            return LocalPathsBytes(dialog.selectedUrls(), dialog.selectedFiles());
        });
    }

    std::optional<std::string> SaveFile(const FileDialogOptions& options) override {
        return OnGuiThread([&]() -> std::optional<std::string> {
            QFileDialog dialog(DialogParent());
            Prepare(dialog, options);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwritePrompt);
            // A name typed without extension takes the chosen filter's, also for the question
            // whether to replace a file.
            const QStringList filters = dialog.nameFilters();
            const auto extensionOf = [&options, &filters](const QString& filter) {
                return SaveExtensionFor(options, static_cast<int>(filters.indexOf(filter)));
            };
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                             [&dialog, extensionOf](const QString& filter) {
                                 dialog.setDefaultSuffix(Q(extensionOf(filter)));
                             });
            // Qt's own dialog: its type list, whichever way the choice is made.
            if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
                QObject::connect(types, &QComboBox::currentIndexChanged, &dialog,
                                 [&dialog, &options](int index) {
                                     dialog.setDefaultSuffix(Q(SaveExtensionFor(options, index)));
                                 });
            }
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            const std::vector<std::string> paths =
                LocalPathsBytes(dialog.selectedUrls(), dialog.selectedFiles());
            if (paths.empty()) return std::nullopt;
            return WithExtensionIfNone(paths.front(), extensionOf(dialog.selectedNameFilter()));
        });
    }

    std::optional<std::string> PickFolder(const std::string& title,
                                          const std::string& initialFolder) override {
        return OnGuiThread([&]() -> std::optional<std::string> {
            const QString dir = QFileDialog::getExistingDirectory(
                DialogParent(), Q(title), Q(DialogStartFolder(initialFolder)));
            if (dir.isEmpty()) return std::nullopt;
            return dir.toStdString();
        });
    }

    std::optional<std::string> BrowseForFolder(const FolderDialogOptions& options) override {
        return OnGuiThread([&]() -> std::optional<std::string> {
            QFileDialog dialog(options.owner ? options.owner : DialogParent());
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly);
            // The desktop's own dialog has no room for a status line.
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setWindowTitle(Q(options.title));
            dialog.setDirectory(Q(DialogStartFolder(options.initialFolder)));
            if (options.statusText) {
                auto* status = new QLabel(&dialog);
                status->setObjectName(QStringLiteral("statusText"));
                if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
                    grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
                }
                const auto show = [&options, status](const QString& folder) {
                    status->setText(Q(options.statusText(folder.toStdString())));
                };
                show(dialog.directory().absolutePath());
                QObject::connect(
                    &dialog, &QFileDialog::currentChanged, status,
                    [&dialog, show](const QString& path) {
                        show(path.isEmpty() ? dialog.directory().absolutePath() : path);
                    });
                QObject::connect(&dialog, &QFileDialog::directoryEntered, status, show);
            }
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
                return std::nullopt;
            }
            return dialog.selectedFiles().front().toStdString();
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
            // Return takes the choice, as OK, wherever the focus is; Space still opens the
            // colour picker.
            colorButton->setAutoDefault(false);
            auto* buttons =
                new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
            buttons->button(QDialogButtonBox::Ok)->setDefault(true);
            QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
            QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
            auto* row = new QHBoxLayout;
            row->addWidget(colorButton);
            row->addStretch();
            row->addWidget(buttons);
            auto* layout = new QVBoxLayout(&dialog);
            layout->addWidget(fonts);
            layout->addLayout(row);
            // The embedded chooser would end itself on Escape and Return (its lists accept on
            // Return), leaving an empty dialog: those keys end the whole dialog instead.
            WholeDialogKeys keys(dialog, buttons->button(QDialogButtonBox::Ok));
            fonts->installEventFilter(&keys);
            for (QWidget* child : fonts->findChildren<QWidget*>()) child->installEventFilter(&keys);
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            return FontChoice{fonts->currentFont(), color};
        });
    }

    ShellResult ShellOpen(const std::string& target) override {
        const QString opener = Opener(target);
        if (opener.isEmpty()) return OpenerMissing(target);
        return QProcess::startDetached(opener, {Q(target)}) ? kShellOk : 0;
    }

    void ShellOpenThen(const std::string& target, std::function<void(ShellResult)> done) override {
        const QString opener = Opener(target);
        if (opener.isEmpty()) {
            done(OpenerMissing(target));
            return;
        }
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            done(QProcess::startDetached(opener, {Q(target)}) ? kShellOk : 0);
            return;
        }
        // The process is watched on the GUI thread. It has no parent and is not deleted while
        // it runs: a browser that xdg-open waits for outlives the program instead of being
        // killed with it.
        QMetaObject::invokeMethod(app, [opener, target = Q(target), done = std::move(done)] {
            auto* process = new QProcess;
            process->setProcessChannelMode(QProcess::ForwardedChannels);
            process->setStandardInputFile(QProcess::nullDevice());
            QObject::connect(process, &QProcess::finished, process,
                             [process, done](int code, QProcess::ExitStatus status) {
                                 done(status == QProcess::NormalExit ? FromXdgOpenExit(code) : 0);
                                 process->deleteLater();
                             });
            QObject::connect(process, &QProcess::errorOccurred, process,
                             [process, done](QProcess::ProcessError error) {
                                 if (error != QProcess::FailedToStart) return;
                                 done(0);
                                 process->deleteLater();
                             });
            process->start(opener, {target});
        });
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

std::unique_ptr<GuiUi> MakeQtUi() { return std::make_unique<QtUi>(); }

void UseQtUiByDefault() {
    SetUiFallback([]() -> std::unique_ptr<Ui> { return MakeQtUi(); });
}

std::string DialogStartFolder(const std::string& remembered) {
    if (!remembered.empty() && QFileInfo(Q(remembered)).isDir()) return remembered;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return QFile::encodeName(music).toStdString();
    return QFile::encodeName(QDir::homePath()).toStdString();
}

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
        // A name that already ends in its patterns ("MP3 files(*.mp3)") is shown once, as it is.
        const QString name = parts[i];
        const QStringList designPatterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        const qsizetype open = name.lastIndexOf('(');
        if (name.endsWith(')') && open >= 0) {
            QStringList named =
                name.mid(open + 1, name.size() - open - 2)
                    .split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);
            QStringList trimmed;
            for (const QString& p : designPatterns) trimmed << p.trimmed();
            if (named == trimmed) {
                filters << name.left(open + 1) + patterns.join(' ') + ")";
                continue;
            }
        }
        filters << name + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

std::unique_ptr<QMessageBox> BuildMessageBox(const std::string& text, const std::string& caption,
                                             MsgButtons buttons, MsgIcon icon, QWidget* parent) {
    auto box =
        std::make_unique<QMessageBox>(ToQt(icon), Q(caption), Q(text), ToQt(buttons), parent);
    ApplyDialogColors(box.get());
    // A box sized to a short text would leave the window manager too little title bar for the
    // caption ("Ri... th"): a row that takes no room keeps the box as wide as the caption needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(MessageBoxMinimumWidth(caption, box->fontMetrics()), 0,
                                      QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

int MessageBoxMinimumWidth(const std::string& caption, const QFontMetrics& metrics) {
    // Title bars draw the caption in a bold face beside the window icon and the buttons of the
    // window manager; this leaves room for three of them and the icon.
    constexpr int kTitleBarFurniture = 4 * 32;
    return metrics.horizontalAdvance(Q(caption)) * 5 / 4 + kTitleBarFurniture;
}

}  // namespace platform
