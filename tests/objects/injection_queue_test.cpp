// The injection queue: batching of a bubble's creations and the send-id bookkeeping of creation answers.
#include "objects/InjectionQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

namespace {

using Batches = std::vector<int32_t>;

void ExpectFresh(const InjectionQueue& queue)
{
    EXPECT_EQ(queue.GetBatchSize(), 10);
    EXPECT_EQ(queue.GetLastRequestId(), 0);
    EXPECT_EQ(queue.GetPending(), 0);
    EXPECT_FALSE(queue.IsPassStarted());
    EXPECT_FALSE(queue.IsCancelled());
    EXPECT_FALSE(queue.HasBatches());
    EXPECT_EQ(queue.GetFrontBatch(), 0);
    EXPECT_EQ(queue.GetTotal(), 0);
    EXPECT_FALSE(queue.HasRequests());
}

TEST(InjectionQueue, StartsEmpty)
{
    InjectionQueue queue;
    ExpectFresh(queue);
    EXPECT_FALSE(queue.PopBatch());
    EXPECT_EQ(queue.GetTotal(), 0);
    EXPECT_EQ(queue.TakeRequest(1), 0);
    EXPECT_FALSE(queue.UnmapObject(105));
}

TEST(InjectionQueue, SplitIntoBatches)
{
    const struct {
        int32_t count;
        Batches batches;
    } cases[] = {
        {-5, {}},
        {0, {}},
        {1, {}},
        {10, {}},  // one pass: the caller creates them all at once
        {11, {10, 1}},
        {20, {10, 10}},  // no empty remainder batch
        {25, {10, 10, 5}},
        {30, {10, 10, 10}},
        {99, {10, 10, 10, 10, 10, 10, 10, 10, 10, 9}},
    };
    for (const auto& c : cases) {
        InjectionQueue queue;
        queue.SplitIntoBatches(c.count);
        EXPECT_EQ(queue.GetBatches(), c.batches) << c.count;
        EXPECT_EQ(queue.HasBatches(), !c.batches.empty()) << c.count;
        EXPECT_EQ(queue.GetFrontBatch(), c.batches.empty() ? 0 : c.batches.front()) << c.count;
        EXPECT_EQ(queue.GetTotal(), 0) << c.count;
    }
}

TEST(InjectionQueue, PopBatchWalksTheBatchesAndAddsUpTheTotal)
{
    InjectionQueue queue;
    queue.SplitIntoBatches(25);
    const struct {
        bool remains;
        int32_t total;
        int32_t front;
    } steps[] = {{true, 10, 10}, {true, 20, 5}, {false, 25, 0}, {false, 25, 0}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(queue.PopBatch(), steps[i].remains) << "pop " << i;
        EXPECT_EQ(queue.GetTotal(), steps[i].total) << "pop " << i;
        EXPECT_EQ(queue.GetFrontBatch(), steps[i].front) << "pop " << i;
    }
    EXPECT_FALSE(queue.HasBatches());
}

TEST(InjectionQueue, PopOfTheOnlyBatchReturnsFalseButCountsIt)
{
    InjectionQueue queue;
    queue.SplitIntoBatches(11);
    ASSERT_TRUE(queue.PopBatch());  // 10 of 10, 1
    EXPECT_FALSE(queue.PopBatch());
    EXPECT_EQ(queue.GetTotal(), 11);
}

TEST(InjectionQueue, SplitReplacesTheBatchesButNotTheTotal)
{
    InjectionQueue queue;
    queue.SplitIntoBatches(25);
    queue.PopBatch();
    queue.SplitIntoBatches(12);
    EXPECT_EQ(queue.GetBatches(), (Batches{10, 2}));
    EXPECT_EQ(queue.GetTotal(), 10);
    queue.SplitIntoBatches(3);
    EXPECT_FALSE(queue.HasBatches());
}

TEST(InjectionQueue, CancelDropsTheBatchesOnlyWhenSet)
{
    InjectionQueue queue;
    queue.SplitIntoBatches(30);
    queue.SetCancelled(false);
    EXPECT_FALSE(queue.IsCancelled());
    EXPECT_EQ(queue.GetBatches().size(), 3u);

    queue.SetCancelled(true);
    EXPECT_TRUE(queue.IsCancelled());
    EXPECT_FALSE(queue.HasBatches());
    EXPECT_EQ(queue.GetFrontBatch(), 0);
    EXPECT_FALSE(queue.PopBatch());

    queue.SetCancelled(false);
    EXPECT_FALSE(queue.IsCancelled());
}

TEST(InjectionQueue, ResetReturnsToTheConstructedState)
{
    InjectionQueue queue;
    queue.SplitIntoBatches(42);
    queue.PopBatch();
    queue.SetLastRequestId(117);
    queue.IncrementPending();
    queue.SetPassStarted(true);
    queue.SetCancelled(true);
    queue.SplitIntoBatches(42);
    queue.MapRequest(7, 105);
    queue.Reset();
    ExpectFresh(queue);
}

TEST(InjectionQueue, CountersAndFlags)
{
    InjectionQueue queue;
    queue.IncrementPending();
    queue.IncrementPending();
    queue.DecrementPending();
    EXPECT_EQ(queue.GetPending(), 1);
    queue.DecrementPending();
    queue.DecrementPending();  // an answer nobody waited for
    EXPECT_EQ(queue.GetPending(), -1);

    queue.SetPassStarted(true);
    EXPECT_TRUE(queue.IsPassStarted());
    queue.SetLastRequestId(140);
    EXPECT_EQ(queue.GetLastRequestId(), 140);
    EXPECT_TRUE(queue.IsLastRequest(140));
    EXPECT_FALSE(queue.IsLastRequest(141));
}

TEST(InjectionQueue, ZeroIsNeverTheLastRequest)
{
    // After the probe pass the last request id is 0, and 0 is also what an unknown send id gives back.
    InjectionQueue queue;
    queue.SetLastRequestId(0);
    EXPECT_FALSE(queue.IsLastRequest(queue.TakeRequest(99)));
}

TEST(InjectionQueue, SendIdBookkeeping)
{
    InjectionQueue queue;
    queue.MapRequest(7, 105);
    queue.MapRequest(7, 106);  // a send id already mapped keeps its entry
    queue.MapRequest(3, 110);
    EXPECT_TRUE(queue.HasRequests());
    EXPECT_EQ(queue.GetRequests(), (std::map<int32_t, int32_t>{{3, 110}, {7, 105}}));

    EXPECT_EQ(queue.TakeRequest(7), 105);
    EXPECT_EQ(queue.TakeRequest(7), 0);  // once only
    EXPECT_EQ(queue.TakeRequest(4), 0);
    EXPECT_EQ(queue.TakeRequest(3), 110);
    EXPECT_FALSE(queue.HasRequests());
}

TEST(InjectionQueue, UnmapObjectErasesTheLowestSendIdOfTheRequest)
{
    // A replaced object has two creation packets under one request id.
    InjectionQueue queue;
    queue.MapRequest(20, 105);
    queue.MapRequest(9, 105);
    queue.MapRequest(12, 107);

    EXPECT_TRUE(queue.UnmapObject(105));
    EXPECT_EQ(queue.GetRequests(), (std::map<int32_t, int32_t>{{12, 107}, {20, 105}}));
    EXPECT_TRUE(queue.UnmapObject(105));
    EXPECT_FALSE(queue.UnmapObject(105));
    EXPECT_FALSE(queue.UnmapObject(0));
    EXPECT_EQ(queue.GetRequests(), (std::map<int32_t, int32_t>{{12, 107}}));
}

// A bubble of n objects driven the way the handlers drive the queue: a batch pass creates the objects
// [total, total + front) and records the last request; an id assigned to the last request, or a
// creation failure of the last request, moves on to the next batch; failed sets the requests whose
// creation the simulator refuses. Returns how often each active index was created.
std::vector<int> CreateBubble(int32_t n, const std::vector<int32_t>& failed, InjectionQueue& queue)
{
    constexpr int32_t firstRequestId = 105;
    std::vector<int> created(static_cast<size_t>(n), 0);
    int32_t nextSendId = 1;
    std::vector<std::pair<int32_t, int32_t>> inFlight;  // send id, request id

    auto createRange = [&](int32_t first, int32_t count) {
        for (int32_t i = first; i < first + count; ++i) {
            const int32_t requestId = firstRequestId + i;
            ++created[static_cast<size_t>(i)];
            queue.MapRequest(nextSendId, requestId);
            inFlight.emplace_back(nextSendId++, requestId);
            queue.SetLastRequestId(requestId);
        }
    };
    auto nextBatch = [&] {
        if (queue.PopBatch()) createRange(queue.GetTotal(), queue.GetFrontBatch());
    };

    queue.Reset();
    queue.SplitIntoBatches(n);
    if (queue.HasBatches()) createRange(0, queue.GetFrontBatch());
    else createRange(0, n);

    // The simulator answers in order, one packet at a time.
    while (!inFlight.empty()) {
        const auto [sendId, requestId] = inFlight.front();
        inFlight.erase(inFlight.begin());
        if (std::find(failed.begin(), failed.end(), requestId) != failed.end()) {
            if (queue.IsLastRequest(queue.TakeRequest(sendId))) nextBatch();
        } else {
            EXPECT_TRUE(queue.UnmapObject(requestId));
            if (queue.IsLastRequest(requestId)) nextBatch();
        }
    }
    EXPECT_FALSE(queue.HasRequests());
    EXPECT_FALSE(queue.HasBatches());
    return created;
}

TEST(InjectionQueue, EveryObjectOfABubbleIsCreatedOnce)
{
    const struct {
        const char* label;
        int32_t n;
        std::vector<int32_t> failed;  // request ids
    } cases[] = {
        {"one pass", 7, {}},
        {"exact batches", 30, {}},
        {"remainder", 25, {}},
        {"failure inside a batch", 25, {107}},
        // The last object of a batch fails: the creation goes on with the next batch.
        {"failure of a batch's last object", 25, {114}},
        {"failure of every batch's last object", 25, {114, 124, 129}},
    };
    for (const auto& c : cases) {
        InjectionQueue queue;
        const std::vector<int> created = CreateBubble(c.n, c.failed, queue);
        EXPECT_EQ(created, std::vector<int>(static_cast<size_t>(c.n), 1)) << c.label;
        EXPECT_EQ(queue.GetTotal(), c.n > 10 ? c.n : 0) << c.label;
    }
}

}  // namespace

// A creation answer names the request id its call carried. After a reset (a bubble rebuild) the same
// object request id belongs to a new creation, and an answer to the old one must not be taken for it.
TEST(InjectionQueue, TagsTellCreationsOfEarlierGenerationsApart)
{
    InjectionQueue queue;
    const uint32_t before = queue.TagRequest(105);
    uint32_t request = 0;
    EXPECT_TRUE(queue.ReadTag(before, request));
    EXPECT_EQ(request, 105u);

    queue.Reset();
    const uint32_t after = queue.TagRequest(105);
    EXPECT_NE(before, after);
    EXPECT_FALSE(queue.ReadTag(before, request));
    EXPECT_EQ(request, 105u);
    EXPECT_TRUE(queue.ReadTag(after, request));

    // Ids above the tag's room keep their low 24 bits; the generation wraps after 256 resets.
    EXPECT_EQ(queue.TagRequest(0x01000069u) & InjectionQueue::kRequestIdMask, 0x69u);
    for (int i = 0; i < 256; ++i) queue.Reset();
    EXPECT_TRUE(queue.ReadTag(after, request));
}
