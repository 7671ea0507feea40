#include "scenery/SimBubble.h"

#include "foundation/BBox.h"
#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SimObjectsFolderManager.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

bool Finite(double latitude, double longitude)
{
    return std::isfinite(latitude) && std::isfinite(longitude);
}

// The part of a name before its first ":" (the whole name without one).
std::string Prefix(const std::string& name)
{
    return name.substr(0, name.find(':'));
}

// The active objects by whole name, made at the first lookup of a link pass. A name stands for the first
// object of that name in list order.
class NameIndex {
public:
    explicit NameIndex(SimObjectList& list) : list_(list) {}

    SimObject* Find(const std::string& name)
    {
        if (!built_) Build();
        const auto found = byName_.find(name);
        return found == byName_.end() ? nullptr : found->second;
    }

private:
    void Build()
    {
        byName_.reserve(static_cast<size_t>(list_.Count()));
        for (int32_t i = 0; i < list_.Count(); ++i) {
            SimObject* object = list_.At(i);
            byName_.emplace(object->GetName(), object);  // a later object of the same name is not taken
        }
        built_ = true;
    }

    SimObjectList& list_;
    bool built_ = false;
    std::unordered_map<std::string, SimObject*> byName_;
};

// A group record being collected during the pass, and the group it was opened for.
struct OpenGroupRecord {
    bool open = false;
    int32_t group = -1;
    CandidateRecord record;

    void Join(int32_t index, int32_t objectGroup, std::vector<CandidateRecord>& out)
    {
        // An object outside any group never joins another's record: its own record stands for it alone.
        if (open && group == objectGroup && objectGroup >= 0) {
            record.indices.push_back(index);
            return;
        }
        Flush(out);
        open = true;
        group = objectGroup;
        record = CandidateRecord{{index}, -1.0};
    }
    void Flush(std::vector<CandidateRecord>& out)
    {
        if (open) out.push_back(record);
        open = false;
    }
};

}  // namespace

SimBubble::SimBubble(log4cpp::Category& log, SoundEngine* sound, SimObjectsFolderManager* folders,
                     const SimBubbleRanges& ranges)
    : log_(log), sound_(sound), folders_(folders), ranges_(ranges)
{
}

void SimBubble::SetCentre(double latitude, double longitude)
{
    centre_ = PlacementData();
    centre_.Set(latitude, longitude, 0.0, false, false, 0.0, 0.0, 0.0);
}

void SimBubble::UpdateDistance(double latitude, double longitude)
{
    if (!Finite(latitude, longitude)) return;
    if (!Finite(centre_.GetLatitude(), centre_.GetLongitude())) {
        distance_ = std::numeric_limits<double>::infinity();
        return;
    }
    distance_ = GeoMath::HaversineDistance(latitude, longitude, centre_.GetLatitude(), centre_.GetLongitude());
}

int32_t SimBubble::CheckForUpdate(double latitude, double longitude, double altitudeFeet)
{
    UpdateDistance(latitude, longitude);
    if (updatePending_ != 0) return kNoUpdate;

    const double threshold = inZone_ != 0 ? ranges_.protectionZoneRadius : ranges_.refilterDistance;
    int32_t mode = kNoUpdate;
    if (distance_ > threshold) {
        mode = kModeMoved;
    } else if (!std::isnan(altitudeFeet)) {
        const bool above = altitudeFeet >= ranges_.altitudeCeiling;
        if (above != (aboveCeiling_ != 0)) mode = kModeCeilingCrossed;
    }
    if (mode != kNoUpdate) updatePending_ = 1;
    return mode;
}

void SimBubble::FilterObjects(SimObjectList& active, EnviroDataProbeList& activeProbes,
                              const EnviroDataProbeList& readProbes, const QuadTree& tree, double altitudeFeet)
{
    // Emptying stops every running animation, timer counter and sound of the old objects before they go.
    active.Empty();
    activeProbes.Clear();
    active.ResetRequestedCount();
    active.ResetCreatedCount();

    // No number is no safe altitude either: treat it as above the ceiling.
    if (!(altitudeFeet < ranges_.altitudeCeiling)) {
        aboveCeiling_ = 1;
        return;
    }
    aboveCeiling_ = 0;

    const int32_t radius = ranges_.bubbleRadius;
    const double centreLat = centre_.GetLatitude();
    const double centreLon = centre_.GetLongitude();
    log_.info("### FILTERING OBJECTS: R=%dm, Bubble Lat/Lon: %f, %f ###", radius, centreLat, centreLon);

    if (radius <= 0 || !Finite(centreLat, centreLon) || std::fabs(centreLat) > 90.0) {
        log_.error("[SIMBUBBLE] No objects filtered: bubble radius %dm or centre %f, %f is invalid!", radius,
                   centreLat, centreLon);
    } else {
        const double r = static_cast<double>(radius);

        for (int32_t k = 0; k < readProbes.Count(); ++k) {
            const EnviroDataProbe* probe = readProbes.At(k);
            const double d =
                GeoMath::HaversineDistance(probe->GetLatitude(), probe->GetLongitude(), centreLat, centreLon);
            if (r * kProbeFactor > d) activeProbes.Add(*probe);
        }

        double halfLat = 0.0;
        double halfLon = 0.0;
        GeoMath::MetresToDegrees(centreLat, r * kBoxFactor, halfLat, halfLon);
        // At a pole the longitude span is unbounded: the whole circle of longitudes then.
        if (!std::isfinite(halfLon) || halfLon > 180.0) halfLon = 180.0;
        std::vector<QuadTreeEntry> entries =
            tree.QueryRange(BBox(BBoxPoint(centreLat, centreLon), BBoxPoint(halfLat, halfLon)));
        std::stable_sort(entries.begin(), entries.end(),
                         [](const QuadTreeEntry& a, const QuadTreeEntry& b) { return a.groupIndex < b.groupIndex; });
        active.Reserve(static_cast<int32_t>(entries.size()));

        OpenGroupRecord nearbyGroup;
        OpenGroupRecord radioGroup;
        std::vector<CandidateRecord>& nearby = active.GetNearbyCandidates();
        std::vector<CandidateRecord>& radio = active.GetRadioCandidates();

        for (const QuadTreeEntry& entry : entries) {
            if (entry.object == nullptr) continue;
            SimObject& object = *entry.object;
            const int32_t i = active.Count();
            auto has = [&object](int32_t feature) { return object.HasObjectFeature(feature); };

            if (has(FeatureGroundPolygonShift)) active.GetGroundShiftIndices().push_back(i);
            if (has(FeatureRotationByWindDirection) || has(FeatureRotationByUserAircraftPosition))
                active.GetRotationIndices().push_back(i);
            if (has(FeatureConditionSeparationPlane)) active.GetSeparationPlaneIndices().push_back(i);
            if (has(FeatureTriggAnimationProximity) || has(FeatureTriggVisibilityProximity))
                active.GetProximityIndices().push_back(i);
            if (has(FeatureTriggAnimationTextMenu) || has(FeatureTriggAnimationProximity) ||
                has(FeatureControllableAnimation)) {
                active.GetAnimatedIndices().push_back(i);
                PrepareSounds(object);
            }
            if (has(FeatureTriggVisibilityTextMenu) || has(FeatureTriggAnimationTextMenu) ||
                has(FeatureControllableAnimation) || has(FeatureJetway) || has(FeatureVDGS)) {
                nearby.push_back(CandidateRecord{{i}, -1.0});
                if (has(FeatureJetway)) {
                    active.GetJetwayIndices().push_back(i);
                    ReadJetwayConfig(object);
                    active.IncrementRequestedCount();
                }
            }
            if (has(FeatureGroupControllableAnimation) || has(FeatureGroupTriggAnimationTextMenu) ||
                has(FeatureGroupTriggVisibilityTextMenu))
                nearbyGroup.Join(i, object.GetGroupIndex(), nearby);
            if (has(FeatureTriggVisibilityRadio)) radio.push_back(CandidateRecord{{i}, -1.0});
            if (has(FeatureGroupTriggVisibilityRadio)) radioGroup.Join(i, object.GetGroupIndex(), radio);
            active.Add(object);
        }
        nearbyGroup.Flush(nearby);
        radioGroup.Flush(radio);
    }

    log_.info("### Active SimObjects: %d; Active Wind Data Probes: %d ###", active.Count(), activeProbes.Count());
}

void SimBubble::PrepareSounds(SimObject& object)
{
    XYZData position;
    GeoMath::LLAToSimXYZ(object.GetLatitude(), object.GetLongitude(), object.GetAltitude(), position);
    for (int32_t m = 0; m < object.GetModelCount(); ++m) {
        SimObjectModel* model = object.GetModel(m);
        if (!model->HasFeature(FeatureTriggAnimationTextMenu) && !model->HasFeature(FeatureTriggAnimationProximity))
            continue;
        TriggAnimationData* animation = model->GetTriggerableAnimation(3);
        if (animation == nullptr || animation->GetSoundCount() == 0) continue;
        const std::string folder = folders_ != nullptr ? folders_->GetModelFolder(model->GetSimTitle()) : "";
        animation->InitSounds(sound_, folder, position.x, position.y, position.z);
    }
}

void SimBubble::ReadJetwayConfig(SimObject& object)
{
    const int32_t m = object.HasMultipleModels() ? 1 : 0;
    SimObjectModel* model = object.GetModel(m);
    const SimObjectModel* titled = m == 1 ? model : object.GetCurrentModel();
    if (model == nullptr || titled == nullptr) {
        log_.error("[SIMBUBBLE] SimObject '%s' is a jetway without a model: no jetway configuration read!",
                   object.GetName().c_str());
        return;
    }
    const std::string folder = folders_ != nullptr ? folders_->LookupTitlePath(titled->GetSimTitle()) : "";
    if (folder.empty()) {
        // Without a folder the bare name would be looked for wherever the program happens to run.
        log_.error("[SIMBUBBLE] No model folder for jetway model '%s' of SimObject '%s': 'jetway.cfg' not read!",
                   titled->GetSimTitle().c_str(), object.GetName().c_str());
        return;
    }
    JetwayConfigTarget target;
    target.jetway = model->GetJetway();
    target.placement = object.GetPlacement();
    target.objectName = object.GetName();
    target.modelTitle = model->GetSimTitle();
    // A folder was found: there is a folder manager.
    const JetwayConfig reader(&folders_->GetLog(), sound_);
    reader.Apply(target, jetwayConfigs_.Get(folder + "jetway.cfg"));
}

void SimBubble::ResolveObjectLinks(EnviroDataProbeList& activeProbes, SimObjectList& active)
{
    NameIndex names(active);
    // The active jetways by the prefix of their names, made at the first probe with the all-jetways flag.
    std::unordered_map<std::string, std::vector<SimObject*>> jetwaysByPrefix;
    bool jetwaysGrouped = false;

    for (int32_t k = 0; k < activeProbes.Count(); ++k) {
        EnviroDataProbe* probe = activeProbes.At(k);
        probe->SetLinkedIndex(k);
        probe->ClearClients();
        const std::string prefix = Prefix(probe->GetName());

        for (const std::string& client : probe->GetClientList()) {
            SimObject* object = names.Find(prefix + ":" + client);
            if (object == nullptr) continue;
            const SimObjectModel* model = object->GetCurrentModel();
            if (model == nullptr || !model->NeedsWeatherData()) continue;
            object->SetLinkedIndex(k);
            probe->AddClient(object);
        }

        if (!probe->IsAllJetways()) continue;
        if (!jetwaysGrouped) {
            for (int32_t index : active.GetJetwayIndices()) {
                SimObject* object = active.At(index);
                if (object == nullptr || !object->HasObjectFeature(FeatureJetway)) continue;
                jetwaysByPrefix[Prefix(object->GetName())].push_back(object);
            }
            jetwaysGrouped = true;
        }
        const auto jetways = jetwaysByPrefix.find(prefix);
        if (jetways == jetwaysByPrefix.end()) continue;
        for (SimObject* object : jetways->second) object->SetLinkedIndex(k);
    }
}

void SimBubble::ResolveSyncLinks(SimObjectList& active)
{
    NameIndex names(active);
    for (int32_t index : active.GetAnimatedIndices()) {
        SimObject* object = active.At(index);
        if (object == nullptr) continue;
        SimObjectModel* model = object->GetCurrentModel();
        if (model == nullptr) continue;
        TriggAnimationData* animation = model->GetTriggerableAnimation(3);
        if (animation == nullptr) continue;
        // Filled afresh by each pass: the copies start without links.
        animation->ClearSyncTargets();
        const std::string prefix = Prefix(object->GetName());
        for (size_t n = 0; n < animation->GetSyncNameCount(); ++n) {
            SimObject* target = names.Find(prefix + ":" + animation->GetSyncName(static_cast<int>(n)));
            if (target == nullptr) continue;
            animation->AddSyncTarget(target);
            target->SetSynchronised(true);
        }
    }
}
