// A small world for the sim-bubble tests: placed objects in a full list and a quadtree around a bubble
// centre, probes, and a capture of what the bubble logs on "VELK.FSLOOP" ("PRIORITY message" per line).
#pragma once

#include "foundation/GeoMath.h"
#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SimBubble.h"

#include <gtest/gtest.h>
#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace simbubble_testing {

using Strings = std::vector<std::string>;
using Indices = std::vector<int32_t>;

constexpr double kLat = 47.0;
constexpr double kLon = 8.0;

// Captures one category's lines while alive.
class LogCapture {
public:
    explicit LogCapture(const char* name) : category_(log4cpp::Category::getInstance(name))
    {
        auto* appender = new log4cpp::OstreamAppender("simbubble-capture", &text_);
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%p %m%n");
        appender->setLayout(layout);
        category_.removeAllAppenders();
        category_.addAppender(appender);  // owned by the category
        category_.setAdditivity(false);
        category_.setPriority(log4cpp::Priority::DEBUG);
    }
    ~LogCapture() { category_.removeAllAppenders(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    log4cpp::Category& Category() { return category_; }
    Strings Lines() const
    {
        Strings lines;
        std::istringstream in(text_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool Logged(const std::string& line) const
    {
        const Strings lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    void Clear() { text_.str(""); }

private:
    log4cpp::Category& category_;
    std::ostringstream text_;
};

// The position at a distance (metres) and bearing (degrees) from the bubble centre.
inline void At(double metres, double bearing, double& latitude, double& longitude)
{
    GeoMath::OffsetLatLon(kLat, kLon, bearing, metres, latitude, longitude);
}

// Objects of the full list are added first, then indexed all at once: the list may move them while it
// grows, and the quadtree points into it.
class World {
public:
    // An object named "file:name" at a distance and bearing from the centre, with object features (and
    // the same features on its one model, titled by its name).
    SimObject& Place(const std::string& name, double metres, double bearing, const std::vector<int32_t>& features,
                     int32_t group = -1)
    {
        double latitude = 0.0;
        double longitude = 0.0;
        At(metres, bearing, latitude, longitude);
        return PlaceAt(name, latitude, longitude, features, group);
    }
    SimObject& PlaceAt(const std::string& name, double latitude, double longitude,
                       const std::vector<int32_t>& features, int32_t group = -1)
    {
        SimObject object;
        object.SetName(name);
        object.SetPlacement(latitude, longitude, 100.0, false, false, 0.0, 0.0, 0.0);
        object.SetGroupIndex(group);
        SimObjectModel& model = object.AddModel(name);
        for (int32_t f : features) {
            object.SetFeature(f);
            model.GetFeatures()->Set(f);
        }
        pending_.push_back(object);
        return pending_.back();
    }
    void AddProbe(const std::string& name, double metres, double bearing)
    {
        EnviroDataProbe probe;
        probe.SetName(name);
        double latitude = 0.0;
        double longitude = 0.0;
        At(metres, bearing, latitude, longitude);
        probe.SetPlacement(latitude, longitude, 0.0, false, false, 0.0, 0.0, 0.0);
        probes.Add(probe);
    }
    // Moves the pending objects into the full list and indexes them.
    void Index()
    {
        for (const SimObject& o : pending_) all.Add(o);
        pending_.clear();
        tree.Clear();
        for (int32_t i = 0; i < all.Count(); ++i) {
            SimObject* o = all.At(i);
            tree.Insert(QuadTreeEntry{o->GetLatitude(), o->GetLongitude(), o->GetGroupIndex(), o});
        }
    }
    // The active objects' names in list order.
    Strings ActiveNames() const
    {
        Strings names;
        for (int32_t i = 0; i < active.Count(); ++i) names.push_back(active.At(i)->GetName());
        return names;
    }
    std::string NameAt(int32_t index) const
    {
        const SimObject* o = active.At(index);
        return o == nullptr ? "<none>" : o->GetName();
    }
    Strings NamesOf(const Indices& indices) const
    {
        Strings names;
        for (int32_t i : indices) names.push_back(NameAt(i));
        return names;
    }
    std::vector<Strings> RecordNames(const std::vector<CandidateRecord>& records) const
    {
        std::vector<Strings> out;
        for (const CandidateRecord& r : records) {
            EXPECT_EQ(r.distance, -1.0);
            out.push_back(NamesOf(r.indices));
        }
        return out;
    }

    SimObjectList all;
    SimObjectList active;
    EnviroDataProbeList probes;
    EnviroDataProbeList activeProbes;
    QuadTree tree{QuadTree::WorldBox()};

private:
    std::vector<SimObject> pending_;
};

inline std::vector<Strings> Sorted(std::vector<Strings> records)
{
    for (Strings& r : records) std::sort(r.begin(), r.end());
    std::sort(records.begin(), records.end());
    return records;
}
inline Strings Sorted(Strings names)
{
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace simbubble_testing
