// The sim bubble: which placed objects exist in the simulator. Every object inside a latitude/longitude
// box around a centre that follows the user aircraft, while the aircraft is below the altitude ceiling.
//
// The dispatch feeds the user aircraft's position to CheckForUpdate; when the aircraft has moved far
// enough from the centre or crossed the ceiling, it sends the bubble-update event with the mode returned.
// The handlers then rebuild: FilterObjects turns the objects near the new centre into the active list
// and the active probes, and the two link passes connect them to their weather probes and to the objects
// whose animation state they share. Main thread only.
#pragma once

#include "foundation/GeoMath.h"
#include "foundation/Records.h"
#include "objects/JetwayConfig.h"

#include <cstdint>

namespace log4cpp {
class Category;
}
class EnviroDataProbeList;
class QuadTree;
class SimObject;
class SimObjectList;
class SimObjectsFolderManager;
class SoundEngine;

// The five fixed distances of the bubble. A program has the defaults; tests may shrink them.
struct SimBubbleRanges {
    int32_t triggerRange = 12000;         // m: proximity, radio click and trigger-object menu
    int32_t bubbleRadius = 40000;         // m: the filtering radius R
    int32_t refilterDistance = 18000;     // m: beyond this a new cycle starts
    int32_t protectionZoneRadius = 28000; // m: the re-filter distance while in a protection zone
    int32_t altitudeCeiling = 18000;      // ft: at or above it the bubble is empty
};

class SimBubble {
public:
    // Modes carried by the bubble-update event.
    static constexpr int32_t kModePositionInitialised = 0;
    static constexpr int32_t kModeMoved = 1;
    static constexpr int32_t kModeCeilingCrossed = 2;
    static constexpr int32_t kNoUpdate = -1;

    // The query box is this much wider than R, and probes count up to this many radii.
    static constexpr double kBoxFactor = 1.15;
    static constexpr double kProbeFactor = 1.5;

    // log: "VELK.FSLOOP". sound and folders may be null (no sounds bound, no folders found).
    SimBubble(log4cpp::Category& log, SoundEngine* sound, SimObjectsFolderManager* folders,
              const SimBubbleRanges& ranges = SimBubbleRanges());
    SimBubble(const SimBubble&) = delete;
    SimBubble& operator=(const SimBubble&) = delete;
    ~SimBubble() = default;

    // distance := great-circle distance of the user aircraft from the centre. A position that is no
    // number leaves the distance as it was; a centre that is no number puts the aircraft infinitely far,
    // so the next cycle moves the centre back onto the aircraft.
    void UpdateDistance(double latitude, double longitude);

    // The update trigger on a user-aircraft position answer: updates the distance and, when no cycle is
    // pending, decides whether one starts. With a mode (1 moved, 2 ceiling crossed) the pending flag is
    // set and the caller sends the bubble-update event with that mode; kNoUpdate otherwise.
    int32_t CheckForUpdate(double latitude, double longitude, double altitudeFeet);

    // The filtering pass: empties the active list (stopping its objects' work first) and the active
    // probes, then fills them from the probes and the quadtree around the centre.
    void FilterObjects(SimObjectList& active, EnviroDataProbeList& activeProbes, const EnviroDataProbeList& readProbes,
                       const QuadTree& tree, double altitudeFeet);
    // Links each active probe to the active objects named in its client list (and, with its all-jetways
    // flag, to the jetways of its placement file). A name stands for the first active object of that name.
    void ResolveObjectLinks(EnviroDataProbeList& activeProbes, SimObjectList& active);
    // Links each animated object's first triggerable animation to the objects named to follow it (the
    // first active object of each name).
    void ResolveSyncLinks(SimObjectList& active);
    // Both, as ResolveObjectLinks then ResolveSyncLinks would, with one walk of the active list for the
    // names of both: the rebuild's way.
    void ResolveLinks(EnviroDataProbeList& activeProbes, SimObjectList& active);

    // Each model folder's "jetway.cfg" is read at the first jetway that needs it and its values are kept
    // for every later pass, until this is called (the reload of the placement data calls it).
    void ForgetJetwayConfigs() { jetwayConfigs_.Clear(); }
    size_t GetJetwayConfigCount() const { return jetwayConfigs_.Count(); }

    // ---- Values and state -----------------------------------------------------------------------
    int32_t GetTriggerRange() const { return ranges_.triggerRange; }
    int32_t GetBubbleRadius() const { return ranges_.bubbleRadius; }
    int32_t GetRefilterDistance() const { return ranges_.refilterDistance; }
    int32_t GetProtectionZoneRadius() const { return ranges_.protectionZoneRadius; }
    int32_t GetAltitudeCeiling() const { return ranges_.altitudeCeiling; }

    const PlacementData& GetCentre() const { return centre_; }
    double GetCentreLatitude() const { return centre_.GetLatitude(); }
    double GetCentreLongitude() const { return centre_.GetLongitude(); }
    // Latitude and longitude; altitude, attitude and flags 0.
    void SetCentre(double latitude, double longitude);

    bool IsUpdatePending() const { return updatePending_ != 0; }
    void SetUpdatePending(bool pending) { updatePending_ = pending ? 1 : 0; }
    bool IsAboveCeiling() const { return aboveCeiling_ != 0; }
    void SetAboveCeiling(bool above) { aboveCeiling_ = above ? 1 : 0; }
    bool IsInZone() const { return inZone_ != 0; }
    void SetInZone(bool inZone) { inZone_ = inZone ? 1 : 0; }
    double GetDistance() const { return distance_; }
    void SetDistance(double metres) { distance_ = metres; }

    // Fills the jetway of the object's moving model (model 1 of an object with several models, else its
    // model) from its model folder's "jetway.cfg", parsed once per folder until ForgetJetwayConfigs.
    // A model without a known folder reads nothing (an ERROR line says so).
    void ReadJetwayConfig(SimObject& object);

private:
    void PrepareSounds(SimObject& object);

    log4cpp::Category& log_;
    SoundEngine* sound_;
    SimObjectsFolderManager* folders_;
    GeoMath geoMath_;
    SimBubbleRanges ranges_;
    PlacementData centre_;
    uint8_t updatePending_ = 0;
    uint8_t aboveCeiling_ = 0;
    uint8_t inZone_ = 0;
    double distance_ = 0.0;
    JetwayConfigCache jetwayConfigs_;
};
