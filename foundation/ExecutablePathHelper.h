// The program's own file and its program data folder.
#pragma once

#include <string>

class ExecutablePathHelper {
public:
    ExecutablePathHelper() = default;
    virtual ~ExecutablePathHelper() = default;

    // Common application data + "\Quorvath\VELK", no trailing separator; "" when the shell call fails.
    static std::string GetProgramDataFolder();
    // Full path of the running program file; "" when it cannot be had.
    static std::string GetExecutablePath();
    // GetExecutablePath up to its last "\" or "/"; the whole path when it holds neither.
    static std::string GetExecutableFolder();
};
