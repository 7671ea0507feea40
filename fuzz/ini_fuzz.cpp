// The INI reader on any text: every section, every key of each, every value, read into buffers of
// exactly the size given (the sanitizer sees a write past them), once from memory and the first
// section also from a file as the configuration readers see it.
#include "platform/profile.h"

#include "fuzz/fuzz_support.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Names in a NUL-separated list of `length` bytes.
std::vector<std::string> SplitList(const std::vector<char>& buffer, DWORD length)
{
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (buffer[i] != '\0') continue;
        if (i > start) names.emplace_back(buffer.data() + start, i - start);
        start = i + 1;
    }
    return names;
}

// A list into a buffer of `size` bytes: the result leaves room for the closing NULs.
DWORD CheckedList(std::string_view text, const char* section, DWORD size, std::vector<char>& buffer)
{
    buffer.assign(size, '#');
    const DWORD length = platform::ProfileStringFromText(text, section, nullptr, "", buffer.data(), size);
    if (size == 0) {
        VELK_FUZZ_CHECK(length == 0);
        return 0;
    }
    VELK_FUZZ_CHECK(length < size);
    VELK_FUZZ_CHECK(buffer[length] == '\0');
    return length;
}

// A value into a buffer of `size` bytes: cut to size - 1 and terminated.
DWORD CheckedValue(std::string_view text, const char* section, const char* key, DWORD size, std::vector<char>& buffer)
{
    buffer.assign(size, '#');
    const DWORD length = platform::ProfileStringFromText(text, section, key, "default ", buffer.data(), size);
    if (size == 0) {
        VELK_FUZZ_CHECK(length == 0);
        return 0;
    }
    VELK_FUZZ_CHECK(length < size);
    VELK_FUZZ_CHECK(buffer[length] == '\0');
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A small buffer whose size the input picks (0, 1 and 2 included), and a roomy one.
    const DWORD small = size == 0 ? 0 : data[size - 1] % 19;
    constexpr DWORD kLarge = 4096;
    std::vector<char> list, value;

    CheckedList(text, nullptr, small, list);
    const DWORD sectionsLength = CheckedList(text, nullptr, kLarge, list);
    const std::vector<std::string> sections = SplitList(list, sectionsLength);
    const size_t textBound = size + size / 2;  // UTF-16 text grows by half at most as UTF-8
    VELK_FUZZ_CHECK(sectionsLength <= textBound + sections.size());

    size_t visited = 0;
    for (const std::string& section : sections) {
        if (++visited > 16) break;
        CheckedList(text, section.c_str(), small, list);
        const DWORD keysLength = CheckedList(text, section.c_str(), kLarge, list);
        const std::vector<std::string> keys = SplitList(list, keysLength);
        size_t read = 0;
        for (const std::string& key : keys) {
            if (++read > 32) break;
            const DWORD full = CheckedValue(text, section.c_str(), key.c_str(), kLarge, value);
            VELK_FUZZ_CHECK(full <= textBound);
            // A cut value is the start of the whole one.
            std::vector<char> cut;
            const DWORD cutLength = CheckedValue(text, section.c_str(), key.c_str(), small, cut);
            VELK_FUZZ_CHECK(cutLength <= full);
            if (cutLength > 0) VELK_FUZZ_CHECK(std::memcmp(cut.data(), value.data(), cutLength) == 0);
        }
    }
    // A missing key (no key holds '=') gives the default without its trailing blank.
    CheckedValue(text, sections.empty() ? "none" : sections.front().c_str(), "no=key", kLarge, value);
    VELK_FUZZ_CHECK(std::strcmp(value.data(), "default") == 0);

    // The file path: the same text read back by the file functions.
    if (!sections.empty()) {
        const std::string path = velk_fuzz::WriteScratchFile("input.ini", data, size);
        char fileValue[kLarge];
        for (size_t i = 0; i < sections.size() && i < 4; ++i) {
            const DWORD fromFile = GetPrivateProfileStringA(sections[i].c_str(), nullptr, "", fileValue, kLarge,
                                                            path.c_str());
            const DWORD fromText = CheckedList(text, sections[i].c_str(), kLarge, list);
            VELK_FUZZ_CHECK(fromFile == fromText);
            if (fromFile > 0) VELK_FUZZ_CHECK(std::memcmp(fileValue, list.data(), fromFile) == 0);
            const std::vector<std::string> keys = SplitList(list, fromText);
            if (!keys.empty()) GetPrivateProfileIntA(sections[i].c_str(), keys.front().c_str(), -1, path.c_str());
        }
    }
    return 0;
}
