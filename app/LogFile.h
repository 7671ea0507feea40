// orvane's log file: each line written whole, its message escaped so that no text from outside can end
// a line early or begin a forged one, and a file that cannot be written told once on standard error.
// Any thread may log; the write of one line is one call.
#pragma once

#include <log4cpp/LayoutAppender.hh>

#include <atomic>
#include <cstddef>
#include <string>

namespace program {

// Longest message of one line, in bytes before escaping; the rest of a longer one is cut.
constexpr std::size_t kMaxLogMessageBytes = 4096;

// The message as a log line carries it: the line ends the program's own formats put at its end left
// out (the layout ends the line), cut at kMaxLogMessageBytes, every other control or non-ASCII byte
// escaped as \xNN.
std::string LogLineText(const std::string& message);

class LogFileAppender : public log4cpp::LayoutAppender {
public:
    // Writes to fd, which it owns; path only names the file in the message on standard error.
    LogFileAppender(const std::string& name, int fd, std::string path);
    ~LogFileAppender() override;
    LogFileAppender(const LogFileAppender&) = delete;
    LogFileAppender& operator=(const LogFileAppender&) = delete;

    bool reopen() override { return true; }
    void close() override;

protected:
    void _append(const log4cpp::LoggingEvent& event) override;

private:
    int fd_;
    const std::string path_;
    std::atomic<bool> failureTold_{false};
};

}  // namespace program
