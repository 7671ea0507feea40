#include "objects/SimObjectList.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

template <typename T>
void Release(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

}  // namespace

SimObjectList::~SimObjectList() { Empty(); }

void SimObjectList::Add(const SimObject& object)
{
    if (objects_.size() == objects_.capacity() && !objects_.empty()) {
        // Growing moves every object, and the animations of one object may point at another: no timer may
        // run while that happens.
        for (SimObject& o : objects_) o.StopActivity();
    }
    objects_.push_back(object);
}

SimObject* SimObjectList::At(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= objects_.size()) return nullptr;
    return &objects_[static_cast<size_t>(index)];
}

const SimObject* SimObjectList::At(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= objects_.size()) return nullptr;
    return &objects_[static_cast<size_t>(index)];
}

SimObject* SimObjectList::FindByRequestId(int32_t requestId)
{
    if (requestId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(requestId);
    for (SimObject& o : objects_) {
        if (o.GetRequestId() == id) return &o;
    }
    return nullptr;
}

SimObject* SimObjectList::FindByObjectId(int32_t objectId)
{
    if (objectId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(objectId);
    for (SimObject& o : objects_) {
        if (o.GetObjectId() == id) return &o;
    }
    return nullptr;
}

SimObject* SimObjectList::FindByName(std::string name)
{
    for (SimObject& o : objects_) {
        if (o.GetName() == name) return &o;
    }
    return nullptr;
}

void SimObjectList::DecrementCreatedCount()
{
    if (createdCount_ > 0) --createdCount_;
}

void SimObjectList::Empty()
{
    // Stop everything first: a running animation may reach into any other object of the list.
    for (SimObject& o : objects_) o.StopActivity();
    Release(objects_);
    Release(rotationIndices_);
    Release(animatedIndices_);
    Release(separationPlaneIndices_);
    Release(proximityIndices_);
    Release(groundShiftIndices_);
    Release(jetwayIndices_);
    Release(nearbyCandidates_);
    Release(radioCandidates_);
}

void SimObjectList::Reset()
{
    Empty();
    requestedCount_ = 0;
    createdCount_ = 0;
}

void SimObjectList::SortByGroupIndex()
{
    // Objects have no move: order indices, then copy each object once into its place.
    std::vector<size_t> order(objects_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return objects_[a].GetGroupIndex() < objects_[b].GetGroupIndex();
    });
    bool sorted = true;
    for (size_t i = 0; i < order.size() && sorted; ++i) sorted = order[i] == i;
    if (sorted) return;

    for (SimObject& o : objects_) o.StopActivity();
    std::vector<SimObject> reordered;
    reordered.reserve(objects_.size());
    for (size_t i : order) reordered.push_back(objects_[i]);
    objects_.swap(reordered);
}

void SimObjectList::SortByDistance()
{
    const double userLatitude = userAircraft_.GetLatitude();
    const double userLongitude = userAircraft_.GetLongitude();
    for (CandidateRecord& record : nearbyCandidates_) {
        const SimObject* first = record.indices.empty() ? nullptr : At(record.indices.front());
        if (!first) {
            record.distance = std::numeric_limits<double>::max();
            continue;
        }
        const double d =
            geoMath_.HaversineDistance(userLatitude, userLongitude, first->GetLatitude(), first->GetLongitude());
        // A position that gives no distance must not break the ordering.
        record.distance = std::isfinite(d) ? d : std::numeric_limits<double>::max();
    }
    std::stable_sort(nearbyCandidates_.begin(), nearbyCandidates_.end(),
                     [](const CandidateRecord& a, const CandidateRecord& b) { return a.distance < b.distance; });
}
