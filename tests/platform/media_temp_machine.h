// A temporary machine root for the RIFF and sound tests: files are written under drive C:.
// Runs on the test's thread.
#pragma once

#include "tests/support/TempMachineRoot.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testing_riff {

class TempMachine : public testsupport::TempMachineRoot {
public:
    TempMachine() : TempMachineRoot(Options{.label = "sound"}) {}

    // Writes C:\<relative> (relative uses "/" between folders) and returns its Windows path.
    std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes)
    {
        MakeFile("c/" + relative, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        std::string windows = "C:\\" + relative;
        for (char& c : windows)
            if (c == '/') c = '\\';
        return windows;
    }
};

}  // namespace testing_riff
