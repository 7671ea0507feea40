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

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
// Renames a file (within one drive). An existing file of the new name is replaced only with
// MOVEFILE_REPLACE_EXISTING (else 183); a read-only one or a folder is refused with 5, as on Windows.
// 2 or 3 when the file or the new name's folder is missing.
BOOL MoveFileExA(const char* existingName, const char* newName, DWORD flags);
// Only FILE_ATTRIBUTE_READONLY is kept by the host file system; the other bits are accepted and
// ignored. FALSE with 2 or 3 for a missing path.
BOOL SetFileAttributesA(const char* path, DWORD attributes);

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

// ---- File handles -------------------------------------------------------------------------------

constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;

// Opens (OPEN_EXISTING) or creates and truncates (CREATE_ALWAYS) a file; CloseHandle closes it.
// Access is GENERIC_READ and/or GENERIC_WRITE; the share flags are checked against the other open
// handles of the same file (error 32). Errors: 2 or 3 as for any path, 5 for a folder, a read-only file
// opened for writing or replaced, 87 for another disposition. CREATE_ALWAYS over an existing file
// succeeds with last error 183, as on Windows. A new file with FILE_ATTRIBUTE_READONLY is read-only
// for later opens but writable through this handle.
HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* securityAttributes, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// Synchronous only (overlapped must be null). Reading at or past the end succeeds with 0 bytes.
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
// Without distanceHigh the distance is signed 32-bit and a new position beyond 4 GiB - 1 fails (87);
// with it the distance is 64-bit and the new position's high part is written back. A negative
// position fails with 131. INVALID_SET_FILE_POINTER on failure; last error 0 on success.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
// Low part of the size (high part through sizeHigh); INVALID_FILE_SIZE with last error 6 for a bad handle.
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
// Access and modification times (creation is kept by no host file system and is ignored); null
// arguments leave that time as it is.
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* access, const FILETIME* write);

// MS-DOS date and time (as zip archives store them) to a FILETIME of the same wall-clock time.
// FALSE with error 87 for an impossible date or time (month 0 or above 12, day 0, hour above 23, ...).
BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* fileTime);
// Local wall-clock time to UTC with the machine's current offset from UTC (the host's time zone).
BOOL LocalFileTimeToFileTime(const FILETIME* localTime, FILETIME* utcTime);

// The process's current directory, which on this machine is always "C:\" (paths without a drive
// resolve there). Returns the length copied, or the size needed including the NUL when the buffer is
// too small.
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);
