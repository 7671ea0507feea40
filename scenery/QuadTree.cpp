#include "scenery/QuadTree.h"

#include "foundation/GeoMath.h"

#include <utility>

bool QuadTree::Insert(const QuadTreeEntry& entry)
{
    if (!box_.Contains(entry.latitude, entry.longitude)) return false;

    // Walk down instead of recursing: many objects at one spot make a chain one level per kCapacity
    // entries, and a placement file decides how long it gets.
    QuadTree* node = this;
    for (;;) {
        if (node->entries_.size() < kCapacity) {
            // A node fills to its capacity before anything goes below it: start at a quarter of it, so that
            // it grows in three steps rather than seven, while a node given few entries keeps little room.
            if (node->entries_.empty()) node->entries_.reserve(kCapacity / 4);
            node->entries_.push_back(entry);
            return true;
        }
        if (!node->HasChildren()) node->Subdivide();
        QuadTree* next = nullptr;
        for (const std::unique_ptr<QuadTree>& child : node->children_) {
            if (child->box_.Contains(entry.latitude, entry.longitude)) {
                next = child.get();
                break;
            }
        }
        if (!next) {
            // The node holds the point but, by rounding of ever smaller boxes, none of its children
            // does: keep it here rather than lose it.
            node->entries_.push_back(entry);
            return true;
        }
        node = next;
    }
}

void QuadTree::Subdivide()
{
    const BBoxPoint& c = box_.GetCentre();
    const BBoxPoint& h = box_.GetHalfSize();
    const BBoxPoint half(h.latitude / 2.0, h.longitude / 2.0);
    children_[0] = std::make_unique<QuadTree>(BBox(BBoxPoint(c.latitude + half.latitude, c.longitude - half.longitude), half));
    children_[1] = std::make_unique<QuadTree>(BBox(BBoxPoint(c.latitude + half.latitude, c.longitude + half.longitude), half));
    children_[2] = std::make_unique<QuadTree>(BBox(BBoxPoint(c.latitude - half.latitude, c.longitude - half.longitude), half));
    children_[3] = std::make_unique<QuadTree>(BBox(BBoxPoint(c.latitude - half.latitude, c.longitude + half.longitude), half));
}

std::vector<QuadTreeEntry> QuadTree::QueryRange(const BBox& range) const
{
    std::vector<QuadTreeEntry> out;
    lastQueryVisits_ = QueryInto(range, out);
    return out;
}

size_t QuadTree::QueryInto(const BBox& range, std::vector<QuadTreeEntry>& out) const
{
    // Depth first, own entries before the children's, children 0..3: a stack popped in that order.
    size_t visits = 0;
    std::vector<const QuadTree*> stack{this};
    while (!stack.empty()) {
        const QuadTree* node = stack.back();
        stack.pop_back();
        if (!node->box_.Intersects(range)) continue;
        ++visits;
        for (const QuadTreeEntry& entry : node->entries_) {
            if (range.Contains(entry.latitude, entry.longitude)) out.push_back(entry);
        }
        if (node->HasChildren()) {
            for (int i = 3; i >= 0; --i) stack.push_back(node->children_[static_cast<size_t>(i)].get());
        }
    }
    return visits;
}

void QuadTree::Clear()
{
    std::vector<QuadTreeEntry>().swap(entries_);
    // Detach every descendant first so that destroying one never recurses down a long chain.
    std::vector<std::unique_ptr<QuadTree>> detached;
    for (std::unique_ptr<QuadTree>& child : children_) {
        if (child) detached.push_back(std::move(child));
    }
    for (size_t i = 0; i < detached.size(); ++i) {
        for (std::unique_ptr<QuadTree>& child : detached[i]->children_) {
            if (child) detached.push_back(std::move(child));
        }
    }
}

QuadTree::~QuadTree() { Clear(); }

const QuadTree* QuadTree::GetChild(int index) const
{
    if (index < 0 || index > 3) return nullptr;
    return children_[static_cast<size_t>(index)].get();
}

const SimBubbleProtectionZone* ProtectionZoneList::At(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= zones_.size()) return nullptr;
    return &zones_[static_cast<size_t>(index)];
}

const SimBubbleProtectionZone* ProtectionZoneList::FindZone(double latitude, double longitude,
                                                            double altitudeFeet) const
{
    for (const SimBubbleProtectionZone& zone : zones_) {
        const double distance =
            GeoMath::HaversineDistance(latitude, longitude, zone.GetLatitude(), zone.GetLongitude());
        if (kZoneRadiusMetres > distance && kCeilingFeet > altitudeFeet) return &zone;
    }
    return nullptr;
}
