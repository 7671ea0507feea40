// The private-profile (INI) functions.
//
// Section and key names compare without regard to case; the first section of a name and the first
// key of a name in it win; values are trimmed of blanks and tabs and lose one pair of surrounding
// quotes ('"' or '\''); lines that begin with ';' are comments; there are no inline comments.
// The file is read anew at every call.
//
// Further rules: blanks and tabs before '[', ';' or a key are ignored; CR LF and LF both end a line; a
// UTF-8 byte order mark is skipped; a line without '=' inside a section and anything before the first
// section are ignored; a section header without ']' takes the rest of the line as its name; empty key
// and section names are never listed. Section and key lists name each name once, in file order, spelt
// as at its first occurrence (a repeated section adds nothing: its first occurrence wins).
#pragma once

#include "platform/wintypes.h"

#include <string_view>

// section null: every section name, each NUL-terminated, the list ending with an extra NUL.
// key null: every key name of the section, the same way.
// Otherwise the value, or the default when the file, section or key is missing.
// A value longer than size - 1 is cut to size - 1 and the result is size - 1; a list that does not fit
// is cut and ends with two NULs, and the result is size - 2. Missing file: last error 2.
// A list asked from a missing file or section is empty (the default is not copied into a list).
// size 0 or a null buffer: nothing is written and the result is 0.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);

// The value read as a decimal integer (an optional sign, then the leading digits; text after them is
// ignored, no digits read as 0, the range capped at 32 bits), or the default when missing or empty.
UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* fileName);

// The same as GetPrivateProfileStringA with no section and no key: every section name.
DWORD GetPrivateProfileSectionNamesA(char* buffer, DWORD size, const char* fileName);

namespace platform {

// GetPrivateProfileStringA on INI text already in memory (the INI fuzz target and tests use it).
DWORD ProfileStringFromText(std::string_view text, const char* section, const char* key, const char* defaultValue,
                            char* buffer, DWORD size);

}  // namespace platform
