// The private-profile (INI) functions.
//
// Section and key names compare without regard to case; the first section of a name and the first
// key of a name in it win; values are trimmed of blanks and tabs and lose one pair of surrounding
// quotes ('"' or '\''); lines that begin with ';' are comments; there are no inline comments.
// The file is read anew at every call.
#pragma once

#include "platform/wintypes.h"

// section null: every section name, each NUL-terminated, the list ending with an extra NUL.
// key null: every key name of the section, the same way.
// Otherwise the value, or the default when the file, section or key is missing.
// A value longer than size - 1 is cut to size - 1 and the result is size - 1; a list that does not fit
// is cut and ends with two NULs, and the result is size - 2. Missing file: last error 2.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);

// The value read as a decimal integer (leading digits only), or the default when missing.
UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* fileName);
