// The private-profile (INI) functions.
//
// Section and key names compare without regard to case; the first section of a name and the first
// key of a name in it win; values are trimmed of blanks and tabs and lose one pair of surrounding
// quotes ('"' or '\''); lines that begin with ';' are comments; there are no inline comments.
//
// Further rules: blanks and tabs before '[', ';' or a key are ignored; CR LF, LF and CR alone end a line;
// a UTF-8 byte order mark is skipped; UTF-16 text with a byte order mark (little or big endian) is read
// as the UTF-8 text it stands for; a line without '=' inside a section and anything before the first
// section are ignored; a line that begins with '[' but has no ']' is no section header (it is read as
// any other line: without '=' it is ignored, and the lines after it stay in the section before it);
// empty key and section names are never listed. Section and key lists name each name once, in file
// order, spelt as at its first occurrence (a repeated section adds nothing: its first occurrence wins).
//
// A file is read and parsed once and kept (keyed by its path and checked against its size, times and
// inode at every call), so that a read costs a stat and no file read; a rewritten file is read again.
// The functions may be called from any thread.
#pragma once

#include "platform/wintypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// section null: every section name, each NUL-terminated, the list ending with an extra NUL.
// key null: every key name of the section, the same way.
// Otherwise the value, or the default when the file, section or key is missing.
// A value longer than size - 1 is cut to size - 1 and the result is size - 1; a list that does not fit
// is cut and ends with two NULs, and the result is size - 2 (also a list that would fill the buffer
// exactly, as on Windows). Missing file: last error 2.
// A list asked from a missing file or section is empty (the default is not copied into a list).
// size 0 or a null buffer: nothing is written and the result is 0.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);

// The value read as an integer as Windows reads it: leading control characters skipped, an optional
// sign, an optional base prefix "0x", "0o" or "0b", then the digits up to the first that is none (text
// after them is ignored, no digits read as 0), gathered in 32 bits with wrap-around ("4294967297" is 1,
// "-1" is 0xFFFFFFFF); the default when missing or empty.
UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* fileName);

// The same as GetPrivateProfileStringA with no section and no key: every section name.
DWORD GetPrivateProfileSectionNamesA(char* buffer, DWORD size, const char* fileName);

namespace platform {

// GetPrivateProfileStringA on INI text already in memory (the INI fuzz target and tests use it).
DWORD ProfileStringFromText(std::string_view text, const char* section, const char* key, const char* defaultValue,
                            char* buffer, DWORD size);

// One file as GetPrivateProfileStringA reads it, taken from the same cache once: a reader of many values of
// one file pays for finding and checking the file once, not at every value. It answers as the file was
// when taken (a file that cannot be read, or no file at all, answers as a missing one); immutable, so any
// thread may read it.
class ProfileFile {
public:
    ProfileFile() = default;
    explicit ProfileFile(const char* fileName);
    // GetPrivateProfileStringA of this file.
    DWORD GetString(const char* section, const char* key, const char* defaultValue, char* buffer, DWORD size) const;

private:
    std::shared_ptr<const void> parsed_;
};

// The cache's counts since the program started: file reads, parses of a file's text, files kept.
struct ProfileCacheCounters {
    uint64_t fileReads = 0;
    uint64_t parses = 0;
    size_t cachedFiles = 0;
};
ProfileCacheCounters ProfileCacheCountersNow();

// Forgets every kept file (tests start from an empty cache with it).
void ClearProfileCache();

}  // namespace platform
