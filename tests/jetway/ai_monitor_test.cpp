// The AI monitor: aircraft passes, job lists, serialization into the primary queue and chains, the
// one-job-at-a-time exchange, and concurrent use under its mutex.
#include "jetway/AIMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

using Ids = std::vector<uint32_t>;

AIObject Aircraft(int32_t id, const char* state = "sleep", double latitude = 47.0)
{
    return AIObject(id, "A320 X" + std::to_string(id), state, latitude, 8.0, 1000.0, 90.0, "", nullptr, nullptr);
}

TEST(AIMonitorAircraft, PassesPromoteUpdateAndVanish)
{
    AIMonitor monitor;
    EXPECT_TRUE(monitor.IsAIDetectionEnabled());
    EXPECT_FALSE(monitor.IsFirstPassDone());

    // First pass: 1 and 2 reported.
    monitor.AddPendingAIObject(Aircraft(1));
    monitor.AddPendingAIObject(Aircraft(2));
    monitor.PromoteNewAIObjects();
    monitor.SetFirstPassDone(true);
    EXPECT_EQ(monitor.GetMonitoredIDs(), (std::set<int32_t>{1, 2}));

    // Second pass: 2 moved and changed state, 3 is new, 1 is gone.
    monitor.ClearPending();
    monitor.AddPendingAIObject(Aircraft(2, "clearance", 48.0));
    monitor.AddPendingAIObject(Aircraft(3));
    EXPECT_EQ(monitor.GetVanishedIDs(), (std::set<int32_t>{1}));
    for (int32_t id : monitor.GetVanishedIDs()) monitor.RemoveAIObject(id);
    monitor.PromoteNewAIObjects();
    // Promotion of new ids does not replace a monitored record; the update copies state and position.
    monitor.FindAIObject(2)->SetDocked(true);
    monitor.UpdateMonitoredPlacements();
    EXPECT_EQ(monitor.GetMonitoredIDs(), (std::set<int32_t>{2, 3}));
    EXPECT_EQ(monitor.GetMonitoredCount(), 2u);
    AIObject* two = monitor.FindAIObject(2);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->GetTrafficState(), 5);
    EXPECT_EQ(two->GetPlacement().GetLatitude(), 48.0);
    EXPECT_EQ(two->GetPlacement().GetHeading(), 90.0);
    EXPECT_TRUE(two->IsDocked());
    EXPECT_EQ(monitor.FindAIObject(1), nullptr);

    // Promoting an id the latest pass lacks changes nothing.
    monitor.PromoteAIObject(99);
    EXPECT_EQ(monitor.GetMonitoredCount(), 2u);
}

TEST(AIMonitorAircraft, HostileIdsAndReset)
{
    AIMonitor monitor;
    monitor.AddPendingAIObject(Aircraft(0));
    EXPECT_EQ(monitor.GetLatestCount(), 0u);
    // A repeated id replaces the latest record.
    monitor.AddPendingAIObject(Aircraft(5, "sleep"));
    monitor.AddPendingAIObject(Aircraft(5, "shutdown"));
    EXPECT_EQ(monitor.GetLatestCount(), 1u);
    monitor.PromoteAIObject(5);
    EXPECT_EQ(monitor.FindAIObject(5)->GetTrafficState(), 19);
    EXPECT_EQ(monitor.FindAIObject(0), nullptr);

    monitor.SetFirstPassDone(true);
    monitor.AddJob(5, 70);
    monitor.AddPendingJetway(70);
    monitor.SerializeJobs();
    monitor.Reset();
    EXPECT_FALSE(monitor.IsFirstPassDone());
    EXPECT_EQ(monitor.GetMonitoredCount(), 0u);
    EXPECT_FALSE(monitor.HasJobs());
    EXPECT_FALSE(monitor.HasPendingJetways());
    // The primary queue is left to ClearTrackedJobs.
    EXPECT_EQ(monitor.GetTrackedJobCount(), 1u);
    monitor.ClearTrackedJobs();
    EXPECT_EQ(monitor.GetTrackedJobCount(), 0u);
    // The latest aircraft are left to ClearPending.
    EXPECT_EQ(monitor.GetLatestCount(), 1u);
}

TEST(AIMonitorJobs, ListsAddRemoveSwapAndRefuseBadIds)
{
    AIMonitor monitor;
    EXPECT_EQ(monitor.GetFirstJobOf(1), 0u);
    EXPECT_EQ(monitor.GetJobCountOf(1), 0u);
    monitor.AddJob(1, 7);
    monitor.AddJob(1, 9);
    monitor.AddJob(1, 7);  // already there
    monitor.AddJob(1, 0);
    monitor.AddJob(0, 5);
    EXPECT_EQ(monitor.GetJobsOf(1), (Ids{7, 9}));
    EXPECT_EQ(monitor.GetJobCountOf(0), 0u);
    EXPECT_EQ(monitor.GetFirstJobOf(1), 7u);
    monitor.SwapFirstJobsOf(1);
    EXPECT_EQ(monitor.GetJobsOf(1), (Ids{9, 7}));
    monitor.SwapFirstJobsOf(2);  // no list: nothing

    bool emptied = true;
    EXPECT_FALSE(monitor.RemoveJobEntryEx(1, 4, emptied));
    EXPECT_FALSE(emptied);
    EXPECT_TRUE(monitor.RemoveJobEntryEx(1, 9, emptied));
    EXPECT_FALSE(emptied);
    EXPECT_TRUE(monitor.RemoveJobEntryEx(1, 7, emptied));
    EXPECT_TRUE(emptied);
    EXPECT_FALSE(monitor.HasJobs());
    EXPECT_FALSE(monitor.RemoveJobEntry(1, 7));

    // From the first list in aircraft id order only.
    monitor.AddJob(3, 8);
    monitor.AddJob(2, 8);
    monitor.AddJob(2, 6);
    EXPECT_TRUE(monitor.RemoveJetwayFromAllJobs(8));
    EXPECT_EQ(monitor.GetJobsOf(2), (Ids{6}));
    EXPECT_EQ(monitor.GetJobsOf(3), (Ids{8}));
    EXPECT_TRUE(monitor.RemoveJetwayFromAllJobs(8));
    EXPECT_EQ(monitor.GetJobCountOf(3), 0u);
    EXPECT_FALSE(monitor.RemoveJetwayFromAllJobs(8));
}

TEST(AIMonitorJobs, SerializingChainsEachAircraftsJetways)
{
    AIMonitor monitor;
    monitor.AddJob(1, 7);
    monitor.AddJob(1, 9);
    monitor.AddJob(1, 4);
    EXPECT_FALSE(monitor.SerializeJobs());
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{7}));
    EXPECT_EQ(monitor.GetPrimaryPartner(7), 9u);
    EXPECT_EQ(monitor.GetPrimaryPartner(9), 4u);
    EXPECT_EQ(monitor.GetPrimaryPartner(4), 0u);
    EXPECT_TRUE(monitor.IsPrimaryJob(7));
    EXPECT_FALSE(monitor.IsChainedJob(7));
    EXPECT_TRUE(monitor.IsChainedJob(9));
    EXPECT_TRUE(monitor.IsChainedJob(4));
    EXPECT_FALSE(monitor.IsPrimaryJob(4));
    EXPECT_EQ(monitor.GetPrimaryJobCount(), 2u);
    // Again with the same lists: the same queue, since 7 has no predecessor.
    EXPECT_FALSE(monitor.SerializeJobs());
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{7}));

    // 7 left the list but 9 is still chained behind it: 9 waits and is not queued.
    EXPECT_TRUE(monitor.RemoveJobEntry(1, 7));
    EXPECT_TRUE(monitor.SerializeJobs());
    EXPECT_EQ(monitor.GetTrackedJobCount(), 0u);
    monitor.EraseFromJobMaps(9);
    EXPECT_FALSE(monitor.SerializeJobs());
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{9}));
    monitor.AddJob(1, 7);  // back at the end: 4 -> 7
    monitor.SerializeJobs();
    EXPECT_EQ(monitor.GetPrimaryPartner(4), 7u);
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{9}));

    // A second aircraft: the first jetways of both, in aircraft id order.
    monitor.AddJob(0 + 5, 3);
    monitor.AddJob(2, 11);
    EXPECT_FALSE(monitor.SerializeJobs());
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{9, 11, 3}));

    AIMonitor empty;
    EXPECT_TRUE(empty.SerializeJobs());
}

TEST(AIMonitorJobs, PrimaryQueueOperations)
{
    AIMonitor monitor;
    EXPECT_EQ(monitor.GetFirstTrackedJob(), 0u);
    monitor.InsertTrackedJob(1, 0);
    monitor.InsertTrackedJob(2, 1);
    monitor.InsertTrackedJob(3, 5);  // past the end: appended
    monitor.InsertTrackedJob(4, 0);
    monitor.InsertTrackedJob(5, 1);
    monitor.InsertTrackedJob(0, 0);  // no object
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{4, 5, 1, 2, 3}));
    EXPECT_EQ(monitor.GetFirstTrackedJob(), 4u);

    // True means the id was not queued.
    EXPECT_TRUE(monitor.RemoveTrackedJob(99));
    EXPECT_EQ(monitor.GetTrackedJobCount(), 5u);
    EXPECT_FALSE(monitor.RemoveTrackedJob(1));
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{4, 5, 2, 3}));

    monitor.AddJob(1, 20);
    monitor.AddJob(1, 21);
    monitor.SerializeJobs();
    EXPECT_EQ(monitor.GetPrimaryJobCount(), 1u);
    monitor.ClearTrackedJobs();
    EXPECT_EQ(monitor.GetTrackedJobCount(), 0u);
    EXPECT_EQ(monitor.GetPrimaryJobCount(), 0u);
    EXPECT_FALSE(monitor.IsChainedJob(21));
    EXPECT_TRUE(monitor.HasJobs());  // the job lists stay
}

TEST(AIMonitorJobs, ProcessJobsOfDropsAnAircraftsJobs)
{
    struct Case {
        const char* name;
        bool firstPending;
        Ids queueAfter;
    };
    const Case cases[] = {
        {"first not sent yet: leaves the queue", false, {30}},
        {"first sent: stays until acknowledged", true, {7, 30}},
    };
    for (const Case& c : cases) {
        AIMonitor monitor;
        monitor.AddJob(1, 7);
        monitor.AddJob(1, 9);
        monitor.AddJob(2, 30);
        monitor.SerializeJobs();
        if (c.firstPending) monitor.AddPendingJetway(7);
        monitor.ProcessJobsOf(1);
        EXPECT_EQ(monitor.GetTrackedJobs(), c.queueAfter) << c.name;
        EXPECT_EQ(monitor.GetJobCountOf(1), 0u) << c.name;
        EXPECT_FALSE(monitor.IsPrimaryJob(7)) << c.name;
        EXPECT_FALSE(monitor.IsChainedJob(9)) << c.name;
        EXPECT_EQ(monitor.GetJobsOf(2), (Ids{30})) << c.name;
    }
}

TEST(AIMonitorJobs, OneJobAtATime)
{
    AIMonitor monitor;
    monitor.AddJob(1, 7);
    monitor.AddJob(1, 9);
    monitor.AddJob(2, 30);
    ASSERT_FALSE(monitor.SerializeJobs());

    // The sender takes the first job while nothing is pending.
    std::vector<uint32_t> sent;
    const auto sendNext = [&] {
        if (monitor.HasPendingJetways()) return;
        const uint32_t id = monitor.GetFirstTrackedJob();
        if (id == 0) return;
        sent.push_back(id);
        monitor.AddPendingJetway(id);
    };
    sendNext();
    sendNext();  // 7 not acknowledged: nothing
    EXPECT_EQ(sent, (Ids{7}));

    // Acknowledged: off the queue and no longer pending; the next job goes.
    EXPECT_FALSE(monitor.RemoveTrackedJob(7));
    EXPECT_TRUE(monitor.RemovePendingJetway(7));
    EXPECT_FALSE(monitor.RemovePendingJetway(7));
    sendNext();
    EXPECT_EQ(sent, (Ids{7, 30}));

    // 7 reports intermediate while 30 is pending: its successor goes in at position 1.
    EXPECT_TRUE(monitor.RemoveJobEntry(1, 7));
    ASSERT_TRUE(monitor.IsPrimaryJob(7));
    const uint32_t next = monitor.GetPrimaryPartner(7);
    EXPECT_EQ(next, 9u);
    monitor.InsertTrackedJob(next, monitor.HasPendingJetways() ? 1 : 0);
    monitor.EraseFromJobMaps(next);
    EXPECT_FALSE(monitor.IsPrimaryJob(7));
    EXPECT_FALSE(monitor.IsChainedJob(9));
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{30, 9}));
    sendNext();  // 30 still pending
    EXPECT_EQ(sent, (Ids{7, 30}));

    EXPECT_FALSE(monitor.RemoveTrackedJob(30));
    monitor.RemovePendingJetway(30);
    sendNext();
    EXPECT_EQ(sent, (Ids{7, 30, 9}));

    // The next pass rebuilds the queue from the lists: 9 is its aircraft's first job now.
    EXPECT_FALSE(monitor.SerializeJobs());
    EXPECT_EQ(monitor.GetTrackedJobs(), (Ids{9, 30}));
}

// Runs body(t) on kThreads threads that start together.
template <typename Body>
void RunTogether(int count, Body body)
{
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < count) std::this_thread::yield();
            body(t);
        });
    }
    for (std::thread& thread : threads) thread.join();
}

constexpr int kThreads = 4;
constexpr uint32_t kPerThread = 400;

uint32_t JetwayOf(int thread, uint32_t i) { return static_cast<uint32_t>(thread + 1) * 10000 + i; }

TEST(AIMonitorThreads, ConcurrentQueueChangesLoseNothing)
{
    AIMonitor monitor;
    RunTogether(kThreads, [&](int t) {
        for (uint32_t i = 1; i <= kPerThread; ++i) {
            monitor.InsertTrackedJob(JetwayOf(t, i), i % 3);
            monitor.AddPendingJetway(JetwayOf(t, i));
            (void)monitor.GetFirstTrackedJob();
            (void)monitor.GetTrackedJobCount();
            (void)monitor.IsPrimaryJob(JetwayOf(t, i));
            (void)monitor.HasPendingJetways();
        }
    });
    const Ids queued = monitor.GetTrackedJobs();
    ASSERT_EQ(queued.size(), kThreads * kPerThread);
    std::set<uint32_t> expected;
    for (int t = 0; t < kThreads; ++t)
        for (uint32_t i = 1; i <= kPerThread; ++i) expected.insert(JetwayOf(t, i));
    EXPECT_EQ(std::set<uint32_t>(queued.begin(), queued.end()), expected);

    RunTogether(kThreads, [&](int t) {
        for (uint32_t i = 1; i <= kPerThread; ++i) {
            EXPECT_FALSE(monitor.RemoveTrackedJob(JetwayOf(t, i)));
            EXPECT_TRUE(monitor.RemovePendingJetway(JetwayOf(t, i)));
            if (i % 100 == 0) monitor.EraseFromJobMaps(JetwayOf(t, i));
        }
    });
    EXPECT_EQ(monitor.GetTrackedJobCount(), 0u);
    EXPECT_FALSE(monitor.HasPendingJetways());
}

TEST(AIMonitorThreads, SerializingWhileJobsAreAdded)
{
    AIMonitor monitor;
    RunTogether(kThreads + 1, [&](int t) {
        if (t == kThreads) {
            // One thread serializes and clears while the others add jobs.
            for (int n = 0; n < 200; ++n) {
                monitor.SerializeJobs();
                if (n % 20 == 0) monitor.ClearTrackedJobs();
                (void)monitor.GetPrimaryJobCount();
            }
            return;
        }
        for (uint32_t i = 1; i <= kPerThread; ++i) {
            monitor.AddJob(t + 1, JetwayOf(t, i));
            (void)monitor.GetFirstJobOf(t + 1);
        }
    });
    monitor.ClearTrackedJobs();
    EXPECT_FALSE(monitor.SerializeJobs());
    Ids firsts;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(monitor.GetJobCountOf(t + 1), kPerThread);
        firsts.push_back(JetwayOf(t, 1));
    }
    EXPECT_EQ(monitor.GetTrackedJobs(), firsts);
    EXPECT_EQ(monitor.GetPrimaryJobCount(), kThreads * (kPerThread - 1));
}

}  // namespace
