// orvane's log file: what reaches it from outside is escaped, so every line is one line with its time
// stamp; a file that cannot be written is said once on standard error and the program goes on.
#include "app/LogFile.h"

#include <gtest/gtest.h>
#include <log4cpp/Category.hh>
#include <log4cpp/PatternLayout.hh>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A category of its own with the program's appender and layout on fd; removed again at the end.
class LogTo {
public:
    LogTo(const char* name, int fd) : category_(log4cpp::Category::getInstance(name))
    {
        auto* appender = new program::LogFileAppender(name, fd, "VELK.log");
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("[%d{%H:%M:%S.%l}] %p %c : %m%n");
        appender->setLayout(layout);
        category_.setAdditivity(false);
        category_.setPriority(log4cpp::Priority::DEBUG);
        category_.addAppender(appender);
    }
    ~LogTo() { category_.removeAllAppenders(); }
    log4cpp::Category& operator*() { return category_; }

private:
    log4cpp::Category& category_;
};

std::vector<std::string> FileLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(LogFile, TextsFromOutsideCanNeitherBreakNorForgeALine)
{
    char path[] = "/tmp/velk-log-test-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    {
        LogTo log("VELK.TEST.ESCAPE", fd);
        const std::string forged = "GATE\n[12:00:00.000] INFO VELK.FSLOOP : Jetway docked\r\n";
        (*log).error("[API::INFORM] No model folder for jetway title '%s'!", forged.c_str());
        (*log).warn("%s", std::string("bytes \x01\x7F\x80\xFF end", 14).c_str());
        (*log).error("Process Watchdog CreateTimerQueue failed (%d)\n", 5);  // the program's own line end
        (*log).info("%s", std::string(program::kMaxLogMessageBytes + 100, 'x').c_str());
    }
    const std::vector<std::string> lines = FileLines(path);
    std::remove(path);
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    const std::regex stamped(R"(\[\d\d:\d\d:\d\d\.\d\d\d\] (DEBUG|INFO|WARN|ERROR|FATAL) VELK\.TEST\.ESCAPE : .*)");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
        for (const char c : line) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << line;
    }
    EXPECT_NE(lines[0].find(" : [API::INFORM] No model folder for jetway title "
                            "'GATE\\x0A[12:00:00.000] INFO VELK.FSLOOP : Jetway docked\\x0D\\x0A'!"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(" : bytes \\x01\\x7F\\x80\\xFF end"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(" : Process Watchdog CreateTimerQueue failed (5)"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[2].substr(lines[2].size() - 3), "(5)");
    EXPECT_EQ(lines[3].substr(lines[3].find(" : ") + 3), std::string(program::kMaxLogMessageBytes, 'x'));
}

// A full disk: every write fails; standard error hears of it once, and logging goes on without harm.
TEST(LogFile, AFileThatCannotBeWrittenIsSaidOnceOnStandardError)
{
    const int fd = open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    ::testing::internal::CaptureStderr();
    {
        LogTo log("VELK.TEST.FULL", fd);
        for (int i = 0; i < 100; ++i) (*log).info("line %d", i);
    }
    const std::string errors = ::testing::internal::GetCapturedStderr();
    const std::string said = "orvane: cannot write the log file VELK.log (No space left on device)";
    const size_t first = errors.find(said);
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find(said, first + 1), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
