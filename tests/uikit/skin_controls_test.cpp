#include "uikit/skin_controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFileInfo>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/qt_ui.h"
#include "uikit/skin_list.h"
#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"

namespace {

QColor Pixel(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y);
}

void Hover(QWidget& widget) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&widget, &enter);
}

bool HasColour(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

// An 80 x 40 button: boundary at the outer pixels, face from (2, 2) to (77, 37).
struct XPButtonFixture : ::testing::Test {
    QWidget window;
    CXPButton* button = new CXPButton(QStringLiteral("Open"), &window);
    XPButtonFixture() {
        button->setGeometry(10, 10, 80, 40);
        button->setFocusPolicy(Qt::NoFocus);
    }
};

}  // namespace

TEST_F(XPButtonFixture, PlainFaceRunsFromWhiteToBlueGrey) {
    EXPECT_EQ(Pixel(*button, 0, 0), QColor(0, 0, 0));
    EXPECT_EQ(Pixel(*button, 1, 1), QColor(222, 223, 236));
    EXPECT_EQ(Pixel(*button, 2, 2), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(*button, 40, 2), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(*button, 2, 37), QColor(234, 234, 243));
    EXPECT_EQ(Pixel(*button, 77, 37), QColor(234, 234, 243));
}

TEST_F(XPButtonFixture, HoveredPressedAndBothBottomRows) {
    Hover(*button);
    ASSERT_TRUE(button->isHovered());
    EXPECT_EQ(Pixel(*button, 2, 2), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(*button, 2, 37), QColor(240, 240, 243));
    button->setDown(true);
    EXPECT_EQ(Pixel(*button, 2, 37), QColor(240, 240, 234));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->isHovered());
    EXPECT_EQ(Pixel(*button, 2, 37), QColor(234, 234, 240));
}

TEST_F(XPButtonFixture, LowButtonStillEndsOnTheLastBand) {
    button->resize(60, 23);
    EXPECT_EQ(Pixel(*button, 2, 2), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(*button, 2, 20), QColor(234, 234, 243));
}

TEST_F(XPButtonFixture, HoverDrawsTheOrangeFrame) {
    Hover(*button);
    const QImage image = button->grab().toImage();
    EXPECT_EQ(image.pixelColor(2, 20), QColor(250, 196, 88));   // left, 3 px
    EXPECT_EQ(image.pixelColor(4, 20), QColor(250, 196, 88));
    EXPECT_NE(image.pixelColor(5, 20), QColor(250, 196, 88));
    EXPECT_EQ(image.pixelColor(77, 20), QColor(251, 202, 106));  // right
    EXPECT_EQ(image.pixelColor(40, 2), QColor(252, 210, 121));   // top, 2 px
    EXPECT_EQ(image.pixelColor(40, 3), QColor(252, 210, 121));
    EXPECT_EQ(image.pixelColor(40, 37), QColor(229, 151, 0));    // bottom
}

TEST_F(XPButtonFixture, FocusWithoutHoverDrawsTheBlueFrameAndPressedFace) {
    button->setFocusPolicy(Qt::StrongFocus);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    button->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->hasFocus(); }, 2000));
    const QImage image = button->grab().toImage();
    EXPECT_EQ(image.pixelColor(3, 20), QColor(153, 198, 252));
    EXPECT_EQ(image.pixelColor(76, 20), QColor(162, 189, 252));
    EXPECT_EQ(image.pixelColor(40, 2), QColor(162, 201, 255));
    EXPECT_EQ(image.pixelColor(40, 37), QColor(162, 201, 255));
    EXPECT_EQ(image.pixelColor(2, 37), QColor(234, 234, 240));  // focus counts as pressed
    Hover(*button);
    EXPECT_EQ(Pixel(*button, 3, 20), QColor(250, 196, 88));      // hover wins over focus
}

TEST_F(XPButtonFixture, CaptionIsDarkBlueAndGreyedWhenDisabled) {
    EXPECT_TRUE(HasColour(button->grab().toImage(), QColor(0, 0, 100)));
    button->setEnabled(false);
    EXPECT_FALSE(HasColour(button->grab().toImage(), QColor(0, 0, 100)));
}

TEST(BitmapHoverButton, ShowsNormalHoverAndFocusBitmaps) {
    skin::SetSkinSet("studio");
    const QImage normal = skin::LoadSkinBitmap(125).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage lit = skin::LoadSkinBitmap(146).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(normal.isNull());
    ASSERT_NE(normal, lit);

    CBitmapHoverButton button;
    button.SetBitmaps(125, 146, 0);
    EXPECT_EQ(button.sizeHint(), normal.size());
    EXPECT_EQ(button.hoverId(), 125);  // 0 falls back to the normal bitmap
    button.resize(normal.size());
    auto face = [&] { return button.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    EXPECT_EQ(face(), normal);
    Hover(button);
    EXPECT_EQ(face(), normal);
    button.setDown(true);
    EXPECT_EQ(face(), lit);

    CBitmapHoverButton hovering;
    hovering.SetBitmaps(125, 0, 146);
    hovering.resize(normal.size());
    Hover(hovering);
    EXPECT_EQ(hovering.grab().toImage().convertToFormat(QImage::Format_RGB32), lit);
}

TEST(GlyphButton, ComposeAndsTheGlyphOntoTheBackground) {
    QImage background(20, 10, QImage::Format_RGB32);
    background.fill(QColor(200, 220, 240));
    QImage glyph(4, 2, QImage::Format_RGB32);
    glyph.fill(Qt::white);
    glyph.setPixelColor(0, 0, Qt::black);
    glyph.setPixelColor(1, 0, QColor(0x0f, 0xf0, 0xff));
    const QImage face = CGlyphButton::Compose(background, glyph);
    // The glyph sits centred at (8, 4).
    EXPECT_EQ(face.pixelColor(8, 4), QColor(0, 0, 0));
    EXPECT_EQ(face.pixelColor(9, 4), QColor(200 & 0x0f, 220 & 0xf0, 240));
    EXPECT_EQ(face.pixelColor(10, 4), QColor(200, 220, 240));
    EXPECT_EQ(face.pixelColor(0, 0), QColor(200, 220, 240));
}

TEST(GlyphButton, SkinBitmapsStretchToTheButtonAndItChecks) {
    for (const char* set : {"studio", "burner"}) {
        skin::SetSkinSet(set);
        CGlyphButton button;
        button.resize(50, 30);
        const bool studio = std::string(set) == "studio";
        ASSERT_TRUE(button.SetBitmaps(studio ? 209 : 242, studio ? 212 : 243)) << set;
        EXPECT_EQ(button.face().size(), QSize(50, 30));
        EXPECT_LT(button.face().pixelColor(22, 15).lightness(),
                  button.face().pixelColor(6, 15).lightness() - 100)
            << "the play glyph darkens the middle";
        EXPECT_TRUE(button.isCheckable());
        EXPECT_FALSE(button.SetBitmaps(studio ? 209 : 242, 9999));
    }
    skin::SetSkinSet("studio");
}

TEST(ScrollingLabel, DefaultsAndStillModeAlignment) {
    CScrollingLabel label(QStringLiteral("00:00"));
    EXPECT_EQ(label.mode(), 3);
    EXPECT_EQ(label.step(), 4);
    EXPECT_EQ(label.interval(), 200);
    EXPECT_EQ(label.textColor(), QColor(0, 255, 0));
    EXPECT_EQ(label.bkColor(), QColor(0, 0, 0));
    label.resize(120, 40);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(24);
    label.SetMode(0);
    EXPECT_FALSE(label.isScrolling());
    label.SetFont(font);
    label.SetVAlignment(CScrollingLabel::kAlignVCentre);
    const int textHeight = QFontMetrics(font).height();
    EXPECT_EQ(label.textRect(), QRect(0, (40 - textHeight) / 2, 120, textHeight));
    label.SetVAlignment(CScrollingLabel::kAlignBottom);
    EXPECT_EQ(label.textRect().bottom(), 39);
    EXPECT_EQ(Pixel(label, 1, 1), QColor(0, 0, 0));
    label.SetBkColor(QColor(10, 20, 30));
    EXPECT_EQ(Pixel(label, 1, 1), QColor(10, 20, 30));
}

TEST(ScrollingLabel, LeftModeMovesFourPixelsPerTickAndComesBackFromTheRight) {
    CScrollingLabel label;
    label.resize(60, 20);
    label.SetText(QStringLiteral("3.A title that is much wider than the label(4:05)"));
    label.SetMode(1);
    ASSERT_TRUE(label.isScrolling());
    const int textWidth = label.textRect().width();
    ASSERT_GT(textWidth, 60);
    EXPECT_EQ(label.textRect().left(), 0);

    // The timer moves it 4 pixels at a time, every 200 ms.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label.textRect().left() <= -8; }, 3000));
    // Qt's coarse timers may fire up to 5 % early, and the clock counts whole milliseconds.
    EXPECT_GE(clock.elapsed(), 360) << "two ticks take two intervals";
    EXPECT_EQ(label.textRect().left() % 4, 0);

    label.SetMode(0);
    label.SetMode(1);
    label.SetInterval(100000);  // drive it by hand from here
    int last = label.textRect().left();
    for (int ticks = 0; ticks < 1000; ++ticks) {
        label.Tick();
        if (label.textRect().left() > last)
            break;
        ASSERT_EQ(label.textRect().left(), last - 4);
        last = label.textRect().left();
    }
    EXPECT_GT(last + textWidth, 0) << "still partly visible on the tick before";
    EXPECT_LE(last + textWidth, 4);
    EXPECT_EQ(label.textRect().left(), 60) << "back at the right edge once it has left";
    label.Tick();
    EXPECT_EQ(label.textRect().left(), 56);

    label.SetText(QStringLiteral("NONE"));
    EXPECT_EQ(label.textRect().left(), 0) << "a new text starts at the left edge";
}

TEST(ScrollingLabel, ClickIsReported) {
    CScrollingLabel label(QStringLiteral("NONE"));
    label.resize(80, 20);
    int clicks = 0;
    QObject::connect(&label, &CScrollingLabel::clicked, [&] { ++clicks; });
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks, 1);
}

TEST(SkinProgress, FillsInTheThirdLighterShadeOverThePaleTrack) {
    CSkinProgress bar;
    bar.resize(682, 10);
    bar.setRange(0, 100);
    bar.setValue(50);
    const QImage image = bar.grab().toImage();
    EXPECT_EQ(image.pixelColor(100, 5), QColor(202, 209, 248));
    EXPECT_EQ(image.pixelColor(400, 5), QColor(209, 223, 252));
    EXPECT_EQ(image.pixelColor(339, 5), QColor(202, 209, 248));
    EXPECT_EQ(image.pixelColor(342, 5), QColor(209, 223, 252));

    bar.setValue(0);
    EXPECT_EQ(Pixel(bar, 100, 5), QColor(209, 223, 252));
    bar.setRange(0, 0);  // an empty range must not divide by zero
    EXPECT_EQ(Pixel(bar, 100, 5), QColor(209, 223, 252));

    CSkinProgress burner(nullptr, CSkinProgress::BurnerBaseColor());
    EXPECT_EQ(burner.shades().base, QApplication::palette().color(QPalette::Highlight));
}

TEST(SkinProgress, VerticalBarsFillFromTheBottom) {
    CSkinProgress bar;
    bar.setOrientation(Qt::Vertical);
    bar.resize(12, 100);
    bar.setRange(0, 100);
    bar.setValue(25);
    const QImage image = bar.grab().toImage();
    EXPECT_EQ(image.pixelColor(6, 10), QColor(209, 223, 252));
    EXPECT_EQ(image.pixelColor(6, 90), QColor(202, 209, 248));
}

namespace {

struct SkinListFixture : ::testing::Test {
    QWidget window;
    QTreeWidget* list = new QTreeWidget(&window);
    SkinScrollBars bars;
    SkinListFixture() {
        window.resize(500, 400);
        list->setGeometry(20, 30, 300, 200);
        list->setColumnCount(4);
        list->setHeaderLabels({"MP3 Title", "ID", "Time", "Full Path"});
        list->header()->resizeSection(0, 300);
        list->header()->resizeSection(3, 300);
        for (int i = 0; i < 200; ++i)
            list->addTopLevelItem(new QTreeWidgetItem(
                {QStringLiteral("Song %1").arg(i), QString::number(i), "03:00", "/music"}));
        AttachSkinHeader(list);
        bars = AttachScrollBars(list, &window);
        window.show();
        QCoreApplication::processEvents();
    }
    QScrollBar* vertical() { return list->verticalScrollBar(); }
};


// A disabled slider looks disabled: its fill, key and frames turn grey.
TEST(SkinSlider, DisabledSliderIsDrawnInGreys) {
    CSkinSlider slider(Qt::Horizontal);
    slider.resize(288, 26);
    slider.setRange(0, 9);
    slider.setValue(5);
    slider.SetBkColor(QColor(213, 224, 247));
    const auto coloured = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c(image.pixel(x, y));
                if (c == QColor(213, 224, 247)) continue;  // the ground
                if (std::max({c.red(), c.green(), c.blue()}) -
                        std::min({c.red(), c.green(), c.blue()}) > 40)
                    ++count;
            }
        return count;
    };
    const QImage enabled = slider.grab().toImage();
    slider.setEnabled(false);
    const QImage disabled = slider.grab().toImage();
    testing_support::KeepScreenshot(disabled, "slider_disabled.png");
    EXPECT_GT(coloured(enabled), 200);
    EXPECT_EQ(coloured(disabled), 0);
}

}  // namespace

TEST_F(SkinListFixture, BarsSitAlongTheListAndFollowIt) {
    EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(bars.vertical->geometry(), QRect(320, 30, 12, 212));
    EXPECT_EQ(bars.horizontal->geometry(), QRect(20, 230, 300, 12));
    list->setGeometry(40, 50, 200, 100);
    EXPECT_EQ(bars.vertical->geometry(), QRect(240, 50, 12, 112));
    EXPECT_EQ(bars.horizontal->geometry(), QRect(40, 150, 200, 12));

    list->hide();
    EXPECT_FALSE(bars.vertical->isVisible());
    EXPECT_FALSE(bars.horizontal->isVisible());
    list->show();
    EXPECT_TRUE(bars.vertical->isVisible());

    QPointer<CSkinScrollBar> vertical = bars.vertical;
    delete list;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(vertical.isNull()) << "the bars go with their list";
}

TEST_F(SkinListFixture, ThumbFollowsTheListsPositionWhateverMovesIt) {
    ASSERT_GT(vertical()->maximum(), 0);
    EXPECT_EQ(bars.vertical->thumbOffset(), 0);
    vertical()->setValue(vertical()->maximum());
    EXPECT_EQ(bars.vertical->thumbOffset(), 212 - 75);
    list->scrollToTop();
    EXPECT_EQ(bars.vertical->thumbOffset(), 0);
    QWheelEvent wheel(QPointF(50, 50), list->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &wheel);
    EXPECT_GT(vertical()->value(), 0);
    EXPECT_EQ(bars.vertical->thumbOffset(),
              skin::ScrollThumbOffset(vertical()->value(), vertical()->maximum(), 212));
}

TEST_F(SkinListFixture, ArrowScrollsOneLineThenRepeatsUntilReleased) {
    QTest::mousePress(bars.vertical, Qt::LeftButton, {}, QPoint(6, 200));
    EXPECT_EQ(vertical()->value(), 1);
    QElapsedTimer held;
    held.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return vertical()->value() > 1; }, 3000));
    EXPECT_GE(held.elapsed(), 250) << "no repeat before the delay";
    EXPECT_TRUE(bars.vertical->isRepeating());
    QTest::mouseRelease(bars.vertical, Qt::LeftButton, {}, QPoint(6, 200));
    const int afterRelease = vertical()->value();
    EXPECT_GT(afterRelease, 1);
    EXPECT_FALSE(bars.vertical->isRepeating());
    QTest::qWait(120);
    EXPECT_EQ(vertical()->value(), afterRelease);

    QTest::mouseClick(bars.vertical, Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_EQ(vertical()->value(), afterRelease - 1);
}

TEST_F(SkinListFixture, TrackClickPagesAndThumbDragScrollsInProportion) {
    const int page = vertical()->pageStep();
    QTest::mouseClick(bars.vertical, Qt::LeftButton, {}, QPoint(6, 150));
    EXPECT_EQ(vertical()->value(), page);

    // Drag the thumb by half its travel: (212 - 75) / 2 pixels.
    vertical()->setValue(0);
    const int grab = 26 + 5;
    QTest::mousePress(bars.vertical, Qt::LeftButton, {}, QPoint(6, grab));
    QMouseEvent move(QEvent::MouseMove, QPointF(6, grab + 137 / 2.0), QPointF(), Qt::LeftButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(bars.vertical, &move);
    QTest::mouseRelease(bars.vertical, Qt::LeftButton, {}, QPoint(6, grab + 68));
    EXPECT_NEAR(vertical()->value(), vertical()->maximum() / 2, 2);
    EXPECT_EQ(vertical()->value(),
              skin::ScrollValueForOffset(68, vertical()->maximum(), 212));
}

TEST_F(SkinListFixture, HeaderIsTwentyPixelsOnTheDarkGround) {
    auto* header = qobject_cast<CSkinHeader*>(list->header());
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->height(), 20);
    EXPECT_EQ(header->sectionSize(0), 300) << "widths survive the exchange";
    header->resizeSection(0, 100);
    header->resizeSection(1, 50);
    header->resizeSection(2, 50);
    header->resizeSection(3, 60);
    header->setStretchLastSection(false);
    const QImage image = header->grab().toImage();
    EXPECT_EQ(image.pixelColor(280, 10), QColor(76, 84, 118));
    EXPECT_EQ(image.pixelColor(100, 10), skin::LoadSkinBitmap(301).toImage().pixelColor(0, 10));
    EXPECT_TRUE(HasColour(image, QColor(0, 0, 100)));
}

TEST(SkinSlider, GroundIsTheSystemWindowColourUntilSet) {
    CSkinSlider slider;
    slider.resize(120, 24);
    // The system window colour is the white ground of lists, not the grey dialog face.
    ASSERT_NE(slider.palette().color(QPalette::Base), slider.palette().color(QPalette::Window));
    EXPECT_EQ(slider.bkColor(), slider.palette().color(QPalette::Base));
    EXPECT_EQ(Pixel(slider, 0, 0), slider.palette().color(QPalette::Base));
    slider.SetBkColor(QColor(10, 20, 30));
    EXPECT_EQ(Pixel(slider, 0, 0), QColor(10, 20, 30));
}

TEST(HyperLink, FailedOpenReportsTheCodeAndStaysUnvisited) {
    platform::ScopedScriptedUi ui;
    ui->QueueShellResult(26);
    ui->QueueShellResult(26);  // the HTML handler, when the desktop names one
    CHyperLink link(QStringLiteral("Vexmor"), QStringLiteral("http://example.invalid/"));
    link.Activate();
    ASSERT_EQ(ui->messageTexts().size(), 1u);
    EXPECT_EQ(ui->messageTexts()[0], "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_FALSE(link.GetVisited());
    EXPECT_EQ(link.CurrentColor(), QColor(0, 0, 238));
    ASSERT_FALSE(ui->started().empty());
    EXPECT_EQ(ui->started()[0].program, "http://example.invalid/");
}

TEST(HyperLink, SuccessfulOpenMarksVisitedAndTextDefaultsToTheUrl) {
    platform::ScopedScriptedUi ui;
    ui->QueueShellResult(42);
    CHyperLink link(QString(), QStringLiteral("http://example.invalid/"));
    EXPECT_EQ(link.text(), QStringLiteral("http://example.invalid/"));
    EXPECT_EQ(link.toolTip(), QStringLiteral("http://example.invalid/"));
    EXPECT_TRUE(link.font().underline());
    link.Activate();
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_TRUE(link.GetVisited());
    EXPECT_EQ(link.CurrentColor(), QColor(85, 26, 139));
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(85, 26, 139));

    CHyperLink fromText(QStringLiteral("http://a.invalid/"));
    EXPECT_EQ(fromText.GetURL(), QStringLiteral("http://a.invalid/"));
}

TEST(HyperLink, HandlerCommandFindsABareProgramAndKeepsTheUrlWhole) {
    // Desktop entries name their program by its bare name; a URL may hold blanks and quotes.
    const std::string url = "http://a.invalid/a b\"c";
    std::vector<std::string> argv = HtmlHandlerArgv("sh -c %u", url);
    ASSERT_EQ(argv.size(), 3u);
    EXPECT_EQ(argv[0].front(), '/');
    EXPECT_EQ(QFileInfo(QString::fromStdString(argv[0])).fileName(), QStringLiteral("sh"));
    EXPECT_EQ(argv[1], "-c");
    EXPECT_EQ(argv[2], url);

    argv = HtmlHandlerArgv("\"/opt/my browser/run\" -new \"%1\"", "http://x.invalid/");
    EXPECT_EQ(argv, (std::vector<std::string>{"/opt/my browser/run", "-new", "http://x.invalid/"}));
    EXPECT_TRUE(HtmlHandlerArgv("", "http://x.invalid/").empty());
}

TEST(HyperLink, ClickThroughTheWindowOpensTheLink) {
    // Pressed and released as the window system delivers it, not sent to the label directly.
    platform::ScopedScriptedUi ui;
    QWidget window;
    window.resize(200, 60);
    CHyperLink link(QStringLiteral("Website"), QStringLiteral("http://a.invalid/"), &window);
    link.move(20, 20);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, link.geometry().center());
    ASSERT_EQ(ui->started().size(), 1u);
    EXPECT_EQ(ui->started()[0].program, "http://a.invalid/");
    EXPECT_TRUE(link.GetVisited());
}

// Scripted messages, but links opened by the real desktop service.
class RealShellUi : public platform::ScriptedUi {
  public:
    void ShellOpenThen(const std::string& target,
                       std::function<void(platform::ShellResult)> done) override {
        qt_->ShellOpenThen(target, std::move(done));
    }

  private:
    std::unique_ptr<platform::Ui> qt_ = platform::MakeQtUi();
};

// xdg-open ends with the status the test gives it, after a pause that a blocking wait would
// show; xdg-mime knows no browser either.
void FakeDesktop(const testing_support::TempDir& dir, int xdgOpenStatus) {
    const std::string script = "#!/bin/sh\nsleep 0.3\necho \"$1\" > " + dir.File("opened") +
                               "\nexit " + std::to_string(xdgOpenStatus) + "\n";
    testing_support::WriteFile(dir.File("xdg-open"),
                               std::vector<uint8_t>(script.begin(), script.end()));
    const std::string none = "#!/bin/sh\nexit 1\n";
    testing_support::WriteFile(dir.File("xdg-mime"),
                               std::vector<uint8_t>(none.begin(), none.end()));
    for (const char* name : {"xdg-open", "xdg-mime"})
        std::filesystem::permissions(dir.File(name), std::filesystem::perms::owner_all);
}

TEST(HyperLink, CountsAsOpenedOnlyWhenTheHandlerSucceeds) {
    testing_support::TempDir dir;
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir.path() + ":" + oldPath).c_str(), 1);
    auto* ui = new RealShellUi;
    std::unique_ptr<platform::Ui> previous = platform::SetUi(std::unique_ptr<platform::Ui>(ui));

    // No browser behind xdg-open: the window goes on while it runs, then the error shows.
    FakeDesktop(dir, 3);
    CHyperLink link(QStringLiteral("Vexmor"), QStringLiteral("http://example.invalid/"));
    link.Activate();
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ui->messageTexts().empty(); }, 10000));
    EXPECT_EQ(ui->messageTexts(),
              (std::vector<std::string>{"Unable to open hyperlink:\n\nThere is no application "
                                        "associated\nwith the given filename extension."}));
    EXPECT_FALSE(link.GetVisited());
    const auto opened = testing_support::ReadFile(dir.File("opened"));
    EXPECT_EQ(std::string(opened.begin(), opened.end()), "http://example.invalid/\n");

    // A handler that opens it: visited, without a word.
    FakeDesktop(dir, 0);
    link.Activate();
    EXPECT_FALSE(link.GetVisited());
    EXPECT_TRUE(QTest::qWaitFor([&] { return link.GetVisited(); }, 10000));
    EXPECT_EQ(ui->messageTexts().size(), 1u);

    platform::SetUi(std::move(previous));
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST(HyperLink, AutoSizeKeepsARightAlignedLinksRightEdge) {
    QWidget window;
    CHyperLink link(QStringLiteral("x"), QStringLiteral("http://a.invalid/"), &window);
    link.SetAutoSize(false);
    link.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    link.setGeometry(10, 10, 300, 40);
    link.setText(QStringLiteral("Visit the website"));
    link.SetAutoSize(true);
    EXPECT_EQ(link.geometry().right(), 309);
    EXPECT_EQ(link.width(), link.sizeHint().width());
    EXPECT_NEAR(link.geometry().center().y(), 29, 1);

    CHyperLink centred(QStringLiteral("Web"), QStringLiteral("http://a.invalid/"), &window);
    centred.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    centred.setGeometry(100, 100, 200, 20);
    centred.FitToText();
    EXPECT_EQ(centred.width(), centred.sizeHint().width());
    EXPECT_NEAR(centred.geometry().center().x(), 199, 1);
}

TEST(SkinBitmaps, ResourcesByIdInTheProgramsSet) {
    EXPECT_EQ(skin::SkinBitmapPath("studio", 114), QStringLiteral(":/studio/114.png"));
    EXPECT_EQ(skin::LoadSkinBitmap("studio", 114).size(), QSize(704, 454));
    EXPECT_EQ(skin::LoadSkinBitmap("burner", 132).size(), QSize(705, 517));
    EXPECT_EQ(skin::LoadSkinBitmap("studio", 300).size(), QSize(1, 12));
    EXPECT_EQ(skin::LoadSkinBitmap("studio", 128).size(), QSize(50, 30))  // "Save as MMF"
        << "button bitmaps have the size of their rectangles";
    EXPECT_TRUE(skin::LoadSkinBitmap("studio", 9999).isNull());
    skin::SetSkinSet("burner");
    EXPECT_EQ(skin::SkinSet(), "burner");
    EXPECT_FALSE(skin::LoadSkinBitmap(242).isNull());

    // Without a choice, the program's name decides.
    const std::string program = platform::ProgramName();
    skin::SetSkinSet("");
    platform::SetProgramName("Discsmith");
    EXPECT_EQ(skin::SkinSet(), "burner");
    platform::SetProgramName("Ringsmith");
    EXPECT_EQ(skin::SkinSet(), "studio");
    platform::SetProgramName(program);
    skin::SetSkinSet("studio");
}

// All skinned controls side by side, kept as a screenshot for a person to look at; each still
// shows its own colours when drawn together in one window.
TEST(SkinGallery, EveryControlKeepsItsLookInOneWindow) {
    QWidget window;
    window.resize(360, 150);
    QPalette ground = window.palette();
    ground.setColor(QPalette::Window, QColor(213, 224, 247));
    window.setPalette(ground);
    window.setAutoFillBackground(true);

    auto* plain = new CXPButton(QStringLiteral("Plain"), &window);
    plain->setGeometry(10, 10, 80, 26);
    auto* hovered = new CXPButton(QStringLiteral("Hovered"), &window);
    hovered->setGeometry(100, 10, 80, 26);
    Hover(*hovered);
    auto* disabled = new CXPButton(QStringLiteral("Disabled"), &window);
    disabled->setGeometry(190, 10, 80, 26);
    disabled->setEnabled(false);

    auto* studio = new CSkinProgress(&window);
    studio->setGeometry(10, 46, 340, 10);
    studio->setValue(60);
    auto* burner = new CSkinProgress(&window, CSkinProgress::BurnerBaseColor());
    burner->setGeometry(10, 62, 340, 10);
    burner->setValue(35);

    auto* label = new CScrollingLabel(QStringLiteral("1.Scrolling title(3:25)"), &window);
    label->setGeometry(10, 80, 160, 20);
    label->SetMode(0);
    auto* link = new CHyperLink(QStringLiteral("Visit the website"),
                                QStringLiteral("http://a.invalid/"), &window);
    link->move(190, 82);

    auto* slider = new CSkinSlider(Qt::Horizontal, &window);
    slider->setGeometry(10, 110, 160, 24);
    slider->SetBkColor(QColor(213, 224, 247));
    slider->setValue(40);

    const QImage shot = window.grab().toImage();
    testing_support::KeepScreenshot(shot, "skin_controls.png");
    EXPECT_TRUE(HasColour(shot, QColor(250, 196, 88)));   // the hovered button's frame
    EXPECT_TRUE(HasColour(shot, QColor(202, 209, 248)));  // the studio bar's fill
    EXPECT_TRUE(HasColour(shot, QColor(0, 255, 0)));      // the label's text
    EXPECT_TRUE(HasColour(shot, QColor(0, 0, 238)));      // the link's text
}
