/*
The registry file.

"registry.txt" in the machine root holds the keys and values the programs read; it is read again at
every open and every query, and never written. It is a text file of lines (CR LF or LF; a UTF-8 byte
order mark is skipped):

  ; a comment (a line whose first character after blanks is ';' or '#'); blank lines are ignored
  [HKEY_LOCAL_MACHINE\SOFTWARE\Lockheed Martin\Prepar3D v4]
  AppPath=sz:C:\Prepar3D v4\
  Co-Existence=dword:1
  Raw=sz-noterm:text
  @=sz:the key's default (unnamed) value

- A line in square brackets starts a key: its root, then the sub-keys, separated by "\". Roots are
  HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER (HKCU), HKEY_CLASSES_ROOT (HKCR) and HKEY_USERS (HKU).
  Empty parts (doubled or trailing "\") are ignored. Every key above a listed key exists too.
- Each following line "name=type:data" is a value of that key. The name is trimmed of blanks and
  tabs; "@" is the default value (asked for by a null or empty name). Types:
    sz:text         REG_SZ, the text exactly as written up to the end of the line, stored with its
                    terminating NUL (size = length + 1)
    sz-noterm:text  REG_SZ stored without the terminating NUL (size = length), as some installers
                    leave it
    dword:number    REG_DWORD, decimal (a minus sign allowed) or hexadecimal with "0x", 32 bits
- Key names, value names, roots and types compare without regard to case. A key may be listed more
  than once; its values are searched in file order and the first of a name wins.
- A line that fits none of these (unknown root or type, a bad number, a value before any key, no
  "=") is skipped; the rest of the file still counts.

There is no WOW64 redirection: a key under "WOW6432Node" is simply a key of that name.
*/

#include "platform/registry.h"

#include "platform/machine.h"
#include "platform/wintext.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using platform::text::AsciiLower;
using platform::text::IEquals;

struct RegKey : platform::KernelObject {
    std::string path;  // lower case, "hklm\software\..." with "\" between the parts
};

struct Value {
    std::string_view name;
    DWORD type = REG_NONE;
    std::string data;
};

struct KeyBlock {
    std::string path;  // as in RegKey
    std::vector<Value> values;
};

std::string Lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result) c = AsciiLower(c);
    return result;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

const char* RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE) return "hklm";
    if (root == HKEY_CURRENT_USER) return "hkcu";
    if (root == HKEY_CLASSES_ROOT) return "hkcr";
    if (root == HKEY_USERS) return "hku";
    return nullptr;
}

std::optional<std::string> RootFromText(std::string_view text)
{
    static constexpr std::pair<const char*, const char*> kRoots[] = {
        {"hkey_local_machine", "hklm"}, {"hklm", "hklm"}, {"hkey_current_user", "hkcu"}, {"hkcu", "hkcu"},
        {"hkey_classes_root", "hkcr"},  {"hkcr", "hkcr"}, {"hkey_users", "hku"},         {"hku", "hku"},
    };
    for (const auto& [name, shortName] : kRoots) {
        if (IEquals(text, name)) return std::string(shortName);
    }
    return std::nullopt;
}

// Appends the parts of a sub-key path, lower-cased, to a key path.
void AppendParts(std::string& path, std::string_view subKey)
{
    size_t start = 0;
    while (start <= subKey.size()) {
        size_t end = subKey.find('\\', start);
        if (end == std::string_view::npos) end = subKey.size();
        if (end > start) {
            if (!path.empty()) path += '\\';
            path += Lower(subKey.substr(start, end - start));
        }
        start = end + 1;
    }
}

std::optional<uint32_t> ParseDword(std::string_view text)
{
    text = Trim(text);
    bool negative = false;
    unsigned base = 10;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    uint64_t number = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f') digit = static_cast<unsigned>(AsciiLower(c) - 'a' + 10);
        else return std::nullopt;
        number = number * base + digit;
        if (number > 0xFFFFFFFFull) return std::nullopt;
    }
    if (negative) {
        if (number > 0x80000000ull) return std::nullopt;
        return static_cast<uint32_t>(0x100000000ull - number);
    }
    return static_cast<uint32_t>(number);
}

std::optional<Value> ParseValue(std::string_view line)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    Value value;
    value.name = Trim(line.substr(0, equals));
    if (value.name == "@") value.name = {};
    const std::string_view rest = line.substr(equals + 1);
    const size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view type = Trim(rest.substr(0, colon));
    const std::string_view data = rest.substr(colon + 1);
    if (IEquals(type, "sz")) {
        value.type = REG_SZ;
        value.data.assign(data);
        value.data.push_back('\0');
    } else if (IEquals(type, "sz-noterm")) {
        value.type = REG_SZ;
        value.data.assign(data);
    } else if (IEquals(type, "dword")) {
        const std::optional<uint32_t> number = ParseDword(data);
        if (!number) return std::nullopt;
        value.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<char>((*number >> shift) & 0xFF));
    } else {
        return std::nullopt;
    }
    return value;
}

// The key blocks of the registry file; the value names point into text. No file: no blocks.
std::vector<KeyBlock> ReadRegistry(std::string& text)
{
    std::vector<KeyBlock> blocks;
    std::ifstream in(platform::MachineRoot() / "registry.txt", std::ios::binary);
    if (!in) return blocks;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);

    bool inKey = false;  // false before the first key and after a key that could not be read
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('\n', start);
        if (end == std::string_view::npos) end = rest.size();
        std::string_view line = rest.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;

        if (line.front() == '[') {
            inKey = false;
            const std::string_view trimmed = Trim(line);
            if (trimmed.back() != ']') continue;
            const std::string_view name = trimmed.substr(1, trimmed.size() - 2);
            const size_t slash = name.find('\\');
            const std::optional<std::string> root = RootFromText(Trim(name.substr(0, slash)));
            if (!root) continue;
            KeyBlock block;
            block.path = *root;
            if (slash != std::string_view::npos) AppendParts(block.path, name.substr(slash + 1));
            blocks.push_back(std::move(block));
            inKey = true;
            continue;
        }
        if (!inKey) continue;
        if (std::optional<Value> value = ParseValue(line)) blocks.back().values.push_back(std::move(*value));
    }
    return blocks;
}

bool KeyExists(const std::vector<KeyBlock>& blocks, const std::string& path)
{
    if (path.find('\\') == std::string::npos) return true;  // a root
    for (const KeyBlock& block : blocks) {
        if (block.path == path) return true;
        if (block.path.size() > path.size() && block.path.compare(0, path.size(), path) == 0 &&
            block.path[path.size()] == '\\') {
            return true;
        }
    }
    return false;
}

// The key path behind a handle: a root or an open key. Empty for a bad handle.
std::string KeyPath(HKEY key)
{
    if (const char* root = RootName(key)) return root;
    if (const RegKey* open = platform::HandleAs<RegKey>(reinterpret_cast<HANDLE>(key))) return open->path;
    return {};
}

std::string WideToUtf8(const wchar_t* text)
{
    std::string result;
    for (; *text != L'\0'; ++text) {
        auto c = static_cast<uint32_t>(*text);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            result += static_cast<char>(c);
        } else if (c < 0x800) {
            result += static_cast<char>(0xC0 | (c >> 6));
            result += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            result += static_cast<char>(0xE0 | (c >> 12));
            result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (c >> 18));
            result += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return result;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY root, const char* subKey, DWORD /*options*/, REGSAM /*access*/, PHKEY result)
{
    if (result == nullptr) return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    std::string path = KeyPath(root);
    if (path.empty()) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    if (subKey != nullptr) AppendParts(path, subKey);

    std::string text;
    if (!KeyExists(ReadRegistry(text), path)) return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    auto* key = new RegKey;
    key->path = std::move(path);
    *result = reinterpret_cast<HKEY>(static_cast<platform::KernelObject*>(key));
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegOpenKeyExW(HKEY root, const wchar_t* subKey, DWORD options, REGSAM access, PHKEY result)
{
    if (subKey == nullptr) return RegOpenKeyExA(root, nullptr, options, access, result);
    return RegOpenKeyExA(root, WideToUtf8(subKey).c_str(), options, access, result);
}

LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size)
{
    const std::string path = KeyPath(key);
    if (path.empty()) return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    if (reserved != nullptr || (data != nullptr && size == nullptr)) {
        return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    }
    const std::string_view name = valueName != nullptr ? valueName : "";

    std::string text;
    const std::vector<KeyBlock> blocks = ReadRegistry(text);
    for (const KeyBlock& block : blocks) {
        if (block.path != path) continue;
        for (const Value& value : block.values) {
            if (!IEquals(value.name, name)) continue;
            if (type != nullptr) *type = value.type;
            const auto needed = static_cast<DWORD>(value.data.size());
            if (data == nullptr) {
                if (size != nullptr) *size = needed;
                return static_cast<LSTATUS>(ERROR_SUCCESS);
            }
            if (*size < needed) {
                *size = needed;
                return static_cast<LSTATUS>(ERROR_MORE_DATA);
            }
            std::memcpy(data, value.data.data(), needed);
            *size = needed;
            return static_cast<LSTATUS>(ERROR_SUCCESS);
        }
    }
    return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
}

LSTATUS RegCloseKey(HKEY key)
{
    if (RootName(key) != nullptr) return static_cast<LSTATUS>(ERROR_SUCCESS);
    if (platform::HandleAs<RegKey>(reinterpret_cast<HANDLE>(key)) == nullptr) {
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    }
    CloseHandle(reinterpret_cast<HANDLE>(key));
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}
