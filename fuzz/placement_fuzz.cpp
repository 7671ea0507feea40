// Any bytes as a placement file of the machine's xml folder, read the way the registry reads one: the
// objects, environmental data probes and protection zone it gives, with their models, conditions and
// docking guidance stops.
//
// Reading never throws; the count returned grows by exactly the entries and probes added; every name
// is the file's base name and ":" before a text from the file, every title a text from the file or one
// of the reader's own; every entry and probe stands at a finite position on the globe; request numbers
// are those of the file's range, each once; the conditions read evaluate. Reading the bytes again, from the file or from memory, gives the
// same objects, and reading them into lists that already hold a file's objects leaves those untouched
// and adds the same objects again, their request numbers moved on by the count.
#include "objects/ConditionExpression.h"
#include "objects/ConditionalVisibilityData.h"
#include "objects/EnviroDataProbe.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "objects/VDGS.h"
#include "scenery/PlacementReader.h"
#include "scenery/QuadTree.h"

#include "fuzz/fuzz_support.h"
#include "fuzz/quiet_log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kFolder = "c/ProgramData/Quorvath/VELK/xml";
const char* const kPath = "C:\\ProgramData\\Quorvath\\VELK\\xml\\Fuzz.placement.xml";
const char* const kNamePrefix = "Fuzz:";  // the base name of kPath and ":"
constexpr size_t kOwnTextRoom = 64;              // the longest text the reader adds to one from the file

std::filesystem::path MachineFolder() { return velk_fuzz::ScratchFolder() / "machine"; }

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What the checks compare of one object or probe.
struct ObjectView {
    std::string name;
    std::vector<std::string> titles;
    uint32_t requestId = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    double heading = 0.0;
    bool agl = false;
    std::vector<std::map<int32_t, double>> stops;                // per model
    std::vector<std::map<std::string, ConditionType>> conditions;  // per model

    bool operator==(const ObjectView& other) const
    {
        // Positions bit for bit: a debug object's may be NaN, and the same reading gives the same bits.
        return name == other.name && titles == other.titles && requestId == other.requestId &&
               SameBits(latitude, other.latitude) && SameBits(longitude, other.longitude) &&
               SameBits(altitude, other.altitude) && SameBits(heading, other.heading) && agl == other.agl &&
               stops == other.stops && conditions == other.conditions;
    }
};

ObjectView ViewOf(const SimObject& object)
{
    ObjectView view;
    view.name = object.GetName();
    view.requestId = object.GetRequestId();
    const PlacementData& placement = object.GetPlacement();
    view.latitude = placement.GetLatitude();
    view.longitude = placement.GetLongitude();
    view.altitude = placement.GetAltitude();
    view.heading = placement.GetHeading();
    view.agl = placement.IsAltitudeAgl();
    for (int32_t m = 0; m < object.GetModelCount(); ++m) {
        const SimObjectModel* model = object.GetModel(m);
        VELK_FUZZ_CHECK(model != nullptr);
        view.titles.push_back(model->GetSimTitle());
        view.stops.push_back(model->GetVDGS()->GetStopTable());
        view.conditions.push_back(model->GetConditionalVisibility()->GetConditionTable());
    }
    return view;
}

// A reader as the registry sets it up, with a fixed seed for the jetways' random door points.
struct Rig {
    PlacementReaderState state;
    PlacementReader reader{state};
    SimObjectList objects;
    EnviroDataProbeList probes;
    ProtectionZoneList zones;

    Rig()
    {
        state.platformId = "P3Dv5";
        reader.SetSeedSource([] { return 20240611u; });
    }

    std::vector<ObjectView> Objects() const
    {
        std::vector<ObjectView> views;
        for (int32_t i = 0; i < objects.Count(); ++i) views.push_back(ViewOf(*objects.At(i)));
        return views;
    }
    std::vector<ObjectView> Probes() const
    {
        std::vector<ObjectView> views;
        for (int32_t i = 0; i < probes.Count(); ++i) views.push_back(ViewOf(*probes.At(i)));
        return views;
    }
};

// One read, through the file or from memory; nothing may escape it.
int32_t Read(Rig& rig, int32_t running, const std::string* text)
{
    try {
        if (text != nullptr) {
            return rig.reader.ReadPlacementText(running, kPath, *text, rig.objects, rig.probes, &rig.zones, 0, -1);
        }
        return rig.reader.ReadPlacementFile(running, kPath, false, rig.objects, rig.probes, &rig.zones, 0, -1);
    } catch (...) {
        VELK_FUZZ_CHECK(!"the placement reader let an exception out");
    }
    return running;
}

bool IsFinite(const ObjectView& view)
{
    return std::isfinite(view.latitude) && std::isfinite(view.longitude) && std::isfinite(view.altitude) &&
           std::isfinite(view.heading);
}

bool OnTheGlobe(const ObjectView& view) { return std::fabs(view.latitude) <= 90.0 && std::fabs(view.longitude) <= 180.0; }

void CheckTexts(const ObjectView& view, size_t inputSize)
{
    VELK_FUZZ_CHECK(view.name.rfind(kNamePrefix, 0) == 0);
    VELK_FUZZ_CHECK(view.name.size() <= inputSize + kOwnTextRoom);
    for (const std::string& title : view.titles) VELK_FUZZ_CHECK(title.size() <= inputSize + kOwnTextRoom);
    for (const auto& stops : view.stops) {
        for (const auto& [code, distance] : stops) {
            VELK_FUZZ_CHECK(code >= 1 && code <= 47);
            VELK_FUZZ_CHECK(std::isfinite(distance));
        }
    }
    for (const auto& table : view.conditions) {
        for (const auto& entry : table) VELK_FUZZ_CHECK(!entry.first.empty());
    }
}

// The objects and probes one read added (from index `objectsBefore` and `probesBefore` on), against
// what the read returned.
void CheckRead(const Rig& rig, int32_t running, int32_t returned, int32_t objectsBefore, int32_t probesBefore,
               int32_t zonesBefore, size_t inputSize)
{
    const int32_t addedObjects = rig.objects.Count() - objectsBefore;
    const int32_t addedProbes = rig.probes.Count() - probesBefore;
    VELK_FUZZ_CHECK(addedObjects >= 0 && addedProbes >= 0);
    VELK_FUZZ_CHECK(returned - running == addedObjects + addedProbes);
    VELK_FUZZ_CHECK(rig.zones.Count() - zonesBefore <= 1);
    for (int32_t i = zonesBefore; i < rig.zones.Count(); ++i) {
        const SimBubbleProtectionZone* zone = rig.zones.At(i);
        VELK_FUZZ_CHECK(std::fabs(zone->GetLatitude()) <= 90.0 && std::fabs(zone->GetLongitude()) <= 180.0);
    }

    // Entries (a docking guidance's debug tape and stop markers among them) and probes take the numbers of
    // the file's range, each once.
    const uint32_t first = static_cast<uint32_t>(rig.objects.GetRequestIdBase()) + static_cast<uint32_t>(running);
    const uint32_t end = first + static_cast<uint32_t>(returned - running);
    std::set<uint32_t> taken;
    for (int32_t i = objectsBefore; i < rig.objects.Count(); ++i) {
        const ObjectView view = ViewOf(*rig.objects.At(i));
        CheckTexts(view, inputSize);
        VELK_FUZZ_CHECK(IsFinite(view) && OnTheGlobe(view));
        VELK_FUZZ_CHECK(view.requestId >= first && view.requestId < end);
        VELK_FUZZ_CHECK(taken.insert(view.requestId).second);
    }
    for (int32_t i = probesBefore; i < rig.probes.Count(); ++i) {
        const ObjectView view = ViewOf(*rig.probes.At(i));
        CheckTexts(view, inputSize);
        VELK_FUZZ_CHECK(IsFinite(view) && OnTheGlobe(view));
        VELK_FUZZ_CHECK(!view.agl);
        VELK_FUZZ_CHECK(view.requestId >= first && view.requestId < end);
        VELK_FUZZ_CHECK(taken.insert(view.requestId).second);
    }
}

// The views with their request numbers moved back by `shift`.
std::vector<ObjectView> Shifted(std::vector<ObjectView> views, int32_t shift)
{
    for (ObjectView& view : views) view.requestId -= static_cast<uint32_t>(shift);
    return views;
}

// Every model's conditions, as read, evaluated on a summer noon with some weather: the values the file
// gave reach the condition checks, and a model with a condition feature always gets a result.
void EvaluateConditions(Rig& rig)
{
    ConditionDateTime date;
    date.month = 7;
    date.dayOfYear = 190;
    date.dayOfMonth = 9;
    date.dayOfWeek = 2;
    date.timeOfDay = 2;
    date.zuluMinutes = 12 * 60;
    date.timeZoneOffset = -120;
    date.year = 2024;
    ConditionWeather weather;
    weather.windDirection = 250;
    weather.windSpeed = 12;
    weather.visibility = 8000;
    weather.precipitation = 4;
    weather.airTemperature = 21;
    ConditionExpression evaluator;
    for (int32_t i = 0; i < rig.objects.Count(); ++i) {
        SimObject& object = *rig.objects.At(i);
        for (int32_t m = 0; m < object.GetModelCount(); ++m) {
            SimObjectModel& model = *object.GetModel(m);
            const uint32_t kinds = ConditionalVisibilityData::KindsFromFeatures(
                [&model](int32_t feature) { return model.HasFeature(feature); });
            if (kinds == 0) continue;
            VELK_FUZZ_CHECK(
                model.GetConditionalVisibility()->EvaluateConditions(kinds, date, &weather, evaluator).has_value());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::create_directories(MachineFolder() / kFolder);
    setenv("VELK_MACHINE_ROOT", MachineFolder().c_str(), 1);
    velk_fuzz::QuietLog("VELK.XML");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        const std::string host = (MachineFolder() / kFolder / "Fuzz.placement.xml").string();
        std::ofstream out(host, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        VELK_FUZZ_CHECK(static_cast<bool>(out));
    }

    Rig first;
    const int32_t count = Read(first, 0, nullptr);
    CheckRead(first, 0, count, 0, 0, 0, size);
    const std::vector<ObjectView> objects = first.Objects();
    const std::vector<ObjectView> probes = first.Probes();

    // The same bytes again: from the file, and from memory.
    Rig again;
    VELK_FUZZ_CHECK(Read(again, 0, nullptr) == count);
    VELK_FUZZ_CHECK(again.Objects() == objects);
    VELK_FUZZ_CHECK(again.Probes() == probes);
    VELK_FUZZ_CHECK(again.zones.Count() == first.zones.Count());
    Rig memory;
    VELK_FUZZ_CHECK(Read(memory, 0, &text) == count);
    VELK_FUZZ_CHECK(memory.Objects() == objects);
    VELK_FUZZ_CHECK(memory.Probes() == probes);
    EvaluateConditions(memory);

    // Into the lists of the first read, after its count: what was there stays, the same is added.
    const int32_t total = Read(first, count, nullptr);
    CheckRead(first, count, total, static_cast<int32_t>(objects.size()), static_cast<int32_t>(probes.size()),
              again.zones.Count(), size);
    VELK_FUZZ_CHECK(total - count == count);
    const std::vector<ObjectView> allObjects = first.Objects();
    const std::vector<ObjectView> allProbes = first.Probes();
    VELK_FUZZ_CHECK(std::vector<ObjectView>(allObjects.begin(), allObjects.begin() + objects.size()) == objects);
    VELK_FUZZ_CHECK(std::vector<ObjectView>(allProbes.begin(), allProbes.begin() + probes.size()) == probes);
    VELK_FUZZ_CHECK(Shifted({allObjects.begin() + objects.size(), allObjects.end()}, count) == objects);
    VELK_FUZZ_CHECK(Shifted({allProbes.begin() + probes.size(), allProbes.end()}, count) == probes);
    return 0;
}
