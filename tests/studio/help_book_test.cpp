// The studio's help book as the "Help" command finds it beside the built programs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QString>
#include <set>
#include <string>

#include "burner/burner_layout.h"
#include "burner/project_files.h"
#include "platform/folders.h"
#include "platform/help_books.h"
#include "platform/paths.h"
#include "studio/jobs.h"
#include "studio/tools/cd_rip.h"
#include "studio/tools/mp3_settings_dlg.h"
#include "tests/support/test_support.h"

namespace {

std::string ReadText(const std::string& path) {
    const auto bytes = testing_support::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(HelpBook, NamesMapToInstalledBooks) {
    const std::string entry = platform::HelpBookEntry("ringsmith.chm");
    EXPECT_EQ(platform::AfterLastSeparator(entry), "index.html");
    EXPECT_NE(entry.find("/share/vexmor/help/ringsmith/"), std::string::npos) << entry;
    EXPECT_TRUE(platform::FileExists(entry)) << entry;
    EXPECT_NE(platform::HelpBookEntry("help.chm"), entry);
    EXPECT_EQ(platform::HelpBookEntry("other.chm"), "");
}

// Walks a help book from its default topic: every page has a title and every link resolves.
// Returns the pages reached.
std::set<std::string> WalkBook(const std::string& helpFile) {
    const std::string folder = platform::CutAtLastSeparator(platform::HelpBookEntry(helpFile));
    const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#:]+)\""));
    std::set<std::string> seen{"index.html"};
    std::vector<std::string> todo{"index.html"};
    while (!todo.empty()) {
        const std::string page = todo.back();
        todo.pop_back();
        const std::string text = ReadText(platform::JoinPath(folder, page));
        EXPECT_FALSE(text.empty()) << page;
        EXPECT_NE(text.find("<title>"), std::string::npos) << page;
        auto it = link.globalMatch(QString::fromStdString(text));
        while (it.hasNext()) {
            const std::string target = it.next().captured(1).toStdString();
            EXPECT_TRUE(platform::FileExists(platform::JoinPath(folder, target)))
                << page << " links to missing " << target;
            if (target.ends_with(".html") && seen.insert(target).second) todo.push_back(target);
        }
    }
    return seen;
}

TEST(HelpBook, BurnerBookIsInstalledAndWhole) {
    const std::string entry = platform::HelpBookEntry("help.chm");
    EXPECT_NE(entry.find("/share/vexmor/help/discsmith/"), std::string::npos) << entry;
    const std::set<std::string> seen = WalkBook("help.chm");
    for (const char* page : {"project.html", "buttons.html", "files.html"})
        EXPECT_TRUE(seen.count(page)) << page << " is not linked from the contents";
}

TEST(HelpBook, EveryPageIsReachableAndEveryLinkResolves) {
    const std::string folder =
        platform::CutAtLastSeparator(platform::HelpBookEntry("ringsmith.chm"));
    const std::set<std::string> seen = WalkBook("ringsmith.chm");
    // The book explains the workflow, the buttons and the settings.
    for (const char* page : {"workflow.html", "buttons.html", "settings.html"}) {
        EXPECT_TRUE(seen.count(page)) << page << " is not linked from the contents";
    }
    // Every command of the window is described.
    const std::string buttons = ReadText(platform::JoinPath(folder, "buttons.html"));
    for (const char* caption :
         {"NEW", "Open mp3", "Save as MMF", "Save as mp3", "Save as wav", "MP3 info", "Mp3 to wav",
          "Wav to mp3", "Help", "MP3 to CD", "Big MP3s To Small", "CD To MP3", "Extract From CD",
          "Play", "Stop"}) {
        EXPECT_NE(buttons.find(std::string("<b>") + caption + "</b>"), std::string::npos)
            << caption;
    }
    // The About box is reached by a right-click; the window manager keeps Alt+Space for itself.
    EXPECT_NE(buttons.find("right-click"), std::string::npos);
    EXPECT_EQ(buttons.find("<kbd>Space</kbd>"), std::string::npos);
}

// The page's text between `from` and the next "</tr>": one row of a table.
std::string Row(const std::string& page, const std::string& from) {
    const size_t at = page.find(from);
    if (at == std::string::npos) return "";
    return page.substr(at, page.find("</tr>", at) - at);
}

// The studio's book uses the words of the windows it describes: the MP3 settings' choice for no
// resampling, the scratch folder the program uses, the ripper's output names.
TEST(HelpBook, StudioPagesUseTheWindowsWords) {
    const std::string folder =
        platform::CutAtLastSeparator(platform::HelpBookEntry("ringsmith.chm"));
    const std::string settings = ReadText(platform::JoinPath(folder, "settings.html"));
    const std::string rate = Row(settings, "<td>Sample rate</td>");
    ASSERT_FALSE(rate.empty());
    EXPECT_NE(rate.find('"' + studio::SampleRateChoices()[0] + '"'), std::string::npos) << rate;
    EXPECT_EQ(rate.find("keep"), std::string::npos) << rate;
    const std::string bitrate = Row(settings, "<td>Bit rate</td>");
    EXPECT_NE(bitrate.find('"' + studio::BitrateChoices().back() + '"'), std::string::npos);

    // The decoded song lies in the running studio's own folder under the cache folder.
    const std::string scratch = platform::ScratchFolder();
    EXPECT_EQ(platform::CutAtLastSeparator(scratch), platform::ScratchRoot());
    EXPECT_EQ(platform::AfterLastSeparator(scratch), std::to_string(::getpid()));
    EXPECT_EQ(studio::TempWavPath(), platform::JoinPath(scratch, "vxtmp.wav"));
    EXPECT_NE(settings.find("<code>~/.cache/" + platform::AfterLastSeparator(platform::ScratchRoot()) +
                            "/&lt;process number&gt;/" +
                            platform::AfterLastSeparator(studio::TempWavPath()) + "</code>"),
              std::string::npos);

    const std::string buttons = ReadText(platform::JoinPath(folder, "buttons.html"));
    const std::string rip = Row(buttons, "<b>CD To MP3</b>");
    EXPECT_NE(rip.find(platform::AfterLastSeparator(studio::TrackMp3Path("/x/", 0))),
              std::string::npos)
        << rip;
    EXPECT_NE(rip.find("asks once whether to replace them"), std::string::npos) << rip;
}

// The burner's book: the extension a typed name gets, the chosen type's name, and the main
// window's record button under the name the buttons page and its tip give it.
TEST(HelpBook, BurnerPagesUseTheWindowsWords) {
    const std::string folder = platform::CutAtLastSeparator(platform::HelpBookEntry("help.chm"));
    const std::string files = ReadText(platform::JoinPath(folder, "files.html"));
    const std::string m3u = Row(files, "<td>.m3u</td>");
    EXPECT_NE(m3u.find(std::string("saved as .") + burner::kProjectDefaultExt), std::string::npos)
        << m3u;
    const std::string filter = burner::kProjectFilter;
    const std::string vxlType = filter.substr(filter.find("Vexmor"),
                                              filter.find('|', filter.find("Vexmor")) -
                                                  filter.find("Vexmor"));
    EXPECT_NE(m3u.find('"' + vxlType + '"'), std::string::npos) << m3u;

    const std::string buttons = ReadText(platform::JoinPath(folder, "buttons.html"));
    const std::string recording = ReadText(platform::JoinPath(folder, "recording.html"));
    std::string recordTip;
    for (const burner::ButtonTip& tip : burner::ButtonTips())
        if (std::string(tip.name) == "burn") recordTip = tip.text;
    EXPECT_EQ(recordTip, "Record the CD");
    EXPECT_NE(buttons.find("<td>Record</td>"), std::string::npos);
    EXPECT_NE(recording.find("Press <b>Record</b> in the main window"), std::string::npos);
    EXPECT_EQ(recording.find("<b>burn</b>"), std::string::npos);
}

}  // namespace
