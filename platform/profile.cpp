#include "platform/profile.h"

#include "platform/files.h"
#include "platform/wintext.h"

#include <climits>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

using platform::text::IEquals;

struct Line {
    std::string_view key;
    std::string_view value;
};

struct Section {
    std::string_view name;
    std::vector<Line> lines;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

// Every section in file order, repeated names included; the views point into text.
std::vector<Section> ParseIni(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<Section> sections;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            line.remove_prefix(1);
            const size_t close = line.find(']');
            sections.push_back({Trim(line.substr(0, close)), {}});
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || sections.empty()) continue;
        sections.back().lines.push_back({Trim(line.substr(0, equals)), Unquote(Trim(line.substr(equals + 1)))});
    }
    return sections;
}

const Section* FindSection(const std::vector<Section>& sections, std::string_view name)
{
    for (const Section& section : sections) {
        if (IEquals(section.name, name)) return &section;
    }
    return nullptr;
}

// Copies a value, cut to size - 1. The result is the length copied.
DWORD CopyValue(std::string_view value, char* buffer, DWORD size)
{
    if (buffer == nullptr || size == 0) return 0;
    const size_t length = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    if (length < value.size()) SetLastError(ERROR_MORE_DATA);
    return static_cast<DWORD>(length);
}

// Copies a list of names, each NUL-terminated and an extra NUL at the end. A list that does not fit
// is cut and ends with two NULs; the result is then size - 2.
DWORD CopyList(const std::vector<std::string_view>& names, char* buffer, DWORD size)
{
    if (buffer == nullptr || size == 0) return 0;
    std::string list;
    for (std::string_view name : names) {
        list.append(name);
        list.push_back('\0');
    }
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        if (list.empty() && size >= 2) buffer[1] = '\0';  // an empty list still ends in two NULs
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    SetLastError(ERROR_MORE_DATA);
    return size - 2;
}

// Collects names once each, first spelling kept, in the order met.
class NameList {
public:
    void Add(std::string_view name)
    {
        if (name.empty()) return;
        std::string folded(name);
        for (char& c : folded) c = platform::text::AsciiLower(c);
        if (seen_.insert(std::move(folded)).second) names_.push_back(name);
    }
    const std::vector<std::string_view>& Names() const { return names_; }

private:
    std::unordered_set<std::string> seen_;
    std::vector<std::string_view> names_;
};

// The default loses its trailing blanks, as on Windows.
std::string_view DefaultText(const char* defaultValue)
{
    std::string_view text = defaultValue != nullptr ? defaultValue : "";
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

DWORD Lookup(const std::vector<Section>* sections, const char* section, const char* key, const char* defaultValue,
             char* buffer, DWORD size)
{
    const bool wantList = section == nullptr || key == nullptr;
    if (sections == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return wantList ? CopyList({}, buffer, size) : CopyValue(DefaultText(defaultValue), buffer, size);
    }

    SetLastError(ERROR_SUCCESS);
    NameList names;
    if (section == nullptr) {
        for (const Section& each : *sections) names.Add(each.name);
        return CopyList(names.Names(), buffer, size);
    }
    const Section* found = FindSection(*sections, section);
    if (found == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return wantList ? CopyList({}, buffer, size) : CopyValue(DefaultText(defaultValue), buffer, size);
    }
    if (key == nullptr) {
        for (const Line& line : found->lines) names.Add(line.key);
        return CopyList(names.Names(), buffer, size);
    }
    for (const Line& line : found->lines) {
        if (IEquals(line.key, key)) return CopyValue(line.value, buffer, size);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyValue(DefaultText(defaultValue), buffer, size);
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName)
{
    std::string text;
    if (fileName == nullptr || !platform::ReadWholeFile(fileName, text)) {
        return Lookup(nullptr, section, key, defaultValue, buffer, size);
    }
    const std::vector<Section> sections = ParseIni(text);
    return Lookup(&sections, section, key, defaultValue, buffer, size);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* fileName)
{
    if (section == nullptr || key == nullptr) return static_cast<UINT>(defaultValue);
    char value[64];
    if (GetPrivateProfileStringA(section, key, "", value, sizeof value, fileName) == 0) {
        return static_cast<UINT>(defaultValue);
    }
    const char* p = value;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + (*p - '0');
        if (number > static_cast<long long>(INT_MAX) + 1) number = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) number = -number;
    if (number > INT_MAX) number = INT_MAX;
    return static_cast<UINT>(static_cast<int>(number));
}

DWORD GetPrivateProfileSectionNamesA(char* buffer, DWORD size, const char* fileName)
{
    return GetPrivateProfileStringA(nullptr, nullptr, "", buffer, size, fileName);
}

namespace platform {

DWORD ProfileStringFromText(std::string_view text, const char* section, const char* key, const char* defaultValue,
                            char* buffer, DWORD size)
{
    const std::vector<Section> sections = ParseIni(text);
    return Lookup(&sections, section, key, defaultValue, buffer, size);
}

}  // namespace platform
