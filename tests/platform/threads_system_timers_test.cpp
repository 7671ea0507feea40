// Timer queues on the real timer thread and worker pool. The tests wait on events for callbacks, never for
// a span of time.
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/timers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A period long enough that a periodic timer never runs twice within a test, however loaded the machine.
constexpr DWORD kNeverAgainMs = 600000;

// An event closed at the end of the test.
struct Event {
    explicit Event(BOOL manualReset = TRUE) : handle(CreateEventA(nullptr, manualReset, FALSE, nullptr)) {}
    ~Event() { CloseHandle(handle); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void Set() const { SetEvent(handle); }
    void Wait() const { ASSERT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0); }
    bool IsSet() const { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }
    HANDLE handle;
};

// The order in which things happened, across threads.
struct Journal {
    void Add(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(entry);
    }
    std::vector<std::string> Entries() {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
    std::mutex mutex;
    std::vector<std::string> entries;
};

// A callback that announces its first run, then stays inside until released. Later runs only count.
struct HeldCallback {
    Event entered;
    Event release;
    Journal journal;
    std::atomic<int> runs{0};
    std::atomic<bool> deletionReturned{false};
    std::atomic<int> runsAfterDeletion{0};

    static void Run(PVOID parameter, BOOLEAN) {
        auto& self = *static_cast<HeldCallback*>(parameter);
        if (self.deletionReturned) ++self.runsAfterDeletion;
        if (++self.runs > 1) return;
        self.journal.Add("callback entered");
        self.entered.Set();
        self.release.Wait();
        self.journal.Add("callback returned");
    }
};

TEST(SystemTimers, DefaultQueueRunsOneShotAndPeriodicTimers) {
    struct Case {
        const char* name;
        DWORD period;
        ULONG flags;
    };
    const Case cases[] = {{"one shot, pool", 0, WT_EXECUTEDEFAULT},
                          {"one shot, timer thread", 0, WT_EXECUTEINTIMERTHREAD},
                          {"periodic, timer thread", 1, WT_EXECUTEINTIMERTHREAD},
                          {"periodic, pool", 1, WT_EXECUTEDEFAULT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        struct Context {
            Event ran{FALSE};
            std::atomic<int> runs{0};
        } context;
        HANDLE timer = nullptr;
        ASSERT_TRUE(CreateTimerQueueTimer(
            &timer, nullptr,
            [](PVOID p, BOOLEAN) {
                auto& ctx = *static_cast<Context*>(p);
                ++ctx.runs;
                ctx.ran.Set();
            },
            &context, 0, c.period, c.flags));
        context.ran.Wait();
        if (c.period == 0) {
            // Run the one-shot once more by re-arming it.
            ASSERT_TRUE(ChangeTimerQueueTimer(nullptr, timer, 0, 0));
            context.ran.Wait();
        } else {
            while (context.runs.load() < 3) context.ran.Wait();
        }
        ASSERT_TRUE(DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE));
        if (c.period == 0) {
            EXPECT_EQ(context.runs, 2);
        }
        // Nothing runs after a waiting deletion, so the context may go now.
    }
}

// Rule for every stop and shutdown: a waiting deletion returns only after the running callback returned,
// and nothing runs afterwards.
TEST(SystemTimers, WaitingDeletionWaitsForTheRunningCallback) {
    struct Case {
        const char* name;
        ULONG flags;
        bool wholeQueue;
    };
    const Case cases[] = {{"queue, timer thread", WT_EXECUTEINTIMERTHREAD, true},
                          {"queue, pool", WT_EXECUTEDEFAULT, true},
                          {"timer, timer thread", WT_EXECUTEINTIMERTHREAD, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeldCallback held;
        HANDLE queue = CreateTimerQueue();
        HANDLE timer = nullptr;
        ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, HeldCallback::Run, &held, 0, kNeverAgainMs, c.flags));
        held.entered.Wait();
        std::thread deleter([&] {
            held.journal.Add("deleting");
            const BOOL deleted = c.wholeQueue ? DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE)
                                              : DeleteTimerQueueTimer(queue, timer, INVALID_HANDLE_VALUE);
            held.deletionReturned = true;
            held.journal.Add(deleted ? "deleted" : "deletion failed");
        });
        // Only the journal of the deleter tells that it has started; then let the callback go.
        while (held.journal.Entries().size() < 2) std::this_thread::yield();
        held.release.Set();
        deleter.join();
        const std::vector<std::string> expected = {"callback entered", "deleting", "callback returned", "deleted"};
        EXPECT_EQ(held.journal.Entries(), expected);
        EXPECT_EQ(held.runs, 1);
        EXPECT_EQ(held.runsAfterDeletion, 0);
        if (!c.wholeQueue) {
            EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
        }
    }
}

TEST(SystemTimers, DeletionWithoutWaitingReportsTheRunningCallbackAndSignalsCompletion) {
    HeldCallback held;
    Event completed;
    HANDLE queue = CreateTimerQueue();
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, HeldCallback::Run, &held, 0, 1, WT_EXECUTEINTIMERTHREAD));
    held.entered.Wait();
    SetLastError(0);
    EXPECT_FALSE(DeleteTimerQueueEx(queue, completed.handle));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(completed.IsSet());
    held.release.Set();
    completed.Wait();
    EXPECT_EQ(held.runs, 1);
    EXPECT_EQ(held.journal.Entries().back(), "callback returned");
}

// The end of a motion on the timer thread: the callback deletes its own queue, either way, and the
// timer never fires again.
TEST(SystemTimers, CallbackDeletesItsOwnQueue) {
    for (HANDLE completion : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        SCOPED_TRACE(completion ? "waiting" : "not waiting");
        struct Context {
            HANDLE queue = nullptr;
            HANDLE completion = nullptr;
            BOOL result = TRUE;
            DWORD error = 0;
            std::atomic<int> runs{0};
            Event done;
        } context;
        context.queue = CreateTimerQueue();
        context.completion = completion;
        HANDLE timer = nullptr;
        ASSERT_TRUE(CreateTimerQueueTimer(
            &timer, context.queue,
            [](PVOID p, BOOLEAN) {
                auto& ctx = *static_cast<Context*>(p);
                if (++ctx.runs > 1) return;
                ctx.result = DeleteTimerQueueEx(ctx.queue, ctx.completion);
                ctx.error = GetLastError();
                ctx.done.Set();
            },
            &context, 0, 1, WT_EXECUTEINTIMERTHREAD));
        context.done.Wait();
        EXPECT_EQ(context.result, FALSE);
        EXPECT_EQ(context.error, ERROR_IO_PENDING);
        // A later timer on the same thread runs after any leftover tick of the deleted one would have.
        Event later;
        HANDLE probe = nullptr;
        ASSERT_TRUE(CreateTimerQueueTimer(&probe, nullptr, [](PVOID e, BOOLEAN) { SetEvent(e); }, later.handle, 2, 0,
                                          WT_EXECUTEINTIMERTHREAD));
        later.Wait();
        EXPECT_EQ(context.runs, 1);
        EXPECT_TRUE(DeleteTimerQueueTimer(nullptr, probe, INVALID_HANDLE_VALUE));
    }
}

// Callbacks in the timer thread run one at a time, across timers and queues, however often they fall due.
TEST(SystemTimers, TimerThreadCallbacksNeverOverlap) {
    struct Context {
        std::atomic<int> active{0};
        std::atomic<int> maxActive{0};
        std::atomic<int> runs{0};
        Event done;
    } context;
    auto callback = [](PVOID p, BOOLEAN) {
        auto& ctx = *static_cast<Context*>(p);
        const int now = ++ctx.active;
        int seen = ctx.maxActive;
        while (now > seen && !ctx.maxActive.compare_exchange_weak(seen, now)) {
        }
        for (int i = 0; i < 100; ++i) std::this_thread::yield();
        --ctx.active;
        if (++ctx.runs == 200) ctx.done.Set();
    };
    HANDLE queues[2] = {CreateTimerQueue(), CreateTimerQueue()};
    for (int i = 0; i < 6; ++i) {
        HANDLE timer = nullptr;
        ASSERT_TRUE(
            CreateTimerQueueTimer(&timer, queues[i % 2], callback, &context, 0, 1 + i % 2, WT_EXECUTEINTIMERTHREAD));
    }
    context.done.Wait();
    for (HANDLE queue : queues) ASSERT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    EXPECT_EQ(context.maxActive, 1);
    EXPECT_EQ(context.active, 0);
}

// Default timers run on a pool: two callbacks that each need the other to be running finish only if
// they run at the same time, beside a held timer-thread callback.
TEST(SystemTimers, PoolRunsDefaultCallbacksSideBySide) {
    HeldCallback held;
    HANDLE queue = CreateTimerQueue();
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, HeldCallback::Run, &held, 0, 0, WT_EXECUTEINTIMERTHREAD));
    held.entered.Wait();

    struct Pair {
        Event aEntered, bEntered;
        std::atomic<int> finished{0};
    } pair;
    ASSERT_TRUE(CreateTimerQueueTimer(
        &timer, queue,
        [](PVOID p, BOOLEAN) {
            auto& pr = *static_cast<Pair*>(p);
            pr.aEntered.Set();
            pr.bEntered.Wait();
            ++pr.finished;
        },
        &pair, 0, 0, WT_EXECUTEDEFAULT));
    ASSERT_TRUE(CreateTimerQueueTimer(
        &timer, queue,
        [](PVOID p, BOOLEAN) {
            auto& pr = *static_cast<Pair*>(p);
            pr.aEntered.Wait();
            pr.bEntered.Set();
            ++pr.finished;
        },
        &pair, 0, 0, WT_EXECUTEDEFAULT));
    // The pool does not depend on the timer thread: the held callback is still inside.
    while (pair.finished.load() < 2) std::this_thread::yield();
    held.release.Set();
    ASSERT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
}

// A default timer whose callback overruns its period does not run beside itself.
TEST(SystemTimers, OverrunningPeriodicTimerDoesNotOverlapItself) {
    struct Context {
        std::atomic<int> active{0};
        std::atomic<bool> overlapped{false};
        std::atomic<int> runs{0};
        Event done;
    } context;
    HANDLE queue = CreateTimerQueue();
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(
        &timer, queue,
        [](PVOID p, BOOLEAN) {
            auto& ctx = *static_cast<Context*>(p);
            if (++ctx.active > 1) ctx.overlapped = true;
            for (int i = 0; i < 1000; ++i) std::this_thread::yield();
            --ctx.active;
            if (++ctx.runs == 20) ctx.done.Set();
        },
        &context, 0, 1, WT_EXECUTEDEFAULT));
    context.done.Wait();
    ASSERT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    EXPECT_FALSE(context.overlapped);
}

}  // namespace
