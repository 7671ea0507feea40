// Captures what the placement reader's log category writes, one "PRIORITY message" line each.
#pragma once

#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>

#include <sstream>
#include <string>
#include <vector>

namespace conditional_testing {

class XmlLogCapture {
public:
    XmlLogCapture() : category_(log4cpp::Category::getInstance("VELK.XML"))
    {
        appender_ = new log4cpp::OstreamAppender("conditional-capture", &out_);
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%p %m%n");
        appender_->setLayout(layout);
        category_.removeAllAppenders();
        category_.addAppender(appender_);  // owned by the category from now on
        category_.setAdditivity(false);
        category_.setPriority(log4cpp::Priority::DEBUG);
    }
    ~XmlLogCapture() { category_.removeAppender(appender_); }
    XmlLogCapture(const XmlLogCapture&) = delete;
    XmlLogCapture& operator=(const XmlLogCapture&) = delete;

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(out_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    void Clear() { out_.str(""); }

private:
    log4cpp::Category& category_;
    std::ostringstream out_;
    log4cpp::Appender* appender_;
};

}  // namespace conditional_testing
