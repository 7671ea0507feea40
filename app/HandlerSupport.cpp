#include "app/HandlerSupport.h"

#include "app/Program.h"
#include "app/Settings.h"
#include "jetway/JetwayHandler.h"
#include "link/SimConnectImpl.h"
#include "link/SimStatus.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"
#include "scenery/SimBubble.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>

namespace program {

namespace {
constexpr double kDefaultTriggerRange = 12000.0;
constexpr DWORD kCreationFinished = 1;
}

bool IsDebugMode()
{
    return Parts().settings && Parts().settings->IsDebugMode();
}

bool IsSimPaused()
{
    return Parts().simStatus && Parts().simStatus->IsPaused();
}

const std::atomic<bool>* PausedFlag()
{
    return Parts().simStatus ? Parts().simStatus->GetPausedFlag() : nullptr;
}

double TriggerRange()
{
    const SimBubble* bubble = Parts().simBubble.get();
    return bubble ? static_cast<double>(bubble->GetTriggerRange()) : kDefaultTriggerRange;
}

UserAircraft* User()
{
    return Parts().activeObjects ? &Parts().activeObjects->GetUserAircraft() : nullptr;
}

SimObject* FindActiveObject(uint32_t id)
{
    return id != 0 && Parts().activeObjects ? Parts().activeObjects->FindByObjectId(id) : nullptr;
}

SimObject* FindJetwayObject(uint32_t id)
{
    if (id == 0) return nullptr;
    if (SimObject* object = FindActiveObject(id)) return object;
    return Parts().jetwayHandler ? Parts().jetwayHandler->FindJetway(id) : nullptr;
}

Jetway* CurrentJetway(SimObject& object)
{
    SimObjectModel* model = object.GetCurrentModel();
    return model ? model->GetJetway() : nullptr;
}

Jetway* SoundJetway(SimObject& object)
{
    SimObjectModel* model = object.HasMultipleModels() ? object.GetModel(0) : object.GetCurrentModel();
    return model ? model->GetJetway() : nullptr;
}

void WriteRestPose(SimObject& object, Jetway& jetway)
{
    jetway.SetDataValues4(object.GetLatitude(), object.GetLongitude(), object.GetAltitude(), object.GetHeading());
    const JetwayMotionRecord pose = jetway.ComputeParkedPose();
    Sim().SetJetwayMotion(object.GetObjectId(), &pose);
}

void PeerLine(log4cpp::Priority::Value priority, const std::string& line)
{
    std::map<std::string, uint64_t>& counts = Flags().simulatorErrors;
    auto entry = counts.find(line);
    if (entry == counts.end()) {
        // Past the limit every new text shares one count (the empty key, which no line has).
        entry = counts.size() < kMaxPeerLineTexts ? counts.emplace(line, 0).first : counts.try_emplace("", 0).first;
    }
    const uint64_t count = ++entry->second;
    if (count == 1) {
        LoopLog().log(priority, "%s", line.c_str());
        return;
    }
    uint64_t mark = 10;
    while (mark < count && mark <= UINT64_MAX / 10) mark *= 10;
    if (count == mark)
        LoopLog().log(priority, "%s ... repeated %llu times", line.c_str(), static_cast<unsigned long long>(count));
}

void PeerLog(log4cpp::Priority::Value priority, const char* format, ...)
{
    if (!LoopLog().isPriorityEnabled(priority)) return;
    va_list args;
    va_start(args, format);
    char buffer[1024];
    const int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (length < 0) return;
    PeerLine(priority, std::string(buffer, std::min(static_cast<size_t>(length), sizeof(buffer) - 1)));
}

void SimulatorError(const std::string& line)
{
    PeerLine(log4cpp::Priority::ERROR, line);
}

void SendCreationFinished()
{
    Sim().TransmitEventWithData(velk_ids::EventInjectionFinished, kCreationFinished);
}

void SayNoJetwayServes(const std::string& tag, const std::string& aircraft, const std::vector<std::string>& doors,
                       const StandData& stand, const std::vector<int32_t>& multiIndices)
{
    std::string doorList, indexList;
    for (const std::string& door : doors) doorList += (doorList.empty() ? "" : ", ") + door;
    for (int32_t index : multiIndices) indexList += (indexList.empty() ? "" : ", ") + std::to_string(index);
    const std::string standName =
        stand.GetAirportIcao() + " " + stand.GetGateName() + " " + std::to_string(stand.GetParkingNumber());
    if (!Flags().unservedDockings.insert(aircraft + "|" + doorList + "|" + standName).second) return;
    LoopLog().info("%s No jetway of stand %s can serve a door of %s (doors %s; jetway MultiIndex %s): nothing "
                   "docks. A stand's only jetway serves door 2L; of several, each serves the door of its "
                   "MultiIndex's number (MultiIndex 3: 1L Upper).",
                   tag.c_str(), standName.c_str(), aircraft.c_str(), doorList.c_str(), indexList.c_str());
}

std::string StandKey(const StandData& stand)
{
    return stand.GetAirportIcao() + ":" + stand.GetGateName() + ":" + std::to_string(stand.GetParkingNumber()) + ":" +
           stand.GetCustomDesignator() + ":" + stand.GetCustomNumber();
}

void NearestByKey::Record(const std::string& key, double distance)
{
    const auto [entry, added] = values_.emplace(key, distance);
    if (!added) entry->second = (entry->second + distance) * 0.5;
}

std::optional<std::string> NearestByKey::Nearest(double limit) const
{
    const std::string* nearest = nullptr;
    double best = limit;
    for (const auto& [key, value] : values_)
        if (value < best) {
            nearest = &key;
            best = value;
        }
    return nearest ? std::optional<std::string>(*nearest) : std::nullopt;
}

}  // namespace program
