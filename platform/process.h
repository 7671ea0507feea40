// Processes, the single-instance mutex and the warning box.
#pragma once

#include "platform/wintypes.h"

// A named mutex held for the life of the process (a lock file in the machine root, or in the system's
// temporary folder for a root that cannot hold it). When another holder exists, in this process or
// another, a handle is still returned and the last error is 183.
HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, const char* name);

constexpr DWORD TH32CS_SNAPPROCESS = 0x2;

struct PROCESSENTRY32 {
    DWORD dwSize = sizeof(PROCESSENTRY32);
    DWORD th32ProcessID = 0;
    DWORD th32ParentProcessID = 0;
    DWORD cntThreads = 0;
    char szExeFile[MAX_PATH] = {};
};

// A snapshot of the running processes, from /proc. The executable name is the process name.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry);

DWORD GetCurrentProcessId();

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;

// Writes "<caption>: <text>" to standard error and returns IDOK.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
