// Any bytes as the machine's registry file, read through the registry functions as the SimObjects
// search reads it. The keys and value names tried are those the text itself names (and the ones the
// program asks for). Checks: a key that does not open leaves a null handle; every key above an open key
// opens too; the narrow and wide opens agree; a size query gives the size a read then fills exactly,
// with the type it said; a buffer one byte short is refused with the size needed and is left as it was;
// dword values are 4 bytes; reading twice gives the same.
#include "platform/registry.h"

#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kMaxKeys = 8;
constexpr size_t kMaxNames = 16;
constexpr size_t kGuard = 8;
constexpr uint8_t kFill = 0xA5;

struct KeyName {
    HKEY root;
    std::string subKey;
};

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool SameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

HKEY RootOf(std::string_view text)
{
    if (SameLetters(text, "HKEY_CURRENT_USER") || SameLetters(text, "HKCU")) return HKEY_CURRENT_USER;
    if (SameLetters(text, "HKEY_CLASSES_ROOT") || SameLetters(text, "HKCR")) return HKEY_CLASSES_ROOT;
    if (SameLetters(text, "HKEY_USERS") || SameLetters(text, "HKU")) return HKEY_USERS;
    return HKEY_LOCAL_MACHINE;
}

// The keys and value names the text's lines name, and the ones the program asks for.
void NamesOfText(std::string_view text, std::vector<KeyName>& keys, std::vector<std::string>& names)
{
    keys.push_back({HKEY_CURRENT_USER, "Software\\Lockheed Martin\\Prepar3D v4"});
    keys.push_back({HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\DovetailGames\\FSX"});
    names = {"AppPath", "Co-Existence", ""};
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            if (keys.size() >= kMaxKeys) continue;
            const std::string_view inner = line.substr(1, line.find(']') == std::string_view::npos
                                                              ? std::string_view::npos
                                                              : line.find(']') - 1);
            const size_t slash = inner.find('\\');
            keys.push_back({RootOf(Trim(inner.substr(0, slash))),
                            slash == std::string_view::npos ? std::string() : std::string(inner.substr(slash + 1))});
        } else if (const size_t equals = line.find('='); equals != std::string_view::npos && names.size() < kMaxNames) {
            const std::string_view name = Trim(line.substr(0, equals));
            names.emplace_back(name == "@" ? std::string_view() : name);
        }
    }
}

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c != '\0' && static_cast<unsigned char>(c) < 0x80; });
}

bool Untouched(const std::vector<uint8_t>& buffer, size_t from)
{
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(),
                       [](uint8_t b) { return b == kFill; });
}

struct Read {
    LSTATUS status;
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

Read CheckValue(HKEY key, const char* name)
{
    Read out;
    DWORD size = 0xDEAD;
    out.status = RegQueryValueExA(key, name, nullptr, &out.type, nullptr, &size);
    if (out.status != ERROR_SUCCESS) {
        VELK_FUZZ_CHECK(out.status == ERROR_FILE_NOT_FOUND);
        return out;
    }
    VELK_FUZZ_CHECK(out.type == REG_SZ || out.type == REG_DWORD);
    if (out.type == REG_DWORD) VELK_FUZZ_CHECK(size == 4);
    const DWORD needed = size;
    VELK_FUZZ_CHECK(RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS);

    // Exactly the size it said, and not a byte past it.
    std::vector<uint8_t> buffer(needed + kGuard, kFill);
    DWORD type = REG_NONE;
    size = needed;
    VELK_FUZZ_CHECK(RegQueryValueExA(key, name, nullptr, &type, buffer.data(), &size) == ERROR_SUCCESS);
    VELK_FUZZ_CHECK(size == needed && type == out.type);
    VELK_FUZZ_CHECK(Untouched(buffer, needed));
    out.data.assign(buffer.begin(), buffer.begin() + needed);

    // One byte short: refused, the size needed given back, nothing written.
    if (needed > 0) {
        std::vector<uint8_t> shortBuffer(needed + kGuard, kFill);
        size = needed - 1;
        VELK_FUZZ_CHECK(RegQueryValueExA(key, name, nullptr, nullptr, shortBuffer.data(), &size) == ERROR_MORE_DATA);
        VELK_FUZZ_CHECK(size == needed);
        VELK_FUZZ_CHECK(Untouched(shortBuffer, 0));
    }
    VELK_FUZZ_CHECK(RegQueryValueExA(key, name, nullptr, nullptr, buffer.data(), nullptr) == ERROR_INVALID_PARAMETER);
    return out;
}

// The key's parent path, "" for a key right below its root.
std::string Parent(const std::string& subKey)
{
    std::string path = subKey;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void CheckKey(const KeyName& name, const std::vector<std::string>& names)
{
    HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(1));
    const LSTATUS opened = RegOpenKeyExA(name.root, name.subKey.c_str(), 0, KEY_READ, &key);
    if (IsAscii(name.subKey)) {
        HKEY wide = nullptr;
        const std::wstring subKey(name.subKey.begin(), name.subKey.end());
        VELK_FUZZ_CHECK(RegOpenKeyExW(name.root, subKey.c_str(), 0, KEY_READ, &wide) == opened);
        if (wide != nullptr) VELK_FUZZ_CHECK(RegCloseKey(wide) == ERROR_SUCCESS);
    }
    if (opened != ERROR_SUCCESS) {
        VELK_FUZZ_CHECK(opened == ERROR_FILE_NOT_FOUND);
        VELK_FUZZ_CHECK(key == nullptr);
        return;
    }
    VELK_FUZZ_CHECK(key != nullptr);

    // Every key above an open key exists.
    HKEY parent = nullptr;
    VELK_FUZZ_CHECK(RegOpenKeyExA(name.root, Parent(name.subKey).c_str(), 0, KEY_READ, &parent) == ERROR_SUCCESS);
    VELK_FUZZ_CHECK(RegCloseKey(parent) == ERROR_SUCCESS);

    for (const std::string& value : names) {
        const Read first = CheckValue(key, value.c_str());
        const Read again = CheckValue(key, value.c_str());
        VELK_FUZZ_CHECK(first.status == again.status && first.type == again.type && first.data == again.data);
        if (value.empty()) {
            // A null name asks for the default value as an empty one does.
            const Read byNull = CheckValue(key, nullptr);
            VELK_FUZZ_CHECK(byNull.status == first.status && byNull.data == first.data);
        }
    }
    VELK_FUZZ_CHECK(RegCloseKey(key) == ERROR_SUCCESS);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::create_directories(velk_fuzz::ScratchFolder() / "machine" / "c");
    setenv("VELK_MACHINE_ROOT", (velk_fuzz::ScratchFolder() / "machine").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(velk_fuzz::ScratchFolder() / "machine" / "registry.txt", std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::vector<KeyName> keys;
    std::vector<std::string> names;
    NamesOfText(text, keys, names);
    for (const KeyName& key : keys) CheckKey(key, names);
    return 0;
}
