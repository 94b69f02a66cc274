// Profile files on any text: a load and save keeps every line, a value set reads back as it was
// set while every other line stays, and no temporary file is left beside the profile.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "platform/profile.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
    platform::ProfileFile probe(path);
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// A name of letters, digits, blanks inside and underscores, never empty.
std::string Name(FuzzedDataProvider& input) {
    std::string name;
    for (char c : input.ConsumeRandomLengthString(12))
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c == ' ' && !name.empty()))
            name += c;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name.empty() ? "K" : name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = Name(input);
    const std::string key = Name(input);
    std::string value = input.ConsumeRandomLengthString(300);
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, '.');
    const std::string text = input.ConsumeRemainingBytesAsString();

    fuzz::Clear();
    const std::string path = fuzz::WriteFile("test.ini", text.data(), text.size());
    const std::vector<std::string> original = Lines(path);

    platform::ProfileFile file(path);
    file.Load();
    FUZZ_CHECK(file.Save());
    FUZZ_CHECK(Lines(path) == original);

    // Reads are cut and trimmed the same way whatever the file holds.
    const std::string before = file.Get(section, key, "-");
    FUZZ_CHECK(before.size() <= platform::kProfileValueMax);

    file.Set(section, key, value);
    FUZZ_CHECK(file.Save());
    FUZZ_CHECK(fuzz::Listing() == std::set<std::string>{"test.ini"});
    platform::ProfileFile again(path);
    again.Load();
    // What is read back of a plain value (no blanks or quotes at its ends) is the value itself.
    const bool plain = !value.empty() && value.size() <= platform::kProfileValueMax &&
                       !std::isspace(static_cast<unsigned char>(value.front())) &&
                       !std::isspace(static_cast<unsigned char>(value.back())) &&
                       value.front() != '"' && value.front() != '\'';
    if (plain) FUZZ_CHECK(again.Get(section, key, "-") == value);
    FUZZ_CHECK(again.Has(section, key));

    // The change is one place in the file: at most one line replaced, or a key line added
    // (and its section line, when the section was new); every other line stays, in order.
    const std::vector<std::string> now = Lines(path);
    size_t prefix = 0, suffix = 0;
    while (prefix < original.size() && prefix < now.size() && original[prefix] == now[prefix])
        ++prefix;
    while (suffix + prefix < original.size() && suffix + prefix < now.size() &&
           original[original.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    FUZZ_CHECK(original.size() - prefix - suffix <= 1);
    FUZZ_CHECK(now.size() - prefix - suffix <= 2);
    return 0;
}
