// Paces the creation of a rebuilt sim bubble's objects and ties the simulator's asynchronous creation
// answers back to the objects that asked for them.
//
// The active objects are created in batches of ten; the next batch starts when the simulator has
// assigned an id to the last object the current batch created. The queue keeps only numbers: batch
// sizes, request ids (an object's creation tag, never 0 for a real object) and the packet ids of the
// creation calls (send ids), so it needs nothing of the objects themselves. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

class InjectionQueue {
public:
    static constexpr int32_t DefaultBatchSize = 10;

    InjectionQueue() = default;
    ~InjectionQueue() = default;

    // Back to the constructed state; the batch size stays. A new creation generation begins: answers to
    // creations sent before the reset no longer match (see TagRequest).
    void Reset();

    // Creation answers arrive with the request id the creation call carried, and an answer may arrive
    // after a rebuild has handed the same object request id to a new creation. Creation calls therefore
    // carry the object's request id (below 2^24) with the generation in the top byte.
    static constexpr uint32_t kRequestIdMask = 0x00FFFFFFu;
    uint32_t TagRequest(uint32_t requestId) const { return (requestId & kRequestIdMask) | (generation_ << 24); }
    // The object request id of a tagged id; false when the tag belongs to an earlier generation.
    bool ReadTag(uint32_t tagged, uint32_t& requestId) const
    {
        requestId = tagged & kRequestIdMask;
        return (tagged >> 24) == generation_;
    }
    uint32_t GetGeneration() const { return generation_; }

    // Replaces the queued batches: nothing for up to one batch of objects (the caller creates them in
    // one pass), else full batches and then the remainder, if any. A negative count queues nothing.
    void SplitIntoBatches(int32_t objectCount);
    bool HasBatches() const { return !batches_.empty(); }
    // 0 when nothing is queued, so a creation pass over it creates nothing.
    int32_t GetFrontBatch() const { return batches_.empty() ? 0 : batches_.front(); }
    // Index in the active list where the front batch starts.
    int32_t GetTotal() const { return total_; }
    // Drops the front batch into the total. True when another batch remains.
    bool PopBatch();

    void SetLastRequestId(int32_t requestId) { lastRequestId_ = requestId; }
    int32_t GetLastRequestId() const { return lastRequestId_; }
    // True when requestId is the last request of the current pass; 0 stands for "no request" and
    // never matches, not even after the probe pass has set the last request id to 0.
    bool IsLastRequest(int32_t requestId) const { return requestId != 0 && requestId == lastRequestId_; }

    // Probe weather requests started and not yet answered. The count saturates at the ends of its
    // range instead of wrapping.
    void IncrementPending();
    void DecrementPending();
    int32_t GetPending() const { return pending_; }

    void SetPassStarted(bool started) { passStarted_ = started; }
    bool IsPassStarted() const { return passStarted_; }

    // Setting the flag ends the bubble's creation: the batches still queued are dropped.
    void SetCancelled(bool cancelled);
    bool IsCancelled() const { return cancelled_; }

    // Remembers which object request a creation packet belongs to. A send id already mapped keeps
    // its first entry.
    void MapRequest(int32_t sendId, int32_t requestId);
    // The request id of the send id, erased from the map; 0 when the send id is not mapped.
    int32_t TakeRequest(int32_t sendId);
    // Erases the entry with the lowest send id that maps to requestId. True when one was erased.
    bool UnmapObject(int32_t requestId);
    bool HasRequests() const { return !requests_.empty(); }

    int32_t GetBatchSize() const { return batchSize_; }
    const std::vector<int32_t>& GetBatches() const { return batches_; }
    const std::map<int32_t, int32_t>& GetRequests() const { return requests_; }

private:
    int32_t batchSize_ = DefaultBatchSize;
    int32_t lastRequestId_ = 0;
    int32_t pending_ = 0;
    bool passStarted_ = false;
    bool cancelled_ = false;
    std::vector<int32_t> batches_;  // front first
    int32_t total_ = 0;
    std::map<int32_t, int32_t> requests_;  // send id -> request id
    uint32_t generation_ = 0;               // 0 to 255
};
