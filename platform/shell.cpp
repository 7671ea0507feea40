#include "platform/shell.h"

#include "platform/machine.h"
#include "platform/winpath.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace {

std::string UserName()
{
    const char* user = std::getenv("USER");
    if (user == nullptr || *user == '\0' || std::strlen(user) > 64) return "user";
    const std::string name = user;
    if (name == "." || name == "..") return "user";
    for (char c : name) {
        if (platform::winpath::IsBadNameChar(c)) return "user";
    }
    return name;
}

}  // namespace

HRESULT SHGetFolderPathA(HWND /*owner*/, int folder, HANDLE /*token*/, DWORD /*flags*/, char* path)
{
    if (path == nullptr) return E_INVALIDARG;
    std::string result;
    switch (folder & ~CSIDL_FLAG_MASK) {
    case CSIDL_COMMON_APPDATA:
        result = "C:\\ProgramData";
        break;
    case CSIDL_APPDATA:
        result = "C:\\Users\\" + UserName() + "\\AppData\\Roaming";
        break;
    default:
        path[0] = '\0';
        return E_INVALIDARG;
    }
    if ((folder & CSIDL_FLAG_CREATE) != 0) {
        std::error_code ec;
        std::filesystem::create_directories(platform::ResolveForWrite(result), ec);
        if (ec) {
            path[0] = '\0';
            return E_FAIL;
        }
    }
    std::memcpy(path, result.c_str(), result.size() + 1);
    return S_OK;
}

BOOL SHGetSpecialFolderPathA(HWND owner, char* path, int folder, BOOL create)
{
    const int flags = create ? CSIDL_FLAG_CREATE : 0;
    return SUCCEEDED(SHGetFolderPathA(owner, folder | flags, nullptr, SHGFP_TYPE_CURRENT, path)) ? TRUE : FALSE;
}

void PathRemoveExtensionA(char* path)
{
    if (path == nullptr) return;
    char* dot = nullptr;
    for (char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':') dot = nullptr;
        else if (*p == '.') dot = p;
    }
    if (dot != nullptr) *dot = '\0';
}
