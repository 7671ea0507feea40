// The shell's special folders.
#pragma once

#include "platform/wintypes.h"

constexpr int CSIDL_APPDATA = 0x001a;         // C:\Users\<user>\AppData\Roaming
constexpr int CSIDL_COMMON_APPDATA = 0x0023;  // C:\ProgramData
constexpr int CSIDL_FLAG_CREATE = 0x8000;
constexpr int CSIDL_FLAG_MASK = 0xFF00;

constexpr DWORD SHGFP_TYPE_CURRENT = 0;

// Writes the folder's Windows path (no trailing separator) into path (MAX_PATH bytes).
// E_INVALIDARG for an unknown folder (path then ""). The flag bits of folder (CSIDL_FLAG_MASK) are
// ignored except CSIDL_FLAG_CREATE, which creates the folder in the machine root when it is missing.
// The user of the roaming folder is $USER ("user" when unset or unusable as a name).
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, char* path);

// The older form: TRUE with the path written, FALSE (path "") for an unknown folder.
BOOL SHGetSpecialFolderPathA(HWND owner, char* path, int folder, BOOL create);

// Removes the extension (from the last '.' of the last component on) of a path, in place.
void PathRemoveExtensionA(char* path);
