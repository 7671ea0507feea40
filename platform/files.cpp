#include "platform/files.h"

#include "platform/machine.h"
#include "platform/winpath.h"
#include "platform/wintext.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr DWORD kModuleBufferCap = 4096;

FILETIME ToFileTime(const timespec& time)
{
    // 100 ns ticks since 1601-01-01; times before that read as 0.
    constexpr int64_t kEpochDifference = 11644473600LL;
    if (time.tv_sec < -kEpochDifference) return {};
    const uint64_t ticks = static_cast<uint64_t>(time.tv_sec + kEpochDifference) * 10000000ULL +
                           static_cast<uint64_t>(time.tv_nsec) / 100U;
    return {static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

DWORD Attributes(const struct stat& info)
{
    if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    // The owner's write bit decides, so that the answer does not depend on who runs the program.
    return (info.st_mode & S_IWUSR) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

bool StatPath(const fs::path& path, struct stat& info)
{
    return ::stat(path.c_str(), &info) == 0;
}

// A name that a Windows program could never see or use again in a path.
bool IsListableName(const std::string& name)
{
    if (name.empty() || name.size() >= MAX_PATH) return false;
    return std::none_of(name.begin(), name.end(), platform::winpath::IsBadNameChar);
}

bool HasWildcards(std::string_view text)
{
    return text.find_first_of("*?") != std::string_view::npos;
}

WIN32_FIND_DATAA MakeFindData(const std::string& name, const struct stat& info)
{
    WIN32_FIND_DATAA data;
    data.dwFileAttributes = Attributes(info);
    data.ftCreationTime = ToFileTime(info.st_mtim);
    data.ftLastAccessTime = ToFileTime(info.st_atim);
    data.ftLastWriteTime = ToFileTime(info.st_mtim);
    if (!S_ISDIR(info.st_mode)) {
        const auto size = static_cast<uint64_t>(info.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
    return data;
}

struct FindState : platform::KernelObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

// Splits a search pattern into its folder (text rules applied) and its last component (as written).
// A last component without wildcards goes through the text rules like any path.
bool SplitPattern(const std::string& pattern, platform::winpath::ParsedPath& folder, std::string& last)
{
    const bool wildcards = HasWildcards(pattern);
    folder = platform::winpath::Parse(pattern, wildcards);
    if (!folder.valid || folder.empty || folder.components.empty()) return false;
    const char end = pattern.back();
    if (!wildcards && (end == '\\' || end == '/')) return false;  // "C:\folder\" names no entry
    last = folder.components.back();
    folder.components.pop_back();
    return true;
}

}  // namespace

DWORD GetFileAttributesA(const char* path)
{
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD error = ERROR_FILE_NOT_FOUND;
    const std::optional<fs::path> resolved = platform::ResolveExisting(path, &error);
    struct stat info {};
    if (!resolved || !StatPath(*resolved, info)) {
        SetLastError(resolved ? ERROR_FILE_NOT_FOUND : error);
        return INVALID_FILE_ATTRIBUTES;
    }
    return Attributes(info);
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data)
{
    if (pattern == nullptr || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    platform::winpath::ParsedPath folderPath;
    std::string last;
    if (!SplitPattern(pattern, folderPath, last)) {
        const platform::winpath::ParsedPath parsed = platform::winpath::Parse(pattern, true);
        SetLastError(!parsed.valid ? ERROR_INVALID_NAME : parsed.empty ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = ERROR_PATH_NOT_FOUND;
    const std::optional<fs::path> folder =
        platform::winpath::Resolve(folderPath, folderPath.components.size(), &error);
    struct stat folderInfo {};
    if (!folder || !StatPath(*folder, folderInfo) || !S_ISDIR(folderInfo.st_mode)) {
        // Whatever is missing on the way, the folder to search is missing.
        SetLastError(error == ERROR_INVALID_NAME ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    auto state = std::make_unique<FindState>();
    std::vector<std::pair<std::string, struct stat>> found;
    std::error_code ec;
    if (!HasWildcards(last)) {
        // One name: no need to read the whole folder.
        struct stat info {};
        std::optional<std::string> name = platform::winpath::FindEntry(*folder, last);
        if (name && StatPath(*folder / *name, info)) found.emplace_back(std::move(*name), info);
    } else {
        for (const fs::directory_entry& entry : fs::directory_iterator(*folder, ec)) {
            std::string name = entry.path().filename().string();
            struct stat info {};
            if (!IsListableName(name) || !platform::text::FilePatternMatch(last, name)) continue;
            if (!StatPath(entry.path(), info)) continue;  // vanished, or a dangling link
            found.emplace_back(std::move(name), info);
        }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return platform::text::ILess(a.first, b.first); });

    // Every folder but a drive's root lists itself and its parent first.
    if (!folderPath.components.empty()) {
        for (const char* dots : {".", ".."}) {
            if (!platform::text::FilePatternMatch(last, dots)) continue;
            struct stat info = folderInfo;
            if (std::strcmp(dots, "..") == 0) StatPath(folder->parent_path(), info);
            state->entries.push_back(MakeFindData(dots, info));
        }
    }
    for (const auto& [name, info] : found) state->entries.push_back(MakeFindData(name, info));

    if (state->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = state->entries[0];
    state->next = 1;
    return static_cast<platform::KernelObject*>(state.release());
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data)
{
    FindState* state = platform::HandleAs<FindState>(find);
    if (state == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (state->next >= state->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = state->entries[state->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    if (platform::HandleAs<FindState>(find) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(find);
}

BOOL CreateDirectoryA(const char* path, void* /*securityAttributes*/)
{
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const platform::winpath::ParsedPath parsed = platform::winpath::Parse(path);
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!parsed.valid || parsed.empty) {
        SetLastError(parsed.valid ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
        return FALSE;
    }
    if (parsed.components.empty()) {
        // The drive itself.
        SetLastError(platform::winpath::Resolve(parsed, 0, &error) ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const size_t parentCount = parsed.components.size() - 1;
    const std::optional<fs::path> parent = platform::winpath::Resolve(parsed, parentCount, &error);
    struct stat info {};
    if (!parent || !StatPath(*parent, info) || !S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const std::string& name = parsed.components.back();
    if (platform::winpath::FindEntry(*parent, name)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (::mkdir((*parent / name).c_str(), 0777) != 0) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

// The host path and status of an existing file or folder; nullopt with the last error set as Windows
// sets it (87 for a null path, 2 or 3 for a missing one).
static std::optional<fs::path> ResolveExistingEntry(const char* path, struct stat& info)
{
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    DWORD error = ERROR_FILE_NOT_FOUND;
    std::optional<fs::path> resolved = platform::ResolveExisting(path, &error);
    if (!resolved) {
        SetLastError(error);
        return std::nullopt;
    }
    if (!StatPath(*resolved, info)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    return resolved;
}

BOOL DeleteFileA(const char* path)
{
    struct stat info {};
    const std::optional<fs::path> resolved = ResolveExistingEntry(path, info);
    if (!resolved) return FALSE;
    if (Attributes(info) != FILE_ATTRIBUTE_NORMAL || ::unlink(resolved->c_str()) != 0) {
        // Folders and read-only files are refused, as Windows refuses them.
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileExA(const char* existingName, const char* newName, DWORD flags)
{
    if (existingName == nullptr || newName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD error = ERROR_FILE_NOT_FOUND;
    const std::optional<fs::path> source = platform::ResolveExisting(existingName, &error);
    if (!source) {
        SetLastError(error);
        return FALSE;
    }
    const platform::winpath::ParsedPath parsed = platform::winpath::Parse(newName);
    if (!parsed.valid || parsed.empty || parsed.components.empty()) {
        SetLastError(!parsed.valid ? ERROR_INVALID_NAME : parsed.empty ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    error = ERROR_PATH_NOT_FOUND;
    const std::optional<fs::path> parent = platform::winpath::Resolve(parsed, parsed.components.size() - 1, &error);
    struct stat info {};
    if (!parent || !StatPath(*parent, info) || !S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const std::string& name = parsed.components.back();
    const fs::path target = *parent / platform::winpath::FindEntry(*parent, name).value_or(name);
    if (StatPath(target, info)) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (Attributes(info) != FILE_ATTRIBUTE_NORMAL) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    if (::rename(source->c_str(), target.c_str()) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL SetFileAttributesA(const char* path, DWORD attributes)
{
    struct stat info {};
    const std::optional<fs::path> resolved = ResolveExistingEntry(path, info);
    if (!resolved) return FALSE;
    if (S_ISDIR(info.st_mode)) return TRUE;
    const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (info.st_mode & ~static_cast<mode_t>(0222))
                                                               : (info.st_mode | S_IWUSR);
    if (::chmod(resolved->c_str(), mode & 07777) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size)
{
    if (module != nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (buffer == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::vector<char> link(kModuleBufferCap);
    const ssize_t length = ::readlink("/proc/self/exe", link.data(), link.size() - 1);
    if (length <= 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        buffer[0] = '\0';
        return 0;
    }
    const fs::path host(std::string(link.data(), static_cast<size_t>(length)));
    std::string path = platform::ToWindowsPath(host);
    if (path.empty()) path = host.string();

    if (path.size() >= size) {
        // Cut and terminated; the result is the buffer size, as Windows reports a cut name.
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

BOOL PathMatchSpecA(const char* file, const char* spec)
{
    if (file == nullptr || spec == nullptr) return FALSE;
    std::string_view specs = spec;
    const std::string_view name = file;
    while (true) {
        const size_t end = specs.find(';');
        std::string_view one = specs.substr(0, end);
        while (!one.empty() && one.front() == ' ') one.remove_prefix(1);
        if (!one.empty() && (one == "*.*" || platform::text::WildcardMatch(one, name))) return TRUE;
        if (end == std::string_view::npos) return FALSE;
        specs.remove_prefix(end + 1);
    }
}

namespace platform {

bool ReadWholeFile(const std::string& path, std::string& contents)
{
    DWORD error = ERROR_FILE_NOT_FOUND;
    const std::optional<fs::path> resolved = ResolveExisting(path, &error);
    if (!resolved) {
        SetLastError(error);
        return false;
    }
    struct stat info {};
    if (!StatPath(*resolved, info) || S_ISDIR(info.st_mode)) {
        SetLastError(S_ISDIR(info.st_mode) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::ifstream in(*resolved, std::ios::binary);
    if (!in) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // One block of the size the file has now; whatever lies beyond it (a file that grew meanwhile, or one
    // that reports no size) follows in blocks until the end.
    std::string text(static_cast<size_t>(info.st_size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0) text.append(block, static_cast<size_t>(in.gcount()));
    if (in.bad()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    contents = std::move(text);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& contents, bool textMode)
{
    const winpath::ParsedPath parsed = winpath::Parse(path);
    if (!parsed.valid || parsed.empty || parsed.components.empty()) {
        SetLastError(!parsed.valid ? ERROR_INVALID_NAME : parsed.empty ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return false;
    }
    DWORD error = ERROR_PATH_NOT_FOUND;
    const std::optional<fs::path> parent = winpath::Resolve(parsed, parsed.components.size() - 1, &error);
    struct stat info {};
    if (!parent || !StatPath(*parent, info) || !S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const std::string& name = parsed.components.back();
    const fs::path target = *parent / winpath::FindEntry(*parent, name).value_or(name);
    if (StatPath(target, info) && Attributes(info) != FILE_ATTRIBUTE_NORMAL) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }

    std::string converted;
    const std::string* out = &contents;
    if (textMode) {
        converted.reserve(contents.size() + contents.size() / 16);
        for (size_t i = 0; i < contents.size(); ++i) {
            if (contents[i] == '\n' && (i == 0 || contents[i - 1] != '\r')) converted += '\r';
            converted += contents[i];
        }
        out = &converted;
    }
    std::ofstream file(target, std::ios::binary | std::ios::trunc);
    if (!file) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    file.write(out->data(), static_cast<std::streamsize>(out->size()));
    file.close();
    if (!file) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

}  // namespace platform
