// Reading INI-form configuration files through the private-profile functions.
//
// Stateless: every operation takes the file's full path. Single values are read into 260 bytes (at most
// 259 characters arrive), section and key lists into 65536 bytes. A missing file gives "" or an empty
// list; nothing is logged here, callers log what they need.
#pragma once

#include "platform/wintypes.h"

#include <string>
#include <vector>

class ConfigFileHelper {
public:
    static constexpr DWORD ValueBufferSize = 260;
    static constexpr DWORD ListBufferSize = 65536;

    ConfigFileHelper() = default;
    virtual ~ConfigFileHelper() = default;

    // 0 when a file or folder of that name exists, else the Windows error code of the failed search.
    static DWORD CheckFileExists(const std::string& path);

    // The value cut at its first ";"; when longer than two characters, trailing blanks go too.
    static std::string ReadString(const std::string& file, const std::string& section, const std::string& key);
    // The leading decimal number of ReadString's text; 0.0 when there is none.
    static double ReadDouble(const std::string& file, const std::string& section, const std::string& key);
    // The comma-separated numbers of the value, one per piece (0.0 for a piece without a number);
    // defaultCount zeros when the value is empty or missing.
    static std::vector<double> ReadNumberList(const std::string& file, const std::string& section,
                                              const std::string& key, int defaultCount);

    static std::vector<std::string> GetSectionNames(const std::string& file);
    static std::vector<std::string> GetKeyNames(const std::string& file, const std::string& section);

    // Raw values of the section's keys whose name contains namePart, in file order; a key with ";" or
    // "//" before the part is commented out and skipped.
    static std::vector<std::string> GetKeyValuesByName(const std::string& file, const std::string& section,
                                                       const std::string& namePart);
    // The non-empty raw value of valueKey in every section whose name contains sectionPart, kept when
    // conditionKey is "NONE" or when (conditionKey's value, any case, is "true") equals expected.
    static std::vector<std::string> GetSectionValuesMatching(const std::string& file,
                                                             const std::string& sectionPart,
                                                             const std::string& valueKey,
                                                             const std::string& conditionKey, bool expected);
    // The raw value of valueKey in every section whose name contains sectionPart, empty ones included.
    static std::vector<std::string> GetSectionValues(const std::string& file, const std::string& sectionPart,
                                                     const std::string& valueKey);
    // "key=value" for every key of the section, in file order.
    static std::vector<std::string> GetSectionEntries(const std::string& file, const std::string& section);

    // The value as the private-profile read gives it, nothing cut; "" when the key is missing or empty.
    static std::string ReadRaw(const std::string& file, const std::string& section, const std::string& key);

private:
    static std::vector<std::string> ReadList(const std::string& file, const char* section);
};
