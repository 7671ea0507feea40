// Helpers of the aircraft data tests: a temporary machine root with an aircraft folder and the program
// data folder, and a capture of what a log category writes ("PRIORITY message" a line).
#pragma once

#include <gtest/gtest.h>
#include "tests/support/LogCapture.h"
#include "tests/support/TempMachineRoot.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace aircrafttest {

// The shared capture, with the category as a pointer as the readers take it.
class LogCapture : public testsupport::LogCapture {
public:
    using testsupport::LogCapture::LogCapture;
    log4cpp::Category* category() { return &testsupport::LogCapture::category(); }
};

// The machine root: the aircraft folder "C:\Sim\Airplanes\A320\" and the program data folder
// "C:\ProgramData\Quorvath\VELK". Files are written with host calls, not through the layer under test.
class AircraftFilesTest : public testsupport::MachineRootTest {
protected:
    static constexpr const char* kAircraftFolder = "C:\\Sim\\Airplanes\\A320\\";

    AircraftFilesTest() : MachineRootTest({.label = "aircraft"}) {}

    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFolder("c/Sim/Airplanes/A320");
        MakeFolder("c/ProgramData/Quorvath/VELK");
    }

    void Write(const std::filesystem::path& path, const std::string& contents) const
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << contents;
    }
    void WriteAircraft(const std::string& name, const std::string& contents) const
    {
        Write(root_ / "c" / "Sim" / "Airplanes" / "A320" / name, contents);
    }
    void WriteProgramData(const std::string& name, const std::string& contents) const
    {
        Write(root_ / "c" / "ProgramData" / "Quorvath" / "VELK" / name, contents);
    }
};

}  // namespace aircrafttest
