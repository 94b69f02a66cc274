// The burner's .vxl project files on any text: the text's title and path pairs survive being
// written and read again (after the one normalisation of line ends inside them), and the burn
// project's list loads the pairs it can, writes them back, and loading what it wrote gives the
// same rows; an empty list is written as an empty file.
#include <unistd.h>

#include <QApplication>
#include <string_view>

#include "burner/burner_list.h"
#include "burner/project_files.h"
#include "fuzz/fuzz_lists.h"
#include "fuzz/fuzz_support.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"

namespace {

bool SamePairs(const std::vector<burner::TitledPath>& a, const std::vector<burner::TitledPath>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].title != b[i].title || a[i].path != b[i].path) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::StartListWorld(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<burner::TitledPath> pairs = burner::ParseTitleList(text);
    const std::vector<burner::TitledPath> written =
        burner::ParseTitleList(burner::BuildTitleListText(pairs));
    FUZZ_CHECK(written.size() == pairs.size());
    FUZZ_CHECK(SamePairs(burner::ParseTitleList(burner::BuildTitleListText(written)), written));
    FUZZ_CHECK(!pairs.empty() || burner::BuildTitleListText(pairs).empty());

    ::unlink("saved.vxl");
    const std::string path = fuzz::WriteFile("input.vxl", data, size);
    burner::CBurnerListCtrl list;
    FUZZ_CHECK(list.LoadTitleList(path));
    FUZZ_CHECK(static_cast<size_t>(list.RowCount()) <= pairs.size());
    FUZZ_CHECK(list.SaveTitleList("saved.vxl"));
    const std::vector<uint8_t> saved = fuzz::ReadFile("saved.vxl");
    FUZZ_CHECK(list.RowCount() > 0 || saved.empty());

    burner::CBurnerListCtrl again;
    FUZZ_CHECK(again.LoadTitleList("saved.vxl"));
    // A title may hold a carriage return that a file cannot keep (it is written as a blank), so
    // the rows agree from the first save on: saving what was read back writes the same bytes.
    FUZZ_CHECK(again.RowCount() == list.RowCount());
    std::vector<std::vector<std::string>> before = fuzz::Rows(list), after = fuzz::Rows(again);
    for (auto* rows : {&before, &after})
        for (auto& row : *rows) row[0].clear();  // titles compared through the saved bytes below
    FUZZ_CHECK(before == after);
    ::unlink("saved2.vxl");
    FUZZ_CHECK(again.SaveTitleList("saved2.vxl"));
    FUZZ_CHECK(fuzz::ReadFile("saved2.vxl") == saved);
    FUZZ_CHECK(again.total() == list.total());
    static_cast<platform::ScriptedUi&>(platform::GetUi()).Clear();
    return 0;
}
