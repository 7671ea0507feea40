// The folder that stands for the Windows machine, and the mapping of Windows paths into it.
#pragma once

#include "platform/wintypes.h"

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// VELK_MACHINE_ROOT, or "velk-machine" in $XDG_DATA_HOME (else ~/.local/share). Read at every call.
std::filesystem::path MachineRoot();

// Maps an existing file or folder: drive "X:" is the root's subfolder "x", "\" and "/" both separate,
// doubled separators collapse, "." and ".." are resolved on the text, a path without a drive is taken
// from the current directory "C:\" and every component is matched without regard to case (an exact
// match first). On failure the result is empty and *error (when given) is 2 or 3 as Windows reports
// (123 for a name with characters Windows refuses). A path that begins with "/" names a host file
// directly (test fixtures, the host path GetModuleFileNameA gives outside the machine root); its
// components are matched the same way.
std::optional<std::filesystem::path> ResolveExisting(const std::string& windowsPath, DWORD* error = nullptr);

// As ResolveExisting for the part that exists; the components that do not exist yet are appended as
// written. Used to name a file that is about to be created (the log file, for example).
std::filesystem::path ResolveForWrite(const std::string& windowsPath);

// The Windows form ("C:\...") of a host path inside the machine root; empty when it lies outside.
std::string ToWindowsPath(const std::filesystem::path& hostPath);

}  // namespace platform
