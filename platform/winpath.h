// Windows paths taken apart and resolved in the machine root, for the files, INI and folder stand-ins.
// machine.h is the public face; this is the part the other platform sources share.
#pragma once

#include "platform/wintypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform::winpath {

// A path after the text rules: drive (or host root), then the components with "." and ".." applied.
struct ParsedPath {
    bool valid = false;      // false: characters Windows refuses in a name (error 123)
    bool empty = false;      // the empty path names nothing (error 3)
    bool host = false;       // a path that starts with "/" names a host file directly
    char drive = 'c';        // lower-case drive letter when not host
    std::vector<std::string> components;
};

// wildcardsInLast: the last component may hold '*' and '?' (a search pattern); it is then kept as
// written, not applied as "." or "..".
ParsedPath Parse(const std::string& windowsPath, bool wildcardsInLast = false);

// Resolves the first `count` components of the path (all when count exceeds them). On failure the
// error is 3 for a missing folder on the way and 2 for a missing last component.
std::optional<std::filesystem::path> Resolve(const ParsedPath& path, size_t count, DWORD* error);

// The entry of an existing folder whose name matches without regard to case: the exact name when it
// exists, else the first matching name in byte order. Dangling links do not count.
std::optional<std::string> FindEntry(const std::filesystem::path& folder, const std::string& name);

// A name Windows would refuse: control characters, < > : " / \ | ? *.
bool IsBadNameChar(char c);

}  // namespace platform::winpath
