#include "foundation/ExecutablePathHelper.h"

#include "platform/files.h"
#include "platform/shell.h"

#include <cstring>

std::string ExecutablePathHelper::GetProgramDataFolder() {
    char folder[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return "";
    }
    return std::string(folder, strnlen(folder, MAX_PATH)) + "\\Quorvath\\VELK";
}

std::string ExecutablePathHelper::GetExecutablePath() {
    constexpr DWORD size = 1024;
    char path[size] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, size);
    if (length == 0) {
        return "";
    }
    return std::string(path, strnlen(path, size));
}

std::string ExecutablePathHelper::GetExecutableFolder() {
    const std::string path = GetExecutablePath();
    const std::string::size_type last = path.find_last_of("\\/");
    return last == std::string::npos ? path : path.substr(0, last);
}
