#include "burner/print_cover.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "burner/burner_dlg.h"
#include "burner/burner_layout.h"
#include "burner/burner_list.h"
#include "burner/cover_layout.h"
#include "platform/scripted_gui_ui.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"

namespace {

using burner::CPrintCoverDlg;
using testing_support::TempDir;

constexpr int kDpi = 100;  // rasterising resolution of the printed pages
const QColor kSky(200, 230, 255);

struct Project {
    std::vector<std::string> titles, times, tracks;
};

Project Songs(int count) {
    Project p;
    for (int i = 1; i <= count; ++i) {
        p.titles.push_back("Song number " + std::to_string(i));
        p.times.push_back("3:" + std::to_string(10 + i));
        p.tracks.push_back(std::to_string(i));
    }
    return p;
}

bool Dark(QRgb c) { return qGray(c) < 110; }

// Whether any pixel of `area` (clipped to the image) satisfies `test`.
template <typename Test>
bool Any(const QImage& image, QRect area, Test test) {
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y))) return true;
    return false;
}

// Bounding box of the pixels satisfying `test`.
template <typename Test>
QRect Box(const QImage& image, QRect area, Test test) {
    QRect box;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

// Page units (0.1 mm, from the page's top left, y downwards) as raster pixels.
int Px(double units) { return static_cast<int>(std::lround(units / 254.0 * kDpi)); }
QRect PageArea(double left, double top, double right, double bottom) {
    return QRect(QPoint(Px(left), Px(top)), QPoint(Px(right), Px(bottom)));
}

// The rows area of the page between the track and the time column, row `row`.
QRect PageRow(int row) { return PageArea(500, 500 + 50 * row + 5, 1400, 500 + 50 * row + 40); }

QImage Rasterise(const std::string& pdf, const std::string& prefix) {
    const auto run =
        testing_support::RunTool({"pdftoppm", "-r", std::to_string(kDpi), "-aa", "no", "-aaVector",
                                  "no", "-png", "-singlefile", pdf, prefix});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    return QImage(QString::fromStdString(prefix + ".png")).convertToFormat(QImage::Format_RGB32);
}

// Prints the dialog's cover through "Print to PDF…" and reads the page back with pdftoppm.
QImage PrintToPdf(CPrintCoverDlg& dlg, const TempDir& dir, const std::string& name) {
    auto& ui = static_cast<platform::ScriptedUi&>(platform::GetUi());
    ui.QueueSaveFile(dir.File(name + ".pdf"));
    dlg.Command(CPrintCoverDlg::kPrintPdfId);
    const auto dialogs = ui.fileDialogs();
    EXPECT_TRUE(!dialogs.empty() && dialogs.back().overwritePrompt);
    QImage page = Rasterise(dir.File(name + ".pdf"), dir.File(name));
    testing_support::KeepScreenshot(page, "cover_page_" + name + ".png");
    return page;
}

void ExpectSquareAndCropMarks(const QImage& page, bool coloured) {
    if (coloured) {
        const QRect square = Box(page, page.rect(), [](QRgb c) { return QColor(c) == kSky; });
        EXPECT_NEAR(square.left(), Px(450), 2);
        EXPECT_NEAR(square.top(), Px(300), 2);
        EXPECT_NEAR(square.width(), Px(1200), 2);
        EXPECT_NEAR(square.height(), Px(1200), 2);
    }
    const auto grey = [](QRgb c) { return QColor(c) == QColor(100, 100, 100); };
    // Each mark shows beyond the square at both of its ends.
    EXPECT_TRUE(Any(page, PageArea(355, 295, 440, 305), grey));      // top, left end
    EXPECT_TRUE(Any(page, PageArea(1660, 295, 1745, 305), grey));    // top, right end
    EXPECT_TRUE(Any(page, PageArea(1645, 205, 1655, 290), grey));    // right, above
    EXPECT_TRUE(Any(page, PageArea(1645, 1510, 1655, 1595), grey));  // right, below
    EXPECT_TRUE(Any(page, PageArea(355, 1495, 440, 1505), grey));    // bottom, left end
    EXPECT_TRUE(Any(page, PageArea(445, 1510, 455, 1595), grey));    // left, below
    EXPECT_TRUE(Any(page, PageArea(445, 205, 455, 290), grey));      // left, above
    // Nothing else is printed outside the marks.
    EXPECT_FALSE(Any(page, PageArea(1800, 0, 2100, 2900), Dark));
    EXPECT_FALSE(Any(page, PageArea(0, 1650, 2100, 2900), Dark));
}

bool AlbumTitlePrinted(const QImage& page) {
    return Any(page, PageArea(500, 400, 1400, 490), Dark);
}

QImage Preview(CPrintCoverDlg& dlg) {
    return dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The title column of preview row `row`, between the track and the time column.
QRect PreviewRow(int row) { return QRect(50, 50 + 14 * row + 2, 250, 6); }

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A picture file: left half red, right half blue.
std::string MakePicture(const TempDir& dir, const std::string& name, const char* format) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 32; ++x) image.setPixelColor(x, y, Qt::red);
    const std::string path = dir.File(name);
    image.save(QString::fromStdString(path), format);
    return path;
}

// Return in the album title presses no button: it opens no picture chooser (nor anything else)
// and keeps the dialog open.
TEST(CoverDialog, ReturnInTheAlbumTitleOpensNothing) {
    platform::ScopedScriptedUi ui;
    platform::SetDialogColors(QColor(209, 224, 252), QColor(1, 34, 99));
    const Project songs = Songs(3);
    CPrintCoverDlg dlg(songs.titles, songs.times, songs.tracks);
    bool stillOpen = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto* edit = dlg.Control<QLineEdit>(CPrintCoverDlg::kAlbumTitleId);
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        QTest::keyClicks(edit, "Road");
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Enter);
        stillOpen = dlg.isVisible();
        dlg.EndDialog(platform::IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(ui->fileDialogs().empty());
    EXPECT_TRUE(ui->unexpected().empty());
    EXPECT_EQ(dlg.Cover().albumTitle, " DISCSMITH SONG LIST Road");
}

}  // namespace

TEST(CoverPrint, PdfOfTwentyFiveSongsClearedAndEmpty) {
    if (!testing_support::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm is not installed";
    platform::ScopedScriptedGuiUi ui;
    TempDir dir;
    const Project songs = Songs(25);
    CPrintCoverDlg dlg(songs.titles, songs.times, songs.tracks);
    dlg.EnsureInitialized();
    ui->QueuePickColor(kSky);
    dlg.Command(CPrintCoverDlg::kBackColorId);

    const QImage page = PrintToPdf(dlg, dir, "songs");
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.width(), Px(2100));  // A4 paper
    ExpectSquareAndCropMarks(page, true);
    EXPECT_TRUE(AlbumTitlePrinted(page));
    for (int row = 0; row < 20; ++row)
        EXPECT_EQ(Any(page, PageRow(row), Dark), row < 18) << "row " << row;
    // Track numbers in their own column left of the titles.
    EXPECT_TRUE(Any(page, PageArea(500, 505, 590, 540), Dark));

    dlg.Command(CPrintCoverDlg::kClearId);
    const QImage cleared = PrintToPdf(dlg, dir, "cleared");
    ExpectSquareAndCropMarks(cleared, false);
    EXPECT_FALSE(Any(cleared, cleared.rect(), [](QRgb c) { return QColor(c) == kSky; }));
    EXPECT_TRUE(AlbumTitlePrinted(cleared));
    EXPECT_FALSE(Any(cleared, PageArea(460, 500, 1640, 1490), Dark));

    CPrintCoverDlg empty({}, {}, {});
    empty.EnsureInitialized();
    ui->QueuePickColor(kSky);
    empty.Command(CPrintCoverDlg::kBackColorId);
    const QImage emptyPage = PrintToPdf(empty, dir, "empty");
    ExpectSquareAndCropMarks(emptyPage, true);
    EXPECT_TRUE(AlbumTitlePrinted(emptyPage));
    EXPECT_FALSE(Any(emptyPage, PageArea(460, 500, 1640, 1490), Dark));

    // A picture fills the square, stretched from its full size.
    ui->QueueOpenFiles({MakePicture(dir, "picture.png", "PNG")});
    empty.Command(CPrintCoverDlg::kBackgroundId);
    const QImage picturePage = PrintToPdf(empty, dir, "picture");
    const auto red = [](QRgb c) { return qRed(c) > 200 && qBlue(c) < 60; };
    const auto blue = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60; };
    const QRect redBox = Box(picturePage, picturePage.rect(), red);
    EXPECT_NEAR(redBox.left(), Px(450), 2);
    EXPECT_NEAR(redBox.top(), Px(300), 2);
    EXPECT_NEAR(redBox.bottom(), Px(1500), 2);
    EXPECT_NEAR(redBox.right(), Px(1050), 12);  // the halves blend where they meet
    EXPECT_TRUE(Any(picturePage, PageArea(1100, 1400, 1640, 1490), blue));
    EXPECT_TRUE(AlbumTitlePrinted(picturePage));
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(CoverPrint, TextSizeDoesNotDependOnThePrinterResolution) {
    // 37/4 tenths of a point per screen pixel: the default fonts print at 13.8 and 11.1 points.
    EXPECT_EQ(burner::PrinterFontTenthsOfPoint(15), 138);
    EXPECT_EQ(burner::PrinterFontTenthsOfPoint(12), 111);
    if (!testing_support::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm is not installed";
    TempDir dir;
    burner::CoverSettings cover;
    cover.albumTitle = "HIJ";
    const Project songs = Songs(1);
    cover.titles = songs.titles;
    // A printer coarser than the screen (72 dots per inch) and a fine one (1200) print the same
    // sizes, and rows 5 mm apart never overlap.
    QRect titleBoxes[2];
    int index = 0;
    for (int resolution : {72, 1200}) {
        const std::string pdf = dir.File(std::to_string(resolution) + ".pdf");
        {
            QPdfWriter writer(QString::fromStdString(pdf));
            writer.setResolution(resolution);
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            ASSERT_TRUE(burner::PrintCover(writer, cover));
        }
        const QImage page = Rasterise(pdf, dir.File(std::to_string(resolution)));
        titleBoxes[index++] = Box(page, PageArea(460, 310, 1640, 490), Dark);
        const QRect row = Box(page, PageArea(460, 495, 1640, 600), Dark);
        EXPECT_GT(row.height(), Px(20));
        EXPECT_LT(row.height(), Px(50));
    }
    EXPECT_GT(titleBoxes[0].height(), Px(30));  // "HIJ": capitals of 13.8 points, about 3.5 mm
    EXPECT_NEAR(titleBoxes[0].height(), titleBoxes[1].height(), 1);
    EXPECT_NEAR(titleBoxes[0].width(), titleBoxes[1].width(), 2);
}

TEST(CoverPreview, RowsClearColoursAndTextBackground) {
    platform::ScopedScriptedGuiUi ui;
    platform::SetDialogColors(QColor(209, 224, 252), QColor(1, 34, 99));  // the burner's colours
    const Project songs = Songs(25);
    CPrintCoverDlg dlg(songs.titles, songs.times, songs.tracks);
    dlg.EnsureInitialized();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Print CD cover:"));
    EXPECT_EQ(dlg.ItemText(CPrintCoverDlg::kAlbumTitleId), " DISCSMITH SONG LIST ");

    QImage shot = Preview(dlg);
    testing_support::KeepScreenshot(shot, "cover_preview.png");
    EXPECT_EQ(QColor(shot.pixel(10, 10)), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(380, 310)), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(379, 309)), QColor(Qt::white));
    EXPECT_TRUE(Any(shot, QRect(20, 20, 200, 14), Dark));  // album title
    for (int row = 0; row < 19; ++row)
        EXPECT_EQ(Any(shot, PreviewRow(row), Dark), row < 18) << "row " << row;

    // Opaque text on a coloured background keeps white behind the letters.
    ui->QueuePickColor(kSky);
    dlg.Command(CPrintCoverDlg::kBackColorId);
    dlg.Control<QCheckBox>(CPrintCoverDlg::kTransparentId)->click();
    shot = Preview(dlg);
    testing_support::KeepScreenshot(shot, "cover_preview_opaque.png");
    EXPECT_TRUE(Any(shot, PreviewRow(0), [](QRgb c) { return QColor(c) == QColor(Qt::white); }));
    EXPECT_EQ(QColor(shot.pixel(370, 300)), kSky);

    // Clear: frame, white inside and the album title only, until a colour brings the list back.
    dlg.Command(CPrintCoverDlg::kClearId);
    shot = Preview(dlg);
    EXPECT_FALSE(Any(shot, QRect(12, 45, 366, 262), Dark));
    EXPECT_TRUE(Any(shot, QRect(20, 20, 200, 14), Dark));
    ui->QueuePickColor(kSky);
    dlg.Command(CPrintCoverDlg::kBackColorId);
    EXPECT_TRUE(Any(Preview(dlg), PreviewRow(0), Dark));

    // Title font and colour; an emptied album title is not drawn.
    ui->QueuePickFontAndColor(platform::FontChoice{dlg.Cover().titleFont, QColor(220, 0, 0)});
    dlg.Command(CPrintCoverDlg::kTitleFontId);
    const auto red = [](QRgb c) { return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90; };
    EXPECT_TRUE(Any(Preview(dlg), QRect(20, 20, 200, 14), red));
    dlg.SetItemText(CPrintCoverDlg::kAlbumTitleId, "");
    EXPECT_FALSE(Any(Preview(dlg), QRect(20, 20, 200, 14), red));
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(CoverPreview, PictureBackgroundAndFilesThatCannotBeUsed) {
    platform::ScopedScriptedUi ui;
    TempDir dir;
    const Project songs = Songs(3);
    CPrintCoverDlg dlg(songs.titles, songs.times, songs.tracks);
    dlg.EnsureInitialized();
    dlg.Command(CPrintCoverDlg::kClearId);

    const auto choose = [&](const std::string& path) {
        ui->QueueOpenFiles({path});
        dlg.Command(CPrintCoverDlg::kBackgroundId);
    };
    for (const char* format : {"BMP", "PNG", "JPEG"}) {
        choose(MakePicture(dir, std::string("picture.") + format, format));
        const QImage shot = Preview(dlg);
        EXPECT_TRUE(Any(shot, PreviewRow(0), Dark)) << format;  // the list is back
        const QColor left(shot.pixel(15, 300)), right(shot.pixel(375, 300));
        EXPECT_TRUE(left.red() > 200 && left.blue() < 60) << format;
        EXPECT_TRUE(right.blue() > 200 && right.red() < 60) << format;
    }
    EXPECT_EQ(dlg.Cover().picture.Info().width, 64);
    EXPECT_EQ(dlg.Cover().picture.Info().planes, 1);
    testing_support::KeepScreenshot(Preview(dlg), "cover_preview_picture.png");

    // Missing, not a picture, cut off, a header claiming 60000 x 60000 pixels, a named pipe:
    // each leaves the picture as it was, with no message.
    const QImage before = Preview(dlg);
    for (const char* format : {"BMP", "PNG", "JPEG"}) {
        const std::string whole = MakePicture(dir, std::string("whole.") + format, format);
        std::vector<uint8_t> bytes = testing_support::ReadFile(whole);
        bytes.resize(bytes.size() * 2 / 3);
        testing_support::WriteFile(dir.File(std::string("cut.") + format), bytes);
    }
    std::vector<uint8_t> png = testing_support::ReadFile(dir.File("whole.PNG"));
    for (int field : {16, 20})  // width and height in the header chunk, then its CRC
        for (int i = 0; i < 4; ++i) png[field + i] = static_cast<uint8_t>(60000 >> (24 - 8 * i));
    const uint32_t crc = Crc32(png.data() + 12, 17);
    for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    testing_support::WriteFile(dir.File("huge.png"), png);
    testing_support::WriteFile(dir.File("text.bmp"), {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
    for (const char* name :
         {"missing.bmp", "text.bmp", "cut.BMP", "cut.PNG", "cut.JPEG", "huge.png", "pipe.bmp"}) {
        choose(dir.File(name));
        EXPECT_EQ(Preview(dlg), before) << name;
    }
    EXPECT_TRUE(ui->messages().empty());
    EXPECT_TRUE(ui->unexpected().empty());
}

// pdfinfo's "Title:" of a PDF file.
std::string PdfTitle(const std::string& pdf) {
    const auto info = testing_support::RunTool({"pdfinfo", pdf});
    const size_t at = info.out.find("Title:");
    if (info.exitCode != 0 || at == std::string::npos) return "";
    const size_t from = info.out.find_first_not_of(' ', at + 6);
    return info.out.substr(from, info.out.find('\n', from) - from);
}

// The PDF goes by the album title typed in (file name and title), the default title when none.
TEST(CoverPrint, ThePdfIsNamedAfterTheAlbumTitle) {
    if (!testing_support::HaveTool("pdfinfo")) GTEST_SKIP() << "pdfinfo is not installed";
    platform::ScopedScriptedUi ui;
    TempDir dir;
    CPrintCoverDlg dlg({"One"}, {"1:00"}, {"1"});
    dlg.EnsureInitialized();
    struct Case {
        const char* typed;
        const char* fileName;
        const char* title;
    };
    for (const Case& c :
         {Case{nullptr, "DISCSMITH SONG LIST.pdf", "DISCSMITH SONG LIST"},
          Case{"  Summer / Road Trip ", "Summer - Road Trip.pdf", "Summer / Road Trip"},
          Case{"Caf\u00e9 Songs", "Caf\u00e9 Songs.pdf", "Caf\u00e9 Songs"},
          Case{"   ", "DISCSMITH SONG LIST.pdf", "DISCSMITH SONG LIST"}}) {
        if (c.typed) dlg.SetItemText(CPrintCoverDlg::kAlbumTitleId, c.typed);
        const std::string pdf =
            dir.File(std::string("cover") + std::to_string(ui->fileDialogs().size()) + ".pdf");
        ui->QueueSaveFile(pdf);
        dlg.Command(CPrintCoverDlg::kPrintPdfId);
        ASSERT_FALSE(ui->fileDialogs().empty());
        EXPECT_EQ(ui->fileDialogs().back().initialName, c.fileName);
        EXPECT_EQ(PdfTitle(pdf), c.title);
    }
    EXPECT_TRUE(ui->messages().empty());
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(CoverPrint, NoPrinterAndPdfFileErrors) {
    platform::ScopedScriptedUi ui;
    TempDir dir;
    CPrintCoverDlg dlg({"One"}, {"1:00"}, {"1"});
    dlg.EnsureInitialized();
    if (QPrinterInfo::defaultPrinter().isNull()) {
        dlg.Command(CPrintCoverDlg::kPrintId);
        EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"There are no printers!"});
    }
    ui->Clear();

    // A cancelled save writes nothing; a folder that cannot be written is reported.
    ui->QueueSaveFile(std::nullopt);
    dlg.Command(CPrintCoverDlg::kPrintPdfId);
    EXPECT_TRUE(ui->messages().empty());
    const std::string path = dir.File("missing-folder/cover.pdf");
    ui->QueueSaveFile(path);
    dlg.Command(CPrintCoverDlg::kPrintPdfId);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Cannot write the file " + path});
    EXPECT_TRUE(ui->unexpected().empty());
}

TEST(CoverFromBurner, PrintButtonOpensTheCoverWithCopiesOfTheProjectRows) {
    if (!testing_support::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
    platform::ScopedScriptedUi ui;
    TempDir dir;
    burner::CBurnerDlg window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const char* name : {"first.mp3", "second.mp3"})
        ASSERT_TRUE(track_fixtures::MakeMp3Lasting(dir.File(name), 2));
    ui->QueueOpenFiles({dir.File("first.mp3"), dir.File("second.mp3")});
    window.Command(burner::kCmdAdd);
    ASSERT_EQ(window.list()->RowCount(), 2);
    window.list()->SetCellText(1, CTrackListCtrl::kTitleColumn, "Renamed");

    Project seen;
    QTimer::singleShot(0, [&] {
        if (auto* cover = qobject_cast<CPrintCoverDlg*>(QApplication::activeModalWidget())) {
            seen = {cover->Cover().titles, cover->Cover().times, cover->Cover().tracks};
            testing_support::KeepScreenshot(cover->grab().toImage(), "cover_from_burner.png");
            cover->Command(platform::IDCANCEL);  // "Exit"
        }
    });
    window.Command(burner::kCmdPrint);
    EXPECT_EQ(seen.titles, (std::vector<std::string>{"first", "Renamed"}));
    EXPECT_EQ(seen.times, (std::vector<std::string>{"00:02", "00:02"}));
    EXPECT_EQ(seen.tracks, (std::vector<std::string>{"01", "02"}));
    EXPECT_TRUE(ui->unexpected().empty());
}
