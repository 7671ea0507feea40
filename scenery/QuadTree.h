// The spatial index over every placed object, and the protection zones around which the sim bubble is
// not rebuilt.
//
// The reload inserts each object of the full list by latitude and longitude; each bubble pass asks for
// the objects inside a latitude/longitude box. A node keeps at most kCapacity entries of its own; later
// entries go to its four children, which it makes on the first overflow. Entries never move down.
// The tree is read-only between reloads. Main thread only.
#pragma once

#include "foundation/BBox.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class SimObject;

struct QuadTreeEntry {
    double latitude = 0.0;
    double longitude = 0.0;
    int32_t groupIndex = -1;
    // Into the full list's objects; valid until that list is reset (the reload clears the tree first).
    SimObject* object = nullptr;
};

class QuadTree {
public:
    static constexpr size_t kCapacity = 64;

    explicit QuadTree(const BBox& box) : box_(box) {}
    QuadTree(const QuadTree&) = delete;
    QuadTree& operator=(const QuadTree&) = delete;
    ~QuadTree();

    // The whole world, bounds included: centre 0/0, half sizes 90 and 180 degrees.
    static BBox WorldBox() { return BBox(BBoxPoint(0.0, 0.0), BBoxPoint(90.0, 180.0)); }

    // False when the box does not contain the entry's position (duplicates are stored).
    bool Insert(const QuadTreeEntry& entry);
    // The entries whose position the range contains: each node's own before its children's, children
    // in order 0..3, depth first.
    std::vector<QuadTreeEntry> QueryRange(const BBox& range) const;
    // Entries and children gone; the box stays.
    void Clear();

    const BBox& GetBox() const { return box_; }
    size_t GetEntryCount() const { return entries_.size(); }
    const std::vector<QuadTreeEntry>& GetEntries() const { return entries_; }
    bool HasChildren() const { return children_[0] != nullptr; }
    // Child 0 north-west, 1 north-east, 2 south-west, 3 south-east; null before the first overflow.
    const QuadTree* GetChild(int index) const;

    // How many nodes the last QueryRange on this node looked into (this one included): the query's
    // box test must keep it to the nodes that meet the range.
    size_t GetLastQueryNodeVisits() const { return lastQueryVisits_; }

private:
    void Subdivide();
    size_t QueryInto(const BBox& range, std::vector<QuadTreeEntry>& out) const;

    std::array<std::unique_ptr<QuadTree>, 4> children_;
    BBox box_;
    std::vector<QuadTreeEntry> entries_;
    mutable size_t lastQueryVisits_ = 0;
};

// A point around which a moving user aircraft, low and near, moves the bubble centre instead of
// rebuilding the bubble.
class SimBubbleProtectionZone {
public:
    SimBubbleProtectionZone(double latitude, double longitude) : latitude_(latitude), longitude_(longitude) {}
    SimBubbleProtectionZone(const SimBubbleProtectionZone&) = default;
    SimBubbleProtectionZone& operator=(const SimBubbleProtectionZone&) = default;
    virtual ~SimBubbleProtectionZone() = default;

    double GetLatitude() const { return latitude_; }
    double GetLongitude() const { return longitude_; }

private:
    double latitude_;
    double longitude_;
};

class ProtectionZoneList {
public:
    // The zone test's limits: closer than this many metres, and lower than this many feet.
    static constexpr double kZoneRadiusMetres = 28000.0;
    static constexpr double kCeilingFeet = 18000.0;

    ProtectionZoneList() = default;
    virtual ~ProtectionZoneList() = default;

    void Add(const SimBubbleProtectionZone& zone) { zones_.push_back(zone); }
    int32_t Count() const { return static_cast<int32_t>(zones_.size()); }
    // Null when the index is not below the count.
    const SimBubbleProtectionZone* At(int32_t index) const;
    void Clear() { std::vector<SimBubbleProtectionZone>().swap(zones_); }

    // The first zone in reading order with distance < 28000 m and altitude < 18000 ft (both strict),
    // or null. Altitude in feet.
    const SimBubbleProtectionZone* FindZone(double latitude, double longitude, double altitudeFeet) const;

private:
    std::vector<SimBubbleProtectionZone> zones_;
};
