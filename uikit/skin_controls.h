// The skinned controls of both programs. The buttons, the scrolling label and the list pieces
// have headers of their own; this header gathers them and adds the progress bar and the
// hyperlink label.
#pragma once

#include <QColor>
#include <QLabel>
#include <QProgressBar>
#include <optional>
#include <string>
#include <vector>

#include "uikit/skin_bitmaps.h"
#include "uikit/skin_buttons.h"
#include "uikit/skin_colors.h"
#include "uikit/skin_label.h"
#include "uikit/skin_list.h"

// Progress bar drawn in shades of one base colour on a pale ground: the filled part in the third
// lighter shade with edges in the other shades, so that it looks rounded. Its accessible name is
// "Progress" until its window names it.
class CSkinProgress : public QProgressBar {
    Q_OBJECT
public:
    explicit CSkinProgress(QWidget* parent = nullptr,
                           const QColor& base = skin::kStudioProgressBase);

    // The burner's base colour: the palette's highlight colour.
    static QColor BurnerBaseColor();

    void SetBaseColor(const QColor& base);
    const skin::ProgressShades& shades() const { return shades_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    skin::ProgressShades shades_;
};

// Text label that opens a URL when clicked, in the link colour until a successful open and in
// the visited colour after it. A failed open beeps and reports the reason.
class CHyperLink : public QLabel {
    Q_OBJECT
public:
    static const QColor kLinkColor;     // RGB(0, 0, 238)
    static const QColor kVisitedColor;  // RGB(85, 26, 139)

    // An empty `url` is taken from the text; an empty text shows the URL.
    explicit CHyperLink(const QString& text = QString(), const QString& url = QString(),
                        QWidget* parent = nullptr);

    void SetURL(const QString& url);
    QString GetURL() const { return url_; }
    void SetVisited(bool visited);
    bool GetVisited() const { return visited_; }
    void SetUnderline(bool underline);
    void SetAutoSize(bool autoSize);
    void SetColours(const QColor& link, const QColor& visited);
    // Colour the text is drawn in now.
    QColor CurrentColor() const { return visited_ ? visitedColor_ : linkColor_; }

    // Opens `url` with the desktop's handler; when that fails, starts the HTML handler's command
    // with the URL. Returns the start's result: above 32 is success, otherwise an error code.
    static int GotoURL(const std::string& url);
    // After the desktop's handler answered `shellResult`: that answer when it is a success,
    // otherwise the start of the HTML handler's command with the URL.
    static int OpenWithHtmlHandler(const std::string& url, int shellResult);
    // Beeps and shows "Unable to open hyperlink:" with the code's text.
    static void ReportError(int code);

    // What a click does: open the URL; once the handler has ended, mark it visited on success
    // or report the error.
    void Activate();
    // With auto-size on, resizes the label to its text where it stands: a left-aligned label
    // keeps its left edge, a right-aligned one its right edge, a centred one its centre, and the
    // vertical centre is kept. Owners call it after placing the label.
    void FitToText();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ApplyLook();

    QString url_;
    QColor linkColor_ = kLinkColor;
    QColor visitedColor_ = kVisitedColor;
    bool visited_ = false;
    bool underline_ = true;
    bool autoSize_ = true;
};

// Command template of the desktop's handler for HTML documents (the Exec line of its desktop
// entry), or nullopt when none is known.
std::optional<std::string> HtmlHandlerCommand();

// Program and arguments that open `url` with the handler command `commandTemplate`: the template
// cut at its placeholder, its program found on the search path when given by bare name, and the
// URL as the last argument. Empty when the template names no program.
std::vector<std::string> HtmlHandlerArgv(const std::string& commandTemplate,
                                         const std::string& url);
