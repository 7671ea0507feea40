// The shell's special folders.
#pragma once

#include "platform/wintypes.h"

constexpr int CSIDL_APPDATA = 0x001a;         // C:\Users\<user>\AppData\Roaming
constexpr int CSIDL_COMMON_APPDATA = 0x0023;  // C:\ProgramData
constexpr int CSIDL_FLAG_CREATE = 0x8000;

constexpr DWORD SHGFP_TYPE_CURRENT = 0;

// Writes the folder's Windows path (no trailing separator) into path (MAX_PATH bytes).
// E_INVALIDARG for an unknown folder.
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, char* path);
