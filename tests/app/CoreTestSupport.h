// Helpers of the core tests: a temporary machine root with the program data folder, the log lines the
// code writes, and the messages of a connection.
#pragma once

#include "platform/simconnect/SimConnect.h"
#include "tests/simulator/SimTestSupport.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>
#include <log4cpp/Category.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/StringQueueAppender.hh>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace coretest {

// A temporary machine root named by VELK_MACHINE_ROOT, with the program data folder made. Short: the
// simulator's socket lives in it.
class TempMachineRoot : public testsupport::TempMachineRoot {
public:
    TempMachineRoot() : testsupport::TempMachineRoot(Options{.label = "core", .shortPath = true, .driveC = false})
    {
        std::filesystem::create_directories(DataFolder());
    }

    std::filesystem::path DataFolder() const { return Root() / "c/ProgramData/Quorvath/VELK"; }
    void WriteSettings(const std::string& text) const
    {
        std::ofstream(DataFolder() / "orvane.ini", std::ios::binary) << text;
    }
    void RemoveSettings() const { std::filesystem::remove(DataFolder() / "orvane.ini"); }
};

// Every line logged through the root category while it lives, as "PRIORITY category : message".
class LogCapture {
public:
    LogCapture()
    {
        appender_ = new log4cpp::StringQueueAppender("capture");
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%p %c : %m");
        appender_->setLayout(layout);
        log4cpp::Category& root = log4cpp::Category::getRoot();
        root.setPriority(log4cpp::Priority::DEBUG);
        root.addAppender(appender_);
    }
    ~LogCapture() { log4cpp::Category::getRoot().removeAppender(appender_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines()
    {
        auto& queue = appender_->getQueue();
        while (!queue.empty()) {
            lines_.push_back(queue.front());
            queue.pop();
        }
        return lines_;
    }
    void Clear()
    {
        Lines();
        lines_.clear();
    }
    // Index of the first line that contains text, -1 when none does.
    int Find(const std::string& text)
    {
        const auto lines = Lines();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
        return -1;
    }
    bool Has(const std::string& text) { return Find(text) >= 0; }
    int Count(const std::string& text)
    {
        const auto lines = Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(text) != std::string::npos;
        }));
    }
    // True when every text is found, each on a later line than the one before.
    bool InOrder(const std::vector<std::string>& texts)
    {
        const auto lines = Lines();
        size_t at = 0;
        for (const std::string& text : texts) {
            while (at < lines.size() && lines[at].find(text) == std::string::npos) ++at;
            if (at == lines.size()) {
                ADD_FAILURE() << "not found in order: " << text;
                return false;
            }
            ++at;
        }
        return true;
    }

private:
    log4cpp::StringQueueAppender* appender_;
    std::vector<std::string> lines_;
};

using simtest::As;
using simtest::Collect;
using simtest::Kind;
using simtest::Message;
using simtest::OfKind;
using simtest::Record;

// Every pending message; unlike the simulator tests' Drain, a closed connection is no failure here.
inline std::vector<Message> Drain(HANDLE h)
{
    std::vector<Message> out;
    SimConnect_CallDispatch(h, Collect, &out);
    return out;
}

}  // namespace coretest
