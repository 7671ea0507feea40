// Helpers of the aircraft data tests: a temporary machine root with an aircraft folder and the program
// data folder, and a capture of what a log category writes ("PRIORITY message" a line).
#pragma once

#include <gtest/gtest.h>
#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace aircrafttest {

class LogCapture {
public:
    explicit LogCapture(const std::string& name) : category_(log4cpp::Category::getInstance(name))
    {
        appender_ = new log4cpp::OstreamAppender("capture", &out_);
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%p %m%n");
        appender_->setLayout(layout);
        category_.removeAllAppenders();
        category_.addAppender(appender_);  // owned by the category from now on
        category_.setAdditivity(false);
        category_.setPriority(log4cpp::Priority::DEBUG);
    }
    ~LogCapture() { category_.removeAppender(appender_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    log4cpp::Category* category() { return &category_; }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(out_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool Has(const std::string& line) const
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Lines that begin with the priority name ("ERROR", "WARN", "DEBUG").
    std::vector<std::string> Priority(const std::string& priority) const
    {
        std::vector<std::string> found;
        for (const std::string& line : Lines()) {
            if (line.rfind(priority + " ", 0) == 0) found.push_back(line);
        }
        return found;
    }
    void Clear() { out_.str(""); }

private:
    log4cpp::Category& category_;
    std::ostringstream out_;
    log4cpp::Appender* appender_;
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
