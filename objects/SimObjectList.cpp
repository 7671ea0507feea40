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

SimObject& SimObjectList::Add(const SimObject& object)
{
    // Growing moves the owning pointers only; every object stays where it is, running or not.
    objects_.push_back(std::make_unique<SimObject>(object));
    return *objects_.back();
}

SimObject& SimObjectList::Add(SimObject&& object)
{
    objects_.push_back(std::make_unique<SimObject>(std::move(object)));
    return *objects_.back();
}

void SimObjectList::Reserve(int32_t count)
{
    if (count <= 0 || static_cast<size_t>(count) <= objects_.capacity()) return;
    objects_.reserve(std::max(static_cast<size_t>(count), 2 * objects_.capacity()));
}

SimObject* SimObjectList::At(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= objects_.size()) return nullptr;
    return objects_[static_cast<size_t>(index)].get();
}

const SimObject* SimObjectList::At(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= objects_.size()) return nullptr;
    return objects_[static_cast<size_t>(index)].get();
}

SimObject* SimObjectList::FindByRequestId(int32_t requestId)
{
    if (requestId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(requestId);
    for (const std::unique_ptr<SimObject>& o : objects_) {
        if (o->GetRequestId() == id) return o.get();
    }
    return nullptr;
}

SimObject* SimObjectList::FindByObjectId(int32_t objectId)
{
    if (objectId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(objectId);
    for (const std::unique_ptr<SimObject>& o : objects_) {
        if (o->GetObjectId() == id) return o.get();
    }
    return nullptr;
}

SimObject* SimObjectList::FindByName(const std::string& name)
{
    for (const std::unique_ptr<SimObject>& o : objects_) {
        if (o->GetName() == name) return o.get();
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
    for (const std::unique_ptr<SimObject>& o : objects_) o->StopActivity();
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
    const auto byGroup = [](const std::unique_ptr<SimObject>& a, const std::unique_ptr<SimObject>& b) {
        return a->GetGroupIndex() < b->GetGroupIndex();
    };
    if (std::is_sorted(objects_.begin(), objects_.end(), byGroup)) return;

    // The objects stay where they are; only their indices change, and handlers know objects by index.
    for (const std::unique_ptr<SimObject>& o : objects_) o->StopActivity();
    std::stable_sort(objects_.begin(), objects_.end(), byGroup);
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
