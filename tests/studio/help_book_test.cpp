// The studio's help book as the "Help" command finds it beside the built programs.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>
#include <set>
#include <string>

#include "platform/help_books.h"
#include "platform/paths.h"
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
}

}  // namespace
