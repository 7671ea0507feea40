// Shared pieces of the placement reader tests: a capture of the "VELK.XML" log, and a reader with its
// lists that reads a document text.
#pragma once

#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "scenery/PlacementReader.h"
#include "scenery/QuadTree.h"

#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace placement_testing {

// Every line the reader logs, as "PRIORITY message".
class LogCapture {
public:
    LogCapture() : category_(log4cpp::Category::getInstance("VELK.XML"))
    {
        appender_ = new log4cpp::OstreamAppender("placement-capture", &out_);
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%p %m%n");
        appender_->setLayout(layout);
        category_.removeAllAppenders();
        category_.addAppender(appender_);
        category_.setAdditivity(false);
        category_.setPriority(log4cpp::Priority::DEBUG);
    }
    ~LogCapture() { category_.removeAppender(appender_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

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
    size_t Count(const std::string& line) const
    {
        const auto lines = Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
    bool HasPrefix(const std::string& prefix) const
    {
        for (const std::string& line : Lines()) {
            if (line.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
    void Clear() { out_.str(""); }

private:
    log4cpp::Category& category_;
    std::ostringstream out_;
    log4cpp::Appender* appender_;
};

// A reader under "P3Dv5" with a fixed seed and no scenery library.
struct ReaderRig {
    PlacementReaderState state;
    PlacementReader reader{state};
    SimObjectList objects;
    EnviroDataProbeList probes;
    ProtectionZoneList zones;

    explicit ReaderRig(std::string platform = "P3Dv5")
    {
        state.platformId = std::move(platform);
        reader.SetSeedSource([] { return 12345u; });
    }

    int32_t Read(const std::string& text, int32_t running = 0, const std::string& path = "C:\\xml\\Test.file.xml",
                 uint8_t configurationFlag = 0, int32_t configurationNumber = -1)
    {
        return reader.ReadPlacementText(running, path, text, objects, probes, &zones, configurationFlag,
                                        configurationNumber);
    }

    // Wraps SimObject text in a root.
    int32_t ReadBody(const std::string& body) { return Read("<VELK>" + body + "</VELK>"); }

    SimObject* Find(const std::string& name) { return objects.FindByName(name); }
};

// One SimObject with one placement and the given model text.
inline std::string SimObjectXml(const std::string& name, const std::string& models,
                                const std::string& placement = "<Placement Lat=\"47.5\" Lon=\"8.5\" Alt=\"0#AGL\" Hdg=\"90\"/>")
{
    return "<SimObject Name=\"" + name + "\">" + placement + models + "</SimObject>";
}

}  // namespace placement_testing
