#include "uikit/skin_controls.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include "platform/ui.h"

CSkinProgress::CSkinProgress(QWidget* parent, const QColor& base) : QProgressBar(parent) {
    setTextVisible(false);
    // The bar shows no text; screen readers announce it by this name and its value.
    setAccessibleName(QStringLiteral("Progress"));
    SetBaseColor(base);
}

QColor CSkinProgress::BurnerBaseColor() {
    return QApplication::palette().color(QPalette::Highlight);
}

void CSkinProgress::SetBaseColor(const QColor& base) {
    const QPalette& system = QApplication::palette();
    shades_ = skin::MakeProgressShades(base, system.color(QPalette::Shadow),
                                       system.color(QPalette::Dark));
    update();
}

void CSkinProgress::paintEvent(QPaintEvent*) {
    // Drawn into an off-screen image first and copied in one go, so the bar never flickers
    // while a job moves it quickly.
    QImage buffer(size(), QImage::Format_RGB32);
    buffer.fill(skin::kProgressTrack);
    QPainter painter(&buffer);

    const bool horizontal = orientation() == Qt::Horizontal;
    const int extent = horizontal ? width() : height();
    const int thickness = horizontal ? height() : width();
    const int fill = skin::ProgressFillLength(value(), minimum(), maximum(), extent);
    if (fill > 0 && thickness > 0) {
        // Lines across the bar from one side to the other: outer edges darker, the middle in the
        // third lighter shade.
        const QColor nearEdge[] = {shades_.base, shades_.lighter[0], shades_.lighter[1]};
        const QColor farEdge[] = {shades_.darker[0], shades_.base, shades_.lighter[0],
                                  shades_.lighter[1]};
        auto line = [&](int across, const QColor& color) {
            if (horizontal)
                painter.fillRect(QRect(0, across, fill, 1), color);
            else
                painter.fillRect(QRect(across, extent - fill, 1, fill), color);
        };
        for (int across = 0; across < thickness; ++across)
            line(across, shades_.lighter[2]);
        const int edge = std::min(3, thickness / 3);
        for (int i = 0; i < edge; ++i)
            line(i, nearEdge[i]);
        const int farCount = std::min(4, thickness - edge - 1);
        for (int i = 0; i < farCount && i < int(std::size(farEdge)); ++i)
            line(thickness - 1 - i, farEdge[i]);
        // The leading end in the shadows' mean, the starting end in the darker shade.
        if (horizontal) {
            painter.fillRect(QRect(fill - 1, 0, 1, thickness), shades_.shadowMean);
            painter.fillRect(QRect(0, 0, 1, thickness), shades_.darker[0]);
        } else {
            painter.fillRect(QRect(0, extent - fill, thickness, 1), shades_.shadowMean);
            painter.fillRect(QRect(0, extent - 1, thickness, 1), shades_.darker[0]);
        }
    }
    painter.end();
    QPainter(this).drawImage(0, 0, buffer);
}

const QColor CHyperLink::kLinkColor{0, 0, 238};
const QColor CHyperLink::kVisitedColor{85, 26, 139};

CHyperLink::CHyperLink(const QString& text, const QString& url, QWidget* parent)
    : QLabel(text, parent), url_(url) {
    if (url_.isEmpty())
        url_ = text;
    if (QLabel::text().isEmpty())
        setText(url_);
    setToolTip(url_);
    setCursor(Qt::ArrowCursor);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ApplyLook();
    if (autoSize_)
        resize(sizeHint());
}

void CHyperLink::SetURL(const QString& url) {
    url_ = url;
    setToolTip(url_);
    if (text().isEmpty())
        setText(url_);
    FitToText();
}

void CHyperLink::SetVisited(bool visited) {
    visited_ = visited;
    ApplyLook();
}

void CHyperLink::SetUnderline(bool underline) {
    underline_ = underline;
    ApplyLook();
    FitToText();
}

void CHyperLink::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    FitToText();
}

void CHyperLink::SetColours(const QColor& link, const QColor& visited) {
    linkColor_ = link;
    visitedColor_ = visited;
    ApplyLook();
}

void CHyperLink::ApplyLook() {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, CurrentColor());
    setPalette(palette);
    setAutoFillBackground(false);
    QFont font = this->font();
    font.setUnderline(underline_);
    setFont(font);
    update();
}

void CHyperLink::FitToText() {
    if (!autoSize_)
        return;
    const QRect old = geometry();
    const QSize wanted = sizeHint();
    int left = old.left();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignRight)
        left = old.right() + 1 - wanted.width();
    else if (align & Qt::AlignHCenter)
        left = old.center().x() - wanted.width() / 2;
    const int top = old.center().y() - wanted.height() / 2;
    setGeometry(left, old.height() > 0 ? top : old.top(), wanted.width(), wanted.height());
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Activate();
    QLabel::mouseReleaseEvent(event);
}

void CHyperLink::Activate() {
    // The link counts as opened only once the desktop's handler says it opened it; the window
    // goes on meanwhile.
    const QPointer<CHyperLink> self(this);
    const std::string url = url_.toStdString();
    platform::GetUi().ShellOpenThen(url, [self, url](int result) {
        if (result <= 32) result = OpenWithHtmlHandler(url, result);
        if (result <= 32)
            ReportError(result);
        else if (self)
            self->SetVisited(true);
    });
}

int CHyperLink::GotoURL(const std::string& url) {
    return OpenWithHtmlHandler(url, platform::GetUi().ShellOpen(url));
}

int CHyperLink::OpenWithHtmlHandler(const std::string& url, int shellResult) {
    if (shellResult > 32) return shellResult;
    const std::optional<std::string> handler = HtmlHandlerCommand();
    if (!handler) return shellResult;
    const std::vector<std::string> argv = HtmlHandlerArgv(*handler, url);
    if (argv.empty()) return shellResult;
    return platform::GetUi().StartProgram(argv.front(),
                                          std::vector<std::string>(argv.begin() + 1, argv.end()));
}

std::vector<std::string> HtmlHandlerArgv(const std::string& commandTemplate,
                                         const std::string& url) {
    // The template's own words are split as a command line; the URL is added as one argument
    // of its own, so blanks or quotes in it are never taken apart.
    const std::string command = skin::BrowserCommandLine(commandTemplate, std::string());
    const QStringList words = QProcess::splitCommand(QString::fromStdString(command));
    if (words.isEmpty())
        return {};
    std::vector<std::string> argv;
    // Desktop entries name their program by its bare name, found on the search path.
    QString program = words.front();
    if (!program.contains('/')) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty())
            program = found;
    }
    argv.push_back(program.toStdString());
    for (qsizetype i = 1; i < words.size(); ++i)
        argv.push_back(words[i].toStdString());
    argv.push_back(url);
    return argv;
}

void CHyperLink::ReportError(int code) {
    QApplication::beep();
    platform::ShowMessage(skin::HyperlinkErrorMessage(code));
}

std::optional<std::string> HtmlHandlerCommand() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("text/html")});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0)
        return std::nullopt;
    const QString entryName = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    if (entryName.isEmpty())
        return std::nullopt;
    const QString entryPath =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entryName);
    QFile entry(entryPath);
    if (entryPath.isEmpty() || !entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QTextStream in(&entry);
    bool inMainGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith('['))
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QStringLiteral("Exec=")))
            return line.mid(5).toStdString();
    }
    return std::nullopt;
}
