#include "foundation/ConfigFileHelper.h"

#include "foundation/StringUtils.h"
#include "platform/files.h"
#include "platform/profile.h"

#include <algorithm>
#include <cstring>

DWORD ConfigFileHelper::CheckFileExists(const std::string& path) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_FILE_NOT_FOUND;
    }
    FindClose(search);
    return ERROR_SUCCESS;
}

std::string ConfigFileHelper::ReadRaw(const std::string& file, const std::string& section, const std::string& key) {
    char buffer[ValueBufferSize] = {};
    const DWORD length =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, ValueBufferSize, file.c_str());
    if (length == 0) {
        return "";
    }
    return std::string(buffer, strnlen(buffer, ValueBufferSize));
}

std::vector<std::string> ConfigFileHelper::ReadList(const std::string& file, const char* section) {
    std::vector<std::string> names;
    if (CheckFileExists(file) != ERROR_SUCCESS) {
        return names;
    }
    std::vector<char> buffer(ListBufferSize, '\0');
    const DWORD length = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), ListBufferSize, file.c_str());
    const std::size_t end = std::min<std::size_t>(length, ListBufferSize);
    std::size_t position = 0;
    while (position < end) {
        const std::size_t nameLength = strnlen(buffer.data() + position, end - position);
        if (nameLength == 0) {
            break;
        }
        names.emplace_back(buffer.data() + position, nameLength);
        position += nameLength + 1;
    }
    return names;
}

std::string ConfigFileHelper::ReadString(const std::string& file, const std::string& section,
                                         const std::string& key) {
    std::string text;
    if (CheckFileExists(file) == ERROR_SUCCESS) {
        text = ReadRaw(file, section, key);
    }
    const std::string::size_type comment = text.find(';');
    if (comment != std::string::npos) {
        text.erase(comment);
    }
    // Short texts keep a trailing blank: "a " stays as it is.
    if (text.size() > 2) {
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
    }
    return text;
}

double ConfigFileHelper::ReadDouble(const std::string& file, const std::string& section, const std::string& key) {
    return LeadingDoubleOrZero(ReadString(file, section, key));
}

std::vector<double> ConfigFileHelper::ReadNumberList(const std::string& file, const std::string& section,
                                                     const std::string& key, int defaultCount) {
    std::vector<double> numbers;
    const std::string value = ReadString(file, section, key);
    if (value.empty()) {
        if (defaultCount > 0) {
            numbers.assign(static_cast<std::size_t>(defaultCount), 0.0);
        }
        return numbers;
    }
    std::vector<std::string> pieces;
    SplitByComma(value, pieces);
    numbers.reserve(pieces.size());
    for (const std::string& piece : pieces) {
        numbers.push_back(LeadingDoubleOrZero(piece));
    }
    return numbers;
}

std::vector<std::string> ConfigFileHelper::GetSectionNames(const std::string& file) {
    return ReadList(file, nullptr);
}

std::vector<std::string> ConfigFileHelper::GetKeyNames(const std::string& file, const std::string& section) {
    return ReadList(file, section.c_str());
}

std::vector<std::string> ConfigFileHelper::GetKeyValuesByName(const std::string& file, const std::string& section,
                                                              const std::string& namePart) {
    std::vector<std::string> values;
    for (const std::string& key : GetKeyNames(file, section)) {
        const std::string::size_type at = key.find(namePart);
        if (at == std::string::npos) {
            continue;
        }
        // A key written commented out, e.g. "//SimObjectPaths.3" or ";SimObjectPaths.3".
        const std::string::size_type semicolon = key.find(';');
        const std::string::size_type slashes = key.find("//");
        if ((semicolon != std::string::npos && semicolon < at) || (slashes != std::string::npos && slashes < at)) {
            continue;
        }
        values.push_back(ReadRaw(file, section, key));
    }
    return values;
}

std::vector<std::string> ConfigFileHelper::GetSectionValuesMatching(const std::string& file,
                                                                    const std::string& sectionPart,
                                                                    const std::string& valueKey,
                                                                    const std::string& conditionKey,
                                                                    bool expected) {
    std::vector<std::string> values;
    for (const std::string& section : GetSectionNames(file)) {
        if (section.find(sectionPart) == std::string::npos) {
            continue;
        }
        std::string value = ReadRaw(file, section, valueKey);
        if (value.empty()) {
            continue;
        }
        if (conditionKey == "NONE") {
            values.push_back(std::move(value));
            continue;
        }
        std::string condition = ReadRaw(file, section, conditionKey);
        std::transform(condition.begin(), condition.end(), condition.begin(), [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        });
        if ((condition == "true") == expected) {
            values.push_back(std::move(value));
        }
    }
    return values;
}

std::vector<std::string> ConfigFileHelper::GetSectionValues(const std::string& file, const std::string& sectionPart,
                                                            const std::string& valueKey) {
    std::vector<std::string> values;
    for (const std::string& section : GetSectionNames(file)) {
        if (section.find(sectionPart) != std::string::npos) {
            values.push_back(ReadRaw(file, section, valueKey));
        }
    }
    return values;
}

std::vector<std::string> ConfigFileHelper::GetSectionEntries(const std::string& file, const std::string& section) {
    std::vector<std::string> entries;
    for (const std::string& key : GetKeyNames(file, section)) {
        entries.push_back(key + "=" + ReadRaw(file, section, key));
    }
    return entries;
}
