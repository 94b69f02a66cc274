#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "tests/support/test_support.h"

namespace {

using platform::DynamicLibrary;

// Compiles `source` (C) into a shared library in `dir`; empty when no compiler is at hand.
std::string BuildLibrary(const testing_support::TempDir& dir, const std::string& name,
                         const std::string& source) {
    if (!testing_support::HaveTool("cc")) return {};
    const std::string c = dir.File(name + ".c");
    std::ofstream(c) << source;
    const std::string so = dir.File(name + ".so");
    const auto result = testing_support::RunTool({"cc", "-shared", "-fPIC", "-o", so, c});
    return result.exitCode == 0 ? so : std::string();
}

TEST(DynamicLibrary, SystemLibrarySymbolFoundOrMissing) {
    DynamicLibrary library;
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.Address("cos"), nullptr);
    ASSERT_TRUE(library.Load("libm.so.6")) << library.error();
    auto cosine = library.Symbol<double (*)(double)>("cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_TRUE(library.error().empty());
    EXPECT_EQ(library.Symbol<void (*)()>("NoSuchExport"), nullptr);
    EXPECT_NE(library.error().find("NoSuchExport"), std::string::npos);
}

TEST(DynamicLibrary, MissingOrBrokenFilesFailWithAReason) {
    testing_support::TempDir dir;
    DynamicLibrary library;
    EXPECT_FALSE(library.Load(dir.File("VxMpp.so")));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_FALSE(library.error().empty());
    testing_support::WriteFile(dir.File("junk.so"), {'n', 'o', 't', ' ', 'e', 'l', 'f'});
    EXPECT_FALSE(library.Load(dir.File("junk.so")));
    EXPECT_FALSE(library.error().empty());
    EXPECT_FALSE(library.Load(""));
}

TEST(DynamicLibrary, OwnLibraryExportsAndUnresolvedReferences) {
    testing_support::TempDir dir;
    const std::string good =
        BuildLibrary(dir, "good dir lib", "int Twice(int v) { return 2 * v; }\n");
    if (good.empty()) GTEST_SKIP() << "no C compiler to build a test library";
    DynamicLibrary library(good);
    ASSERT_TRUE(library.IsLoaded()) << library.error();
    auto twice = library.Symbol<int (*)(int)>("Twice");
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(21), 42);

    // Ownership moves; the moved-from object no longer holds the library.
    DynamicLibrary other = std::move(library);
    EXPECT_TRUE(other.IsLoaded());
    EXPECT_NE(other.Symbol<int (*)(int)>("Twice"), nullptr);
    other.Free();
    EXPECT_FALSE(other.IsLoaded());

    // A library whose references cannot be resolved fails at load, not at its first call.
    const std::string broken = BuildLibrary(
        dir, "broken", "extern int Missing(void);\nint Use(void) { return Missing(); }\n");
    ASSERT_FALSE(broken.empty());
    DynamicLibrary bad;
    EXPECT_FALSE(bad.Load(broken));
    EXPECT_NE(bad.error().find("Missing"), std::string::npos);
}

TEST(SystemModule, AMissingModuleIsTriedAgainAndAFoundOneIsKept) {
    testing_support::TempDir dir;
    const testing_support::ScopedEnv systemDir("VEXMOR_SYSTEM_DIR", dir.path());
    using Twice = int (*)(int);
    std::string why;
    EXPECT_EQ(platform::SystemModuleSymbol<Twice>("late.so", "Twice", &why), nullptr);
    EXPECT_NE(why.find("late.so"), std::string::npos) << why;

    // Installed afterwards: the next call finds it.
    if (BuildLibrary(dir, "late", "int Twice(int v) { return 2 * v; }\n").empty())
        GTEST_SKIP() << "no C compiler to build a test library";
    const Twice twice = platform::SystemModuleSymbol<Twice>("late.so", "Twice", &why);
    ASSERT_NE(twice, nullptr) << why;
    EXPECT_EQ(twice(21), 42);
    EXPECT_EQ(platform::SystemModuleSymbol<Twice>("late.so", "Thrice", &why), nullptr);
    EXPECT_NE(why.find("Thrice"), std::string::npos) << why;

    // Once loaded it stays: neither another file under its name nor none at all changes what the
    // process has.
    std::filesystem::remove(dir.File("late.so"));
    ASSERT_FALSE(BuildLibrary(dir, "late", "int Twice(int v) { return 3 * v; }\n").empty());
    EXPECT_EQ(platform::SystemModuleSymbol<Twice>("late.so", "Twice"), twice);
    std::filesystem::remove(dir.File("late.so"));
    EXPECT_EQ(platform::SystemModuleSymbol<Twice>("late.so", "Twice"), twice);
    EXPECT_EQ(twice(21), 42);
}

}  // namespace
