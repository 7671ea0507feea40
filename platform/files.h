// Files and folders of the machine, addressed by Windows paths.
#pragma once

#include "platform/wintypes.h"

#include <string>

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    char cFileName[MAX_PATH] = {};
};

// INVALID_FILE_ATTRIBUTES with last error 2 (no such file in an existing folder)
// or 3 (a folder on the way is missing).
DWORD GetFileAttributesA(const char* path);

// Lists the entries of a folder that match the pattern's last component ('*' and '?',
// case-insensitive; a pattern ending in ".*" also matches names without a dot, so "*.*" is "*"), in
// case-insensitive name order, "." and ".." first when the pattern matches them (a drive's root has
// neither, as on Windows). Names Windows could not hold (with '\', ':', '*', ...) are not listed.
// INVALID_HANDLE_VALUE with last error 2 (nothing matches) or 3 (folder missing).
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
// FALSE with last error 18 at the end of the list.
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

// FALSE with last error 183 (exists) or 3 (parent missing).
BOOL CreateDirectoryA(const char* path, void* securityAttributes);
BOOL DeleteFileA(const char* path);

// Path of the running program file (module null only): its Windows form when it lies inside the
// machine root, else the host path. Returns the length copied; a name that does not fit is cut to
// size - 1 characters and terminated, and the result is then size with last error 122, as on Windows.
// 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

// The shell's pattern match of a file name against a spec ('*', '?', case-insensitive;
// several specs separated by ';').
BOOL PathMatchSpecA(const char* file, const char* spec);

namespace platform {

// Whole-file access. False with the Windows last error set when the file cannot be read or written.
bool ReadWholeFile(const std::string& path, std::string& contents);
// Text mode writes every "\n" as "\r\n" (a "\r\n" already present stays as it is).
bool WriteWholeFile(const std::string& path, const std::string& contents, bool textMode);

}  // namespace platform
