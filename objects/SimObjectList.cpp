#include "objects/SimObjectList.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define VELK_POISON_RECORDS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELK_POISON_RECORDS 1
#endif
#endif

#ifdef VELK_POISON_RECORDS
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Blocks grow with the list, from a few records for a small list to this many for a large one.
constexpr size_t kMinBlockRecords = 16;
constexpr size_t kMaxBlockRecords = 1024;

template <typename T>
void Release(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

// A record that holds no object is poisoned under AddressSanitizer, so that a pointer kept past Empty
// is reported when it is used, as it would be were the object's memory freed.
void Poison(const void* p, size_t bytes)
{
#ifdef VELK_POISON_RECORDS
    ASAN_POISON_MEMORY_REGION(p, bytes);
#else
    (void)p;
    (void)bytes;
#endif
}

void Unpoison(const void* p, size_t bytes)
{
#ifdef VELK_POISON_RECORDS
    ASAN_UNPOISON_MEMORY_REGION(p, bytes);
#else
    (void)p;
    (void)bytes;
#endif
}

}  // namespace

SimObjectList::~SimObjectList() { ReleaseRecords(); }

void SimObjectList::AddBlock(size_t records)
{
    // Left uninitialised: each record is written by the object constructed in it.
    Block block{std::unique_ptr<Record[]>(new Record[records]), records};
    Poison(block.records.get(), records * sizeof(Record));
    blocks_.push_back(std::move(block));
    capacity_ += records;
}

void* SimObjectList::NextRecord()
{
    // Room in the order first, so that taking the object in cannot fail once it is constructed.
    if (objects_.size() == objects_.capacity())
        objects_.reserve(std::max<size_t>(kMinBlockRecords, 2 * objects_.size()));
    if (usedBlocks_ == 0 || usedInBlock_ == blocks_[usedBlocks_ - 1].size) {
        if (usedBlocks_ == blocks_.size()) AddBlock(std::clamp(capacity_, kMinBlockRecords, kMaxBlockRecords));
        ++usedBlocks_;
        usedInBlock_ = 0;
    }
    Record* record = &blocks_[usedBlocks_ - 1].records[usedInBlock_];
    Unpoison(record, sizeof(Record));
    return record;
}

SimObject& SimObjectList::Commit(SimObject* object)
{
    ++usedInBlock_;
    objects_.push_back(object);
    return *object;
}

// A record that held an object before the last Empty still holds it, without models: the new object is
// assigned into it, reusing the room of its texts. Any other record gets the object constructed in it.
template <typename Source>
SimObject& SimObjectList::Place(Source&& object)
{
    // Growing moves the pointers only; every object stays where it is, running or not.
    void* record = NextRecord();
    if (objects_.size() < constructed_) {
        SimObject* kept = std::launder(static_cast<SimObject*>(record));
        *kept = std::forward<Source>(object);
        return Commit(kept);
    }
    SimObject* made = new (record) SimObject(std::forward<Source>(object));
    ++constructed_;
    return Commit(made);
}

SimObject& SimObjectList::Add(const SimObject& object) { return Place(object); }

SimObject& SimObjectList::Add(SimObject&& object) { return Place(std::move(object)); }

void SimObjectList::Reserve(int32_t count)
{
    if (count <= 0) return;
    const size_t wanted = static_cast<size_t>(count);
    if (wanted > objects_.capacity()) objects_.reserve(std::max(wanted, 2 * objects_.capacity()));
    if (wanted > capacity_) AddBlock(std::max(wanted - capacity_, kMinBlockRecords));
}

void SimObjectList::ClearObjects()
{
    // Models of an object's own are what may hold a timer, a motion or a sound: they go now. The rest
    // of the object (its texts, its stand record) stays in its record until the next fill assigns over it.
    for (SimObject* o : objects_) {
        o->ReleaseOwnModels();
        Poison(o, sizeof(Record));
    }
    objects_.clear();
    usedBlocks_ = 0;
    usedInBlock_ = 0;
}

void SimObjectList::ReleaseRecords()
{
    Empty();
    // The cleared objects fill the first records, block by block.
    size_t left = constructed_;
    for (const Block& block : blocks_) {
        Unpoison(block.records.get(), block.size * sizeof(Record));
        for (size_t i = 0; i < block.size && left > 0; ++i, --left)
            std::launder(reinterpret_cast<SimObject*>(&block.records[i]))->~SimObject();
    }
    constructed_ = 0;
    Release(blocks_);
    capacity_ = 0;
}

SimObject* SimObjectList::At(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= objects_.size()) return nullptr;
    return objects_[static_cast<size_t>(index)];
}

const SimObject* SimObjectList::At(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= objects_.size()) return nullptr;
    return objects_[static_cast<size_t>(index)];
}

SimObject* SimObjectList::FindByRequestId(int32_t requestId)
{
    if (requestId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(requestId);
    for (SimObject* o : objects_) {
        if (o->GetRequestId() == id) return o;
    }
    return nullptr;
}

SimObject* SimObjectList::FindByObjectId(int32_t objectId)
{
    if (objectId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(objectId);
    for (SimObject* o : objects_) {
        if (o->GetObjectId() == id) return o;
    }
    return nullptr;
}

SimObject* SimObjectList::FindByName(const std::string& name)
{
    for (SimObject* o : objects_) {
        if (o->GetName() == name) return o;
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
    for (SimObject* o : objects_) o->StopActivity();
    ClearObjects();
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
    ReleaseRecords();
    requestedCount_ = 0;
    createdCount_ = 0;
}

void SimObjectList::SortByGroupIndex()
{
    const auto byGroup = [](const SimObject* a, const SimObject* b) {
        return a->GetGroupIndex() < b->GetGroupIndex();
    };
    if (std::is_sorted(objects_.begin(), objects_.end(), byGroup)) return;

    // The objects stay where they are; only their indices change, and handlers know objects by index.
    for (SimObject* o : objects_) o->StopActivity();
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
