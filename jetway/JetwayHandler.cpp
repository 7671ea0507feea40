#include "jetway/JetwayHandler.h"

#include "aircraft/ExitData.h"
#include "aircraft/UserAircraft.h"
#include "foundation/Units.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"

#include <algorithm>
#include <limits>
#include <cctype>
#include <cmath>
#include <cstring>

namespace {

// The number of jetways a stand answer reports (its entries stop at four).
uint32_t CountOf(std::size_t jetways)
{
    return static_cast<uint32_t>(std::min<std::size_t>(jetways, std::numeric_limits<uint32_t>::max()));
}

constexpr double kTwoPi = 2.0 * units::kPi;
// Ahead-left of the aircraft: relative bearings strictly between 240 and 359.5 degrees.
constexpr double kBearingLow = 4.1887902047863905;
constexpr double kBearingHigh = 6.274458660919614;
// Beyond 349 degrees a jetway must also face the aircraft.
constexpr double kFacingBearing = 6.09119908946021;
constexpr double kFacingBelow = 0.08726646259971647;  // 5 degrees
constexpr double kFacingAbove = units::kPi / 2.0;      // 90 degrees

double Wrap(double x)
{
    double r = std::fmod(x, kTwoPi);
    if (r < 0.0) r += kTwoPi;
    return r;
}

// The jetway an object's geometry comes from: model 1 when the object has several models (model 0 is
// the static one), else the current model.
const Jetway* JetwayOf(const SimObject& object)
{
    const SimObjectModel* model = object.HasMultipleModels() ? object.GetModel(1) : object.GetCurrentModel();
    return model ? model->GetJetway() : nullptr;
}

// A chosen slot: the jetway's type, its record's double at 5056 and its state. A jetway without a record
// to read is answered at rest and undocked.
void DescribeSlot(const SimObject& object, uint32_t slot, StandJetwayStatus& status)
{
    status.states[slot] = StandJetwayStatus::kStateUndocked;
    const Jetway* jetway = JetwayOf(object);
    if (!jetway) return;
    const JetwayData& record = jetway->GetRecord();
    status.types[slot] = record.JetwayType;
    status.rootFloorHeights[slot] = record.RootFloorHeight;
    if (record.Moving)
        status.states[slot] = record.Docked ? StandJetwayStatus::kStateMovingDocked : StandJetwayStatus::kStateMovingUndocked;
    else
        status.states[slot] = record.Docked ? StandJetwayStatus::kStateDocked : StandJetwayStatus::kStateUndocked;
}

// Every slot past the chosen jetways answers empty.
void MarkEmptySlots(uint32_t chosen, StandJetwayStatus& status)
{
    for (uint32_t i = chosen; i < StandJetwayInfo::kSlots; ++i) status.states[i] = StandJetwayStatus::kStateEmpty;
}

void CopyName(char (&field)[StandJetwayInfo::kNameSize], const std::string& name)
{
    const std::size_t n = std::min(name.size(), sizeof field - 1);
    std::memcpy(field, name.data(), n);
    field[n] = '\0';
}

void SortByMultiIndex(std::vector<SimObject*>& list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const SimObject* a, const SimObject* b) { return a->GetMultiIndex() < b->GetMultiIndex(); });
}

void SortByDistance(std::vector<SimObject*>& list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const SimObject* a, const SimObject* b) { return a->GetSortValue1() < b->GetSortValue1(); });
}

uint32_t StandNumber(const StandData& stand)
{
    const int32_t n = stand.GetParkingNumber();
    return n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
}

template <typename T>
bool EraseFirst(std::vector<T>& list, const T& value)
{
    const auto it = std::find(list.begin(), list.end(), value);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

}  // namespace

// ---- Jobs -----------------------------------------------------------------------------------------

void JetwayHandler::RegisterJetway(Jetway& jetway)
{
    const uint32_t id = jetway.GetRecord().JetwayObjectId;
    if (id == 0) return;
    jobs_[id] = &jetway;
}

void JetwayHandler::UnregisterJetway(uint32_t id)
{
    jobs_.erase(id);
    EraseFirst(queued_, id);
}

bool JetwayHandler::IsRegistered(uint32_t id) const { return id != 0 && jobs_.count(id) != 0; }

bool JetwayHandler::AddActive(uint32_t id)
{
    if (id == 0) return false;
    return active_.insert(id).second;
}

uint32_t JetwayHandler::EraseActive(uint32_t id) { return static_cast<uint32_t>(active_.erase(id)); }

bool JetwayHandler::IsActive(uint32_t id) const { return id != 0 && active_.count(id) != 0; }

// ---- External jetways -----------------------------------------------------------------------------

bool JetwayHandler::AddExternalJetway(const SimObject& object)
{
    const uint32_t id = object.GetObjectId();
    if (id == 0) return false;
    const bool added = external_.emplace(id, object).second;

    const StandData& stand = object.GetStandData();
    if (stand.GetGateName() != "NONE") {
        std::vector<uint32_t>& ids = externalStands_[stand.GetStandKey()][StandNumber(stand)];
        // A repeated announcement must not count the jetway twice at its stand.
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    return added;
}

uint32_t JetwayHandler::RemoveExternalJetway(uint32_t id)
{
    if (id == 0) return 0;
    for (auto key = externalStands_.begin(); key != externalStands_.end();) {
        for (auto number = key->second.begin(); number != key->second.end();) {
            std::erase(number->second, id);
            number = number->second.empty() ? key->second.erase(number) : std::next(number);
        }
        key = key->second.empty() ? externalStands_.erase(key) : std::next(key);
    }
    const auto it = external_.find(id);
    if (it == external_.end()) return 0;
    // A job of this jetway must not outlive the object that owns it: drop it from the job map and end
    // its motion and sound before the object goes.
    SimObject& object = it->second;
    for (int32_t m = 0; m < object.GetModelCount(); ++m) {
        const Jetway* jetway = object.GetModel(m)->GetJetway();
        std::erase_if(jobs_, [jetway](const auto& job) { return job.second == jetway; });
    }
    object.StopActivity();
    external_.erase(it);
    return 1;
}

SimObject* JetwayHandler::FindJetway(uint32_t id)
{
    if (id == 0) return nullptr;
    const auto it = external_.find(id);
    return it == external_.end() ? nullptr : &it->second;
}

std::vector<uint32_t> JetwayHandler::ListExternalJetwayIds() const
{
    std::vector<uint32_t> ids;
    ids.reserve(external_.size());
    for (const auto& entry : external_) ids.push_back(entry.first);
    return ids;
}

// ---- Stand list -----------------------------------------------------------------------------------

std::string JetwayHandler::LookupKey(const std::string& icao, const std::string& gate)
{
    std::string key = icao + ":";
    for (char c : gate) {
        if (c == ' ') c = '_';
        key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return key;
}

const std::vector<SimObject*>* JetwayHandler::FindStand(const std::string& icao, const std::string& gate,
                                                        uint32_t number) const
{
    const auto key = stands_.find(LookupKey(icao, gate));
    if (key == stands_.end()) return nullptr;
    const auto entry = key->second.find(number);
    return entry == key->second.end() ? nullptr : &entry->second;
}

void JetwayHandler::AddStandJetway(SimObject* object)
{
    if (!object || object->GetObjectId() == 0) return;
    const StandData& stand = object->GetStandData();
    if (stand.GetGateName() == "NONE") return;

    std::vector<SimObject*>& list = stands_[stand.GetStandKey()][StandNumber(stand)];
    const std::string name = object->GetNameSuffix();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if ((*it)->GetNameSuffix() == name) {
            *it = object;
            return;
        }
    }
    list.push_back(object);
}

StandJetwayInfo JetwayHandler::GetStandJetwayInfo(const std::string& icao, const std::string& gate,
                                                  uint32_t number) const
{
    StandJetwayInfo info;
    const std::vector<SimObject*>* found = FindStand(icao, gate, number);
    if (!found) return info;
    std::vector<SimObject*> list = *found;
    SortByMultiIndex(list);
    info.count = CountOf(list.size());
    for (uint32_t i = 0; i < info.Entries(); ++i) {
        info.objectIds[i] = list[i]->GetObjectId();
        info.multiIndices[i] = list[i]->GetMultiIndex();
    }
    return info;
}

std::vector<SimObject*> JetwayHandler::GetStandJetways(const std::string& icao, const std::string& gate,
                                                       uint32_t number, bool byMultiIndex) const
{
    const std::vector<SimObject*>* found = FindStand(icao, gate, number);
    if (!found) return {};
    std::vector<SimObject*> list = *found;
    if (byMultiIndex) SortByMultiIndex(list);
    else SortByDistance(list);
    return list;
}

void JetwayHandler::ListAirportStands(const std::string& icao, StandListEntry* entries, uint32_t capacity,
                                      uint32_t* count) const
{
    if (count) *count = 0;
    if (!entries || !count) return;
    const uint32_t limit = std::min(capacity, kMaxStandEntries);
    const std::string prefix = icao + ":";
    uint32_t written = 0;
    for (auto key = stands_.lower_bound(prefix); key != stands_.end() && key->first.starts_with(prefix); ++key) {
        const uint32_t category = static_cast<uint32_t>(ParseStandCategory(key->first.substr(prefix.size())));
        for (const auto& [number, jetways] : key->second) {
            if (written >= limit) {
                *count = written;
                return;
            }
            entries[written++] = StandListEntry{category, number, static_cast<uint32_t>(jetways.size())};
        }
    }
    *count = written;
}

void JetwayHandler::QueryStandJetways(const std::string& icao, const std::string& gate, uint32_t number,
                                      double latitude, double longitude, double headingDeg, SimObjectList& active,
                                      StandJetwayInfo& info, StandJetwayStatus& status) const
{
    const double headingRad = headingDeg * units::kPi / 180.0;
    info = StandJetwayInfo{};
    status = StandJetwayStatus{};

    const std::vector<SimObject*>* found = FindStand(icao, gate, number);
    if (found) {
        info.count = CountOf(found->size());
        for (uint32_t i = 0; i < info.Entries(); ++i) {
            SimObject& object = *(*found)[i];
            const double d =
                geoMath_.HaversineDistance(latitude, longitude, object.GetLatitude(), object.GetLongitude());
            const double b =
                geoMath_.RelativeBearing(latitude, longitude, headingRad, object.GetLatitude(), object.GetLongitude());
            object.SetSortValue1(d);
            object.SetSortValue2(b);
            info.objectIds[i] = object.GetObjectId();
            info.multiIndices[i] = object.GetMultiIndex();
            info.distances[i] = d;
            info.bearings[i] = b;
            CopyName(info.names[i], object.GetNameSuffix());
            DescribeSlot(object, i, status);
        }
        MarkEmptySlots(info.Entries(), status);
        return;
    }

    const std::vector<SimObject*> nearby = FindJetwaysNear(active, latitude, longitude, headingRad, false);
    info.count = CountOf(nearby.size());
    for (uint32_t i = 0; i < info.Entries(); ++i) {
        const SimObject& object = *nearby[i];
        info.objectIds[i] = object.GetObjectId();
        info.multiIndices[i] = object.GetMultiIndex();
        info.distances[i] = object.GetSortValue1();
        info.bearings[i] = object.GetSortValue2();
        CopyName(info.names[i], object.GetNameSuffix());
        DescribeSlot(object, i, status);
    }
    MarkEmptySlots(info.Entries(), status);
}

std::vector<SimObject*> JetwayHandler::FindJetwaysNear(SimObjectList& active, double latitude, double longitude,
                                                       double headingRad, bool byMultiIndex) const
{
    std::vector<SimObject*> found;
    for (const CandidateRecord& record : active.GetNearbyCandidates()) {
        if (record.indices.empty()) continue;
        SimObject* object = active.At(record.indices.front());
        if (!object || !object->HasObjectFeature(3) || !object->IsInSimulation()) continue;

        const double d = geoMath_.FlatEarthDistance(latitude, longitude, object->GetLatitude(), object->GetLongitude());
        if (!(d <= kNearRadius)) continue;
        const double b =
            geoMath_.RelativeBearing(latitude, longitude, headingRad, object->GetLatitude(), object->GetLongitude());
        if (!(b > kBearingLow && b < kBearingHigh)) continue;

        const Jetway* jetway = JetwayOf(*object);
        if (!jetway || jetway->IsMoving()) continue;

        if (b > kFacingBearing) {
            double h = Wrap(object->GetHeadingRad() - jetway->GetSavedPose().rootRotation);
            const double lo = Wrap(headingRad - kFacingBelow);
            double hi = Wrap(headingRad + kFacingAbove);
            if (hi < lo) {
                hi += kTwoPi;
                if (h < lo) h += kTwoPi;
            }
            if (!(lo < h && h < hi)) continue;
        }

        object->SetSortValue1(d);
        object->SetSortValue2(b);
        // Groups may name the same object twice; it is one candidate.
        if (std::find(found.begin(), found.end(), object) == found.end()) found.push_back(object);
    }
    if (byMultiIndex) SortByMultiIndex(found);
    else SortByDistance(found);
    return found;
}

// ---- Doors ----------------------------------------------------------------------------------------

int32_t JetwayHandler::DoorNumber(const std::string& doorName) { return ExitData::GetDoorNumber(doorName); }

std::map<uint32_t, std::string> JetwayHandler::MatchDoorsToStandJetways(const StandData& stand,
                                                                        const UserAircraft& aircraft,
                                                                        uint32_t* firstJetway) const
{
    std::map<uint32_t, std::string> result;
    if (firstJetway) *firstJetway = 0;
    if (!stand.IsSet()) return result;

    const StandJetwayInfo info = GetStandJetwayInfo(stand.GetAirportIcao(), stand.GetGateName(), StandNumber(stand));
    if (info.count > 1 && firstJetway) *firstJetway = info.objectIds[0];
    if (info.count == 0 || !aircraft.HasExits()) return result;

    const ExitList exits = SortExitsForDocking(aircraft.GetExits());
    if (info.count == 1) {
        for (const auto& [name, exit] : exits) {
            if (DoorNumber(name) == 2) {
                result[info.objectIds[0]] = name;
                return result;
            }
        }
        result[info.objectIds[0]] = "1L";
        return result;
    }

    for (const auto& [name, exit] : exits) {
        const int32_t n = exits.size() == 1 ? 2 : DoorNumber(name);
        for (uint32_t i = 0; i < info.Entries(); ++i) {
            if (info.multiIndices[i] == n || (n == 11 && info.multiIndices[i] == 3)) {
                result[info.objectIds[i]] = name;
                break;
            }
        }
    }
    return result;
}

std::vector<uint32_t> JetwayHandler::ListDoorJetways(const StandData& stand, const UserAircraft& aircraft) const
{
    std::vector<uint32_t> ids;
    if (!stand.IsSet() || !aircraft.HasExits()) return ids;
    for (const auto& [name, exit] : SortExitsForUndocking(aircraft.GetExits())) {
        // -1 is "no jetway"; 0 and other negative values identify no object either.
        if (exit.GetJetwayId() > 0) ids.push_back(static_cast<uint32_t>(exit.GetJetwayId()));
    }
    return ids;
}

bool JetwayHandler::StandJetwaysCross(const StandData& stand, SimObjectList& active) const
{
    if (!stand.IsSet()) return false;
    const StandJetwayInfo info = GetStandJetwayInfo(stand.GetAirportIcao(), stand.GetGateName(), StandNumber(stand));
    if (info.count < 2 || info.objectIds[0] == 0 || info.objectIds[1] == 0) return false;
    return JetwayPathsCross(active.FindByObjectId(info.objectIds[0]), active.FindByObjectId(info.objectIds[1]));
}

bool JetwayHandler::JetwayPathsCross(const SimObject* a, const SimObject* b) const
{
    // A jetway does not cross itself: an aircraft's primary jetway can be the one at its door.
    if (!a || !b || a == b) return false;
    const Jetway* jetwayA = JetwayOf(*a);
    const Jetway* jetwayB = JetwayOf(*b);
    if (!jetwayA || !jetwayB) return false;
    const JetwayData& recordA = jetwayA->GetRecord();
    const JetwayData& recordB = jetwayB->GetRecord();

    // a stays where it was last parked; b is taken where its job will bring it.
    const double headingA =
        GeoMath::RadToDeg(std::fmod(std::fmod(a->GetHeadingRad() + units::kPi, kTwoPi) - recordA.SavedPose.rootRotation,
                                    kTwoPi));
    const double headingB =
        GeoMath::RadToDeg(std::fmod(std::fmod(b->GetHeadingRad() + units::kPi, kTwoPi) - recordB.TargetRootRotation,
                                    kTwoPi));
    const double reachA = recordA.SavedPose.extension + recordA.RootBridgeOffset;
    const double reachB = recordB.TargetExtension + recordB.RootBridgeOffset;
    const double halfA = recordA.HoodWidth * 0.5 * 1.2;
    const double halfB = recordB.HoodWidth * 0.5 * 1.2;

    struct Point {
        double lat = 0;
        double lon = 0;
    };
    const auto segment = [](const SimObject& object, double heading, double reach, double side, Point& p1, Point& p2) {
        Point q;
        GeoMath::OffsetLatLon(object.GetLatitude(), object.GetLongitude(), heading, -reach, q.lat, q.lon);
        GeoMath::OffsetLatLonAbeam(q.lat, q.lon, heading, side, p1.lat, p1.lon);
        GeoMath::OffsetLatLon(p1.lat, p1.lon, heading, 2.0 * reach, p2.lat, p2.lon);
    };
    Point a1, a2, b1, b2;
    segment(*a, headingA, reachA, halfA, a1, a2);
    segment(*b, headingB, reachB, -halfB, b1, b2);

    const Point dA{a2.lat - a1.lat, a2.lon - a1.lon};
    const Point dB{b2.lat - b1.lat, b2.lon - b1.lon};
    const double den = dB.lat * dA.lon - dB.lon * dA.lat;
    if (den == 0.0 || !std::isfinite(den)) return false;
    const double ua = ((a1.lat - b1.lat) * dB.lon - (a1.lon - b1.lon) * dB.lat) / den;
    const double ub = ((a1.lat - b1.lat) * dA.lon - (a1.lon - b1.lon) * dA.lat) / den;
    // The crossing point must lie on both segments: below 0 it lies behind their start.
    if (!(ua >= 0.0 && ua < 1.0 && ub >= 0.0 && ub < 1.0)) return false;
    return std::atan2(den, dA.lat * dB.lat + dA.lon * dB.lon) >= 0.0;
}

// ---- Door queues ----------------------------------------------------------------------------------

std::string JetwayHandler::JobDoor(uint32_t id) const
{
    auto it = jobDoors_.find(id);
    return it == jobDoors_.end() ? std::string() : it->second;
}

void JetwayHandler::AddPendingDoor(uint32_t id)
{
    if (id == 0) return;
    pending_.push_back(id);
    queued_.push_back(id);
}

bool JetwayHandler::RemovePendingEx(uint32_t id, bool* pendingEmpty)
{
    const bool found = EraseFirst(pending_, id);
    if (pendingEmpty) *pendingEmpty = !(found && !pending_.empty());
    return found;
}

void JetwayHandler::SwapFirstPendingDoors()
{
    if (pending_.size() > 1 && queued_.size() > 1) {
        std::swap(pending_[0], pending_[1]);
        std::swap(queued_[0], queued_[1]);
    }
}

void JetwayHandler::ClearPendingDoors()
{
    pending_.clear();
    queued_.clear();
}

void JetwayHandler::AddMoving(uint32_t id)
{
    if (id == 0 || IsMovingId(id)) return;
    moving_.push_back(id);
}

bool JetwayHandler::RemoveMoving(uint32_t id) { return EraseFirst(moving_, id); }

bool JetwayHandler::IsMovingId(uint32_t id) const
{
    return id != 0 && std::find(moving_.begin(), moving_.end(), id) != moving_.end();
}

void JetwayHandler::RemoveAwaitingReport(uint32_t id) { EraseFirst(awaiting_, id); }

bool JetwayHandler::IsAwaitingReport(uint32_t id) const
{
    return std::find(awaiting_.begin(), awaiting_.end(), id) != awaiting_.end();
}

void JetwayHandler::WithdrawAwaitingReport(uint32_t id)
{
    const auto it = std::find(awaiting_.rbegin(), awaiting_.rend(), id);
    if (it != awaiting_.rend()) awaiting_.erase(std::next(it).base());
}

// ---- Reset ----------------------------------------------------------------------------------------

void JetwayHandler::ResetAllJetways()
{
    for (auto& [id, jetway] : jobs_) {
        if (!jetway) continue;
        jetway->StopSound();
        // Waits for a running tick: the jetway's object may go right after this.
        if (jetway->IsMoving() && jetway->GetPhase() != 0) jetway->StopMotion();
    }
    jobs_.clear();
    active_.clear();
    stands_.clear();
    pending_.clear();
    queued_.clear();
    moving_.clear();
    awaiting_.clear();
}

void JetwayHandler::Reset()
{
    stands_.clear();
    jobDoors_.clear();
    ResetAllJetways();
}
