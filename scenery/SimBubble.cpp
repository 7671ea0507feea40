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
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

bool Finite(double latitude, double longitude)
{
    return std::isfinite(latitude) && std::isfinite(longitude);
}

// The part of a name before its first ":" (the whole name without one). It points into the name.
std::string_view Prefix(const std::string& name)
{
    return std::string_view(name).substr(0, name.find(':'));
}

// key := prefix ":" suffix, reusing the key's storage; returns the key.
const std::string& JoinName(std::string& key, std::string_view prefix, const std::string& suffix)
{
    key.assign(prefix).append(1, ':').append(suffix);
    return key;
}

// The first active object, in list order, of each name a link pass looks for. The pass names what it
// wants first; one walk through the list then finds them all. The map holds only the wanted names, so
// a pass costs one lookup per active object and allocates nothing per object.
class NameLookup {
public:
    void Want(const std::string& name) { byName_.try_emplace(name, nullptr); }

    void Resolve(SimObjectList& list)
    {
        size_t found = 0;
        for (int32_t i = 0; i < list.Count() && found < byName_.size(); ++i) {
            SimObject* object = list.At(i);
            const auto wanted = byName_.find(object->GetName());
            // A later object of the same name is not taken.
            if (wanted == byName_.end() || wanted->second != nullptr) continue;
            wanted->second = object;
            ++found;
        }
    }

    SimObject* Find(const std::string& name) const
    {
        const auto wanted = byName_.find(name);
        return wanted == byName_.end() ? nullptr : wanted->second;
    }

private:
    std::unordered_map<std::string, SimObject*> byName_;
};

// The first triggerable animation of an object's current model, which holds its sync names; null
// without a current model. The const one only reads (it adds no feature to the model).
const TriggAnimationData* SyncAnimation(const SimObject& object)
{
    const SimObjectModel* model = object.GetCurrentModel();
    return model == nullptr ? nullptr : model->GetAnimations()->GetTriggerableAnimation(3);
}

TriggAnimationData* SyncAnimation(SimObject& object)
{
    SimObjectModel* model = object.GetCurrentModel();
    return model == nullptr ? nullptr : model->GetTriggerableAnimation(3);
}

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
        if (open) out.push_back(std::move(record));
        open = false;
    }
};

// ---- The two link passes, each in two steps: the names it looks for, then the links it makes ----

void WantProbeClients(NameLookup& names, const EnviroDataProbeList& activeProbes)
{
    std::string key;
    for (int32_t k = 0; k < activeProbes.Count(); ++k) {
        const EnviroDataProbe* probe = activeProbes.At(k);
        const std::string_view prefix = Prefix(probe->GetName());
        for (const std::string& client : probe->GetClientList()) names.Want(JoinName(key, prefix, client));
    }
}

void LinkProbeClients(const NameLookup& names, EnviroDataProbeList& activeProbes, SimObjectList& active)
{
    std::string key;
    // The active jetways by the prefix of their names, made at the first probe with the all-jetways flag.
    // The keys point into the jetways' names, which stay as they are for the pass.
    std::unordered_map<std::string_view, std::vector<SimObject*>> jetwaysByPrefix;
    bool jetwaysGrouped = false;

    for (int32_t k = 0; k < activeProbes.Count(); ++k) {
        EnviroDataProbe* probe = activeProbes.At(k);
        probe->SetLinkedIndex(k);
        probe->ClearClients();
        const std::string_view prefix = Prefix(probe->GetName());

        for (const std::string& client : probe->GetClientList()) {
            SimObject* object = names.Find(JoinName(key, prefix, client));
            if (object == nullptr) continue;
            const SimObjectModel* model = std::as_const(*object).GetCurrentModel();
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

void WantSyncNames(NameLookup& names, SimObjectList& active)
{
    std::string key;
    for (int32_t index : active.GetAnimatedIndices()) {
        const SimObject* object = active.At(index);
        if (object == nullptr) continue;
        const TriggAnimationData* animation = SyncAnimation(*object);
        if (animation == nullptr) continue;
        const std::string_view prefix = Prefix(object->GetName());
        for (size_t n = 0; n < animation->GetSyncNameCount(); ++n)
            names.Want(JoinName(key, prefix, animation->GetSyncName(static_cast<int>(n))));
    }
}

void LinkSyncTargets(const NameLookup& names, SimObjectList& active)
{
    std::string key;
    for (int32_t index : active.GetAnimatedIndices()) {
        SimObject* object = active.At(index);
        if (object == nullptr) continue;
        // Read first: an animation with no names and no links has nothing to change.
        const TriggAnimationData* current = SyncAnimation(std::as_const(*object));
        if (current == nullptr || (current->GetSyncNameCount() == 0 && current->GetSyncTargetCount() == 0)) continue;
        TriggAnimationData* animation = SyncAnimation(*object);
        // Filled afresh by each pass: the copies start without links.
        animation->ClearSyncTargets();
        const std::string_view prefix = Prefix(object->GetName());
        for (size_t n = 0; n < animation->GetSyncNameCount(); ++n) {
            SimObject* target = names.Find(JoinName(key, prefix, animation->GetSyncName(static_cast<int>(n))));
            if (target == nullptr) continue;
            animation->AddSyncTarget(target);
            target->SetSynchronised(true);
        }
    }
}

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
            // The copy shares the read object's models, so that it costs its own record only; a model it
            // changes later (a jetway's configuration, a sound, an animation's state) becomes its own then.
            entry.object->ShareModels();
            const int32_t i = active.Count();
            SimObject& object = active.Add(*entry.object);
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
        // Read first: only a model with sounds to bind needs models of the object's own.
        if (!std::as_const(object).GetModel(m)->HasAnimationSounds()) continue;
        SimObjectModel* model = object.GetModel(m);
        TriggAnimationData* animation = model->GetTriggerableAnimation(3);
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
    NameLookup names;
    WantProbeClients(names, activeProbes);
    names.Resolve(active);
    LinkProbeClients(names, activeProbes, active);
}

void SimBubble::ResolveSyncLinks(SimObjectList& active)
{
    NameLookup names;
    WantSyncNames(names, active);
    names.Resolve(active);
    LinkSyncTargets(names, active);
}

void SimBubble::ResolveLinks(EnviroDataProbeList& activeProbes, SimObjectList& active)
{
    // Neither pass changes a name or the list, so one walk finds what both look for.
    NameLookup names;
    WantProbeClients(names, activeProbes);
    WantSyncNames(names, active);
    names.Resolve(active);
    LinkProbeClients(names, activeProbes, active);
    LinkSyncTargets(names, active);
}
