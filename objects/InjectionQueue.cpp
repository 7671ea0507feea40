#include "objects/InjectionQueue.h"

#include <cstdint>
#include <cstddef>
#include <limits>

void InjectionQueue::Reset()
{
    lastRequestId_ = 0;
    pending_ = 0;
    total_ = 0;
    passStarted_ = false;
    cancelled_ = false;
    batches_.clear();
    requests_.clear();
    generation_ = (generation_ + 1) & 0xFFu;
}

void InjectionQueue::SplitIntoBatches(int32_t objectCount)
{
    batches_.clear();
    if (objectCount <= batchSize_) return;
    const int32_t full = objectCount / batchSize_;
    const int32_t rest = objectCount % batchSize_;
    batches_.assign(static_cast<size_t>(full), batchSize_);
    if (rest != 0) batches_.push_back(rest);
}

bool InjectionQueue::PopBatch()
{
    if (batches_.empty()) return false;
    // Splits without a Reset in between keep adding up; the total stops at the top of its range.
    const int64_t sum = static_cast<int64_t>(total_) + batches_.front();
    total_ = sum > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                      : static_cast<int32_t>(sum);
    batches_.erase(batches_.begin());
    return !batches_.empty();
}

void InjectionQueue::IncrementPending()
{
    if (pending_ < std::numeric_limits<int32_t>::max()) ++pending_;
}

void InjectionQueue::DecrementPending()
{
    if (pending_ > std::numeric_limits<int32_t>::min()) --pending_;
}

void InjectionQueue::SetCancelled(bool cancelled)
{
    cancelled_ = cancelled;
    if (cancelled) batches_.clear();
}

void InjectionQueue::MapRequest(int32_t sendId, int32_t requestId) { requests_.emplace(sendId, requestId); }

int32_t InjectionQueue::TakeRequest(int32_t sendId)
{
    const auto it = requests_.find(sendId);
    if (it == requests_.end()) return 0;
    const int32_t requestId = it->second;
    requests_.erase(it);
    return requestId;
}

bool InjectionQueue::UnmapObject(int32_t requestId)
{
    for (auto it = requests_.begin(); it != requests_.end(); ++it) {
        if (it->second == requestId) {
            requests_.erase(it);
            return true;
        }
    }
    return false;
}
