// Helpers of the aircraft data tests: a temporary machine root with an aircraft folder and the program
// data folder, and a capture of what a log category writes ("PRIORITY message" a line).
#pragma once

#include <gtest/gtest.h>
#include "tests/support/LogCapture.h"

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
class AircraftFilesTest : public ::testing::Test {
protected:
    static constexpr const char* kAircraftFolder = "C:\\Sim\\Airplanes\\A320\\";

    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velk-aircraft-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        const char* previous = getenv("VELK_MACHINE_ROOT");
        hadPrevious_ = previous != nullptr;
        if (hadPrevious_) previous_ = previous;
        setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
        std::filesystem::create_directories(root_ / "c" / "Sim" / "Airplanes" / "A320");
        std::filesystem::create_directories(root_ / "c" / "ProgramData" / "Quorvath" / "VELK");
    }

    void TearDown() override
    {
        if (hadPrevious_) setenv("VELK_MACHINE_ROOT", previous_.c_str(), 1);
        else unsetenv("VELK_MACHINE_ROOT");
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
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

    std::filesystem::path root_;

private:
    bool hadPrevious_ = false;
    std::string previous_;
};

}  // namespace aircrafttest
