// Captures what a log4cpp category writes, one "PRIORITY message" line each, for the life of the capture.
#pragma once

#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>

#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

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

    log4cpp::Category& category() { return category_; }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(out_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    bool Has(const std::string& line) const
    {
        for (const std::string& l : Lines())
            if (l == line) return true;
        return false;
    }

    // Lines that begin with the priority name ("ERROR", "WARN", "DEBUG").
    std::vector<std::string> Priority(const std::string& priority) const
    {
        std::vector<std::string> found;
        for (const std::string& line : Lines())
            if (line.rfind(priority + " ", 0) == 0) found.push_back(line);
        return found;
    }

    void Clear() { out_.str(""); }

private:
    log4cpp::Category& category_;
    std::ostringstream out_;
    log4cpp::Appender* appender_;
};

}  // namespace testsupport
