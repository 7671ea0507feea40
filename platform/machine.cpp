#include "platform/machine.h"

#include "platform/winpath.h"
#include "platform/wintext.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

fs::path HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
    return "/tmp";
}

fs::path Absolute(const fs::path& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal();
}

bool IsDirectory(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

}  // namespace

fs::path MachineRoot()
{
    if (const char* root = std::getenv("VELK_MACHINE_ROOT"); root != nullptr && *root != '\0') {
        return Absolute(root);
    }
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        data = xdg;
    } else {
        data = HomeFolder() / ".local" / "share";
    }
    return Absolute(data / "velk-machine");
}

namespace winpath {

bool IsBadNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u < 32) return true;
    switch (c) {
    case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
        return true;
    default:
        return false;
    }
}

ParsedPath Parse(const std::string& windowsPath, bool wildcardsInLast)
{
    ParsedPath result;
    result.empty = windowsPath.empty();
    std::string_view rest = windowsPath;
    if (!rest.empty() && rest[0] == '/') {
        result.host = true;
    } else if (rest.size() >= 2 && rest[1] == ':') {
        const char letter = text::AsciiLower(rest[0]);
        if (letter < 'a' || letter > 'z') return result;
        result.drive = letter;
        rest.remove_prefix(2);
    }

    std::vector<std::string_view> raw;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = rest.size();
        if (end > start) raw.push_back(rest.substr(start, end - start));
        start = end + 1;
    }

    for (size_t i = 0; i < raw.size(); ++i) {
        const std::string_view part = raw[i];
        const bool pattern = wildcardsInLast && i + 1 == raw.size();
        if (!pattern && part == ".") continue;
        if (!pattern && part == "..") {
            // ".." stops at the drive root, as it does on Windows.
            if (!result.components.empty()) result.components.pop_back();
            continue;
        }
        for (char c : part) {
            if (pattern && (c == '*' || c == '?')) continue;
            if (IsBadNameChar(c)) return result;
        }
        result.components.emplace_back(part);
    }
    result.valid = true;
    return result;
}

std::optional<std::string> FindEntry(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return name;

    std::vector<std::string> matches;
    fs::directory_iterator it(folder, ec);
    if (ec) return std::nullopt;
    for (const fs::directory_entry& entry : it) {
        std::string candidate = entry.path().filename().string();
        if (text::IEquals(candidate, name)) matches.push_back(std::move(candidate));
    }
    std::sort(matches.begin(), matches.end());
    for (const std::string& candidate : matches) {
        if (fs::exists(folder / candidate, ec)) return candidate;
    }
    return std::nullopt;
}

std::optional<fs::path> Resolve(const ParsedPath& path, size_t count, DWORD* error)
{
    auto fail = [error](DWORD code) -> std::optional<fs::path> {
        if (error != nullptr) *error = code;
        return std::nullopt;
    };
    if (!path.valid) return fail(ERROR_INVALID_NAME);
    if (path.empty) return fail(ERROR_PATH_NOT_FOUND);

    fs::path current;
    if (path.host) {
        current = "/";
    } else {
        const fs::path root = MachineRoot();
        const std::optional<std::string> drive = FindEntry(root, std::string(1, path.drive));
        if (!drive || !IsDirectory(root / *drive)) return fail(ERROR_PATH_NOT_FOUND);
        current = root / *drive;
    }

    count = std::min(count, path.components.size());
    for (size_t i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        std::optional<std::string> actual = FindEntry(current, path.components[i]);
        if (!actual) return fail(last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        current /= *actual;
        if (!last && !IsDirectory(current)) return fail(ERROR_PATH_NOT_FOUND);
    }
    return current;
}

}  // namespace winpath

std::optional<fs::path> ResolveExisting(const std::string& windowsPath, DWORD* error)
{
    const winpath::ParsedPath parsed = winpath::Parse(windowsPath);
    return winpath::Resolve(parsed, parsed.components.size(), error);
}

fs::path ResolveForWrite(const std::string& windowsPath)
{
    const winpath::ParsedPath parsed = winpath::Parse(windowsPath);
    if (!parsed.valid || parsed.empty) return {};

    fs::path current;
    if (parsed.host) {
        current = "/";
    } else {
        const fs::path root = MachineRoot();
        const std::string letter(1, parsed.drive);
        current = root / winpath::FindEntry(root, letter).value_or(letter);
    }
    bool existing = true;
    for (const std::string& component : parsed.components) {
        if (existing && IsDirectory(current)) {
            if (std::optional<std::string> actual = winpath::FindEntry(current, component)) {
                current /= *actual;
                continue;
            }
        }
        existing = false;
        current /= component;
    }
    return current;
}

std::string ToWindowsPath(const fs::path& hostPath)
{
    auto relativeTo = [](const fs::path& path, const fs::path& root) -> fs::path {
        fs::path relative = path.lexically_relative(root);
        if (relative.empty() || *relative.begin() == "..") return {};
        return relative;
    };
    const fs::path root = MachineRoot();
    fs::path relative = relativeTo(Absolute(hostPath), root);
    if (relative.empty()) {
        // The root or the path may be reached through a link (a temporary folder, for example).
        std::error_code ec1;
        std::error_code ec2;
        const fs::path canonicalPath = fs::weakly_canonical(hostPath, ec1);
        const fs::path canonicalRoot = fs::weakly_canonical(root, ec2);
        if (!ec1 && !ec2) relative = relativeTo(canonicalPath, canonicalRoot);
    }
    if (relative.empty() || relative == ".") return {};

    auto it = relative.begin();
    const std::string drive = it->string();
    if (drive.size() != 1 || text::AsciiLower(drive[0]) < 'a' || text::AsciiLower(drive[0]) > 'z') return {};
    std::string result;
    result += static_cast<char>(drive[0] - (drive[0] >= 'a' ? 'a' - 'A' : 0));
    result += ":\\";
    bool first = true;
    for (++it; it != relative.end(); ++it) {
        const std::string part = it->string();
        if (part.empty() || part == ".") continue;
        if (!first) result += '\\';
        result += part;
        first = false;
    }
    return result;
}

}  // namespace platform
