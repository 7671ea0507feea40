// Timer queues driven by a ManualClock: callbacks run synchronously while the test advances time.
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/timers.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using platform::ScopedManualClock;

class ManualTimers : public ::testing::Test {
public:
    struct Fired {
        std::string name;
        uint64_t at;
        bool operator==(const Fired&) const = default;
    };

    // The context of one timer: its name in the log and what its callback does besides logging.
    struct Probe {
        ManualTimers* test;
        std::string name;
        void (*action)(Probe&) = nullptr;
        HANDLE queue = nullptr;
        HANDLE timer = nullptr;
        BOOL result = TRUE;
        DWORD error = 0;
        int runs = 0;
    };

    static void Callback(PVOID parameter, BOOLEAN fired) {
        auto& probe = *static_cast<Probe*>(parameter);
        EXPECT_EQ(fired, TRUE);
        ++probe.runs;
        probe.test->log.push_back({probe.name, probe.test->manual.clock().NowMs()});
        if (probe.action) probe.action(probe);
    }

    Probe& MakeProbe(const std::string& name, void (*action)(Probe&) = nullptr) {
        probes.push_back(std::make_unique<Probe>(Probe{this, name, action}));
        return *probes.back();
    }

    // Creates a timer on queue (null: the default queue) whose callback logs name and runs action.
    Probe& Start(HANDLE queue, const std::string& name, DWORD due, DWORD period, ULONG flags = WT_EXECUTEDEFAULT,
                 void (*action)(Probe&) = nullptr) {
        Probe& probe = MakeProbe(name, action);
        probe.queue = queue;
        EXPECT_TRUE(CreateTimerQueueTimer(&probe.timer, queue, Callback, &probe, due, period, flags));
        return probe;
    }

    void TearDown() override {
        for (HANDLE queue : queues) DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE);
    }

    HANDLE NewQueue() {
        HANDLE queue = CreateTimerQueue();
        EXPECT_NE(queue, nullptr);
        queues.push_back(queue);
        return queue;
    }

    ScopedManualClock manual;
    std::vector<Fired> log;
    std::vector<std::unique_ptr<Probe>> probes;
    std::vector<HANDLE> queues;
};

// However the time is cut into steps, the callbacks run at their due times, in time order, ties in
// creation order, periodic ones re-armed and one-shots once.
TEST_F(ManualTimers, RunDueCallbacksInTimeOrderWhateverTheSteps) {
    const std::vector<std::vector<uint64_t>> stepPlans = {
        {1000}, {999, 1}, {100, 0, 200, 300, 400}, {333, 333, 334}, std::vector<uint64_t>(1000, 1)};
    const std::vector<Fired> expected = {
        {"now", 0},       {"every300", 100}, {"once100", 100}, {"every250", 250}, {"every300", 400},
        {"every250", 500}, {"every300", 700}, {"every250", 750}, {"onlyOnce", 800}, {"every300", 1000},
        {"every250", 1000},
    };
    for (const auto& steps : stepPlans) {
        SCOPED_TRACE(testing::Message() << "first step " << steps.front() << " of " << steps.size());
        log.clear();
        const uint64_t start = manual.clock().NowMs();
        HANDLE queue = NewQueue();
        // Created in this order on purpose: every300 and once100 tie at 100, every250 and every300 at 1000.
        Start(queue, "every300", 100, 300);
        Start(queue, "once100", 100, 0, WT_EXECUTEINTIMERTHREAD);
        Start(nullptr, "every250", 250, 250);
        Start(queue, "onlyOnce", 800, 50, WT_EXECUTEONLYONCE);
        Probe& now = Start(queue, "now", 0, 0);
        for (uint64_t step : steps) manual.clock().Advance(step);
        for (Fired& fired : log) fired.at -= start;
        EXPECT_EQ(log, expected);
        ASSERT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
        queues.clear();
        EXPECT_EQ(now.runs, 1);
        ASSERT_TRUE(DeleteTimerQueueTimer(nullptr, probes[2]->timer, INVALID_HANDLE_VALUE));
        probes.clear();
    }
}

TEST_F(ManualTimers, NothingRunsBeforeTheClockMoves) {
    Probe& probe = Start(NewQueue(), "now", 0, 0);
    EXPECT_EQ(probe.runs, 0);
    manual.clock().Advance(0);
    EXPECT_EQ(probe.runs, 1);
}

TEST_F(ManualTimers, SleepAndTickCountGoThroughTheClock) {
    Probe& probe = Start(NewQueue(), "t", 300, 300);
    const DWORD before = GetTickCount();
    Sleep(1000);
    EXPECT_EQ(GetTickCount() - before, 1000u);
    EXPECT_EQ(probe.runs, 3);
}

// The usual end of a motion: the callback deletes its own queue without waiting. The running callback
// finishes, and neither it nor any other timer of the queue runs again, even within the same Advance.
TEST_F(ManualTimers, CallbackDeletesItsOwnQueueWithoutWaiting) {
    HANDLE queue = CreateTimerQueue();
    Probe& self = Start(queue, "self", 100, 100, WT_EXECUTEINTIMERTHREAD, [](Probe& p) {
        if (p.runs < 3) return;
        p.result = DeleteTimerQueueEx(p.queue, nullptr);
        p.error = GetLastError();
        p.test->log.push_back({"after delete", p.test->manual.clock().NowMs()});
    });
    Probe& sibling = Start(queue, "sibling", 300, 0);
    Probe& other = Start(nullptr, "other", 400, 0);
    manual.clock().Advance(1000);
    const std::vector<Fired> expected = {
        {"self", 100}, {"self", 200}, {"self", 300}, {"after delete", 300}, {"other", 400}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(sibling.runs, 0);
    // Its own callback was still running, as Windows reports it.
    EXPECT_EQ(self.result, FALSE);
    EXPECT_EQ(self.error, ERROR_IO_PENDING);
    // The handle is gone: a second deletion is refused instead of touching freed memory.
    EXPECT_FALSE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DeleteTimerQueueTimer(nullptr, other.timer, INVALID_HANDLE_VALUE);
}

// Waiting for its own callback from inside it would never return; the layer sees it and does not wait.
TEST_F(ManualTimers, WaitingDeletionFromInsideTheOwnCallbackDoesNotDeadlock) {
    struct Case {
        const char* name;
        bool wholeQueue;
    };
    for (const Case& c : {Case{"queue", true}, Case{"timer", false}}) {
        SCOPED_TRACE(c.name);
        probes.clear();
        HANDLE queue = CreateTimerQueue();
        void (*action)(Probe&) = c.wholeQueue ? [](Probe& p) {
            p.result = DeleteTimerQueueEx(p.queue, INVALID_HANDLE_VALUE);
            p.error = GetLastError();
        }
                                              : [](Probe& p) {
                                                    p.result = DeleteTimerQueueTimer(p.queue, p.timer,
                                                                                     INVALID_HANDLE_VALUE);
                                                    p.error = GetLastError();
                                                };
        Probe& probe = Start(queue, "self", 10, 10, WT_EXECUTEDEFAULT, action);
        manual.clock().Advance(100);
        EXPECT_EQ(probe.runs, 1);
        EXPECT_EQ(probe.result, FALSE);
        EXPECT_EQ(probe.error, ERROR_IO_PENDING);
        if (!c.wholeQueue) {
            EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
        }
    }
}

TEST_F(ManualTimers, CallbacksCreateTimersThatFallDueInTheSameAdvance) {
    HANDLE queue = NewQueue();
    Start(queue, "parent", 100, 0, WT_EXECUTEDEFAULT, [](Probe& p) {
        Probe& child = p.test->MakeProbe("child");
        EXPECT_TRUE(CreateTimerQueueTimer(&child.timer, p.queue, Callback, &child, 50, 0, WT_EXECUTEDEFAULT));
    });
    Start(queue, "late", 200, 0);
    manual.clock().Advance(1000);
    const std::vector<Fired> expected = {{"parent", 100}, {"child", 150}, {"late", 200}};
    EXPECT_EQ(log, expected);
}

TEST_F(ManualTimers, ChangeMovesDueTimeAndPeriod) {
    HANDLE queue = NewQueue();
    Probe& probe = Start(queue, "t", 100, 100);
    manual.clock().Advance(150);
    ASSERT_TRUE(ChangeTimerQueueTimer(queue, probe.timer, 200, 50));
    manual.clock().Advance(300);
    // From inside its own callback: the new due time counts from the callback's time.
    probe.action = [](Probe& p) {
        p.action = nullptr;
        ChangeTimerQueueTimer(p.queue, p.timer, 5, 0);
    };
    manual.clock().Advance(100);
    const std::vector<Fired> expected = {{"t", 100}, {"t", 350}, {"t", 400}, {"t", 450}, {"t", 500}, {"t", 505}};
    EXPECT_EQ(log, expected);
}

// A callback in the timer thread that sleeps holds the timer thread: no other timer-thread callback starts
// meanwhile (they run late, afterwards), while the worker pool's timers go on.
TEST_F(ManualTimers, SleepingTimerThreadCallbackHoldsOnlyTheTimerThread) {
    HANDLE queue = NewQueue();
    Start(queue, "sleeper", 100, 0, WT_EXECUTEINTIMERTHREAD, [](Probe& p) {
        Sleep(100);
        p.test->log.push_back({"woke", p.test->manual.clock().NowMs()});
    });
    Start(queue, "timerThread", 150, 0, WT_EXECUTEINTIMERTHREAD);
    Start(queue, "pool", 150, 0);
    manual.clock().Advance(1000);
    const std::vector<Fired> expected = {{"sleeper", 100}, {"pool", 150}, {"woke", 200}, {"timerThread", 200}};
    EXPECT_EQ(log, expected);
}

TEST_F(ManualTimers, TimedWaitAdvancesTheClockUntilATimerSignals) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE queue = NewQueue();
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, [](PVOID e, BOOLEAN) { SetEvent(e); }, event, 300, 0,
                                      WT_EXECUTEINTIMERTHREAD));
    const uint64_t start = manual.clock().NowMs();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(manual.clock().NowMs(), start);
    EXPECT_EQ(WaitForSingleObject(event, 500), WAIT_OBJECT_0);
    EXPECT_EQ(manual.clock().NowMs(), start + 300);
    EXPECT_EQ(WaitForSingleObject(event, 500), WAIT_TIMEOUT);
    EXPECT_EQ(manual.clock().NowMs(), start + 800);
    CloseHandle(event);
}

TEST_F(ManualTimers, DeletionWithCompletionEventSignalsIt) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE queue = CreateTimerQueue();
    Probe& probe = Start(queue, "t", 100, 100);
    EXPECT_TRUE(DeleteTimerQueueEx(queue, event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    manual.clock().Advance(1000);
    EXPECT_EQ(probe.runs, 0);
    CloseHandle(event);
}

TEST_F(ManualTimers, BadHandlesAndArgumentsAreRefused) {
    HANDLE queue = NewQueue();
    Probe& probe = Start(queue, "t", 100, 0);
    HANDLE deletedQueue = CreateTimerQueue();
    ASSERT_TRUE(DeleteTimerQueueEx(deletedQueue, INVALID_HANDLE_VALUE));
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE closedEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(closedEvent);
    HANDLE timer = nullptr;
    auto callback = [](PVOID, BOOLEAN) {};

    struct Case {
        const char* name;
        std::function<BOOL()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"create on deleted queue", [&] { return CreateTimerQueueTimer(&timer, deletedQueue, callback, nullptr, 0, 0, 0); },
         ERROR_INVALID_HANDLE},
        {"create on an event", [&] { return CreateTimerQueueTimer(&timer, event, callback, nullptr, 0, 0, 0); },
         ERROR_INVALID_HANDLE},
        {"create without callback", [&] { return CreateTimerQueueTimer(&timer, queue, nullptr, nullptr, 0, 0, 0); },
         ERROR_INVALID_PARAMETER},
        {"create without result", [&] { return CreateTimerQueueTimer(nullptr, queue, callback, nullptr, 0, 0, 0); },
         ERROR_INVALID_PARAMETER},
        {"delete default queue", [&] { return DeleteTimerQueueEx(nullptr, INVALID_HANDLE_VALUE); }, ERROR_INVALID_HANDLE},
        {"delete deleted queue", [&] { return DeleteTimerQueueEx(deletedQueue, nullptr); }, ERROR_INVALID_HANDLE},
        {"delete an event as queue", [&] { return DeleteTimerQueueEx(event, nullptr); }, ERROR_INVALID_HANDLE},
        {"delete timer from wrong queue", [&] { return DeleteTimerQueueTimer(nullptr, probe.timer, nullptr); },
         ERROR_INVALID_HANDLE},
        {"delete with closed completion event",
         [&] { return DeleteTimerQueueTimer(queue, probe.timer, closedEvent); }, ERROR_INVALID_HANDLE},
        {"change timer of wrong queue", [&] { return ChangeTimerQueueTimer(deletedQueue, probe.timer, 0, 0); },
         ERROR_INVALID_HANDLE},
        {"change a queue", [&] { return ChangeTimerQueueTimer(queue, queue, 0, 0); }, ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(c.call(), FALSE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // The refused deletion left the timer alive.
    manual.clock().Advance(100);
    EXPECT_EQ(probe.runs, 1);
    // A deleted timer's handle stays dead.
    ASSERT_TRUE(DeleteTimerQueueTimer(queue, probe.timer, INVALID_HANDLE_VALUE));
    EXPECT_FALSE(DeleteTimerQueueTimer(queue, probe.timer, INVALID_HANDLE_VALUE));
    EXPECT_FALSE(ChangeTimerQueueTimer(queue, probe.timer, 0, 0));
    CloseHandle(event);
}

// Timers belong to the clock they were created under; a clock that goes away takes them off for good,
// and the next clock (often at the same address) does not inherit them.
TEST(ManualClockLifetime, TimersOfAGoneClockNeverRun) {
    int runs = 0;
    HANDLE queue = CreateTimerQueue();
    HANDLE timer = nullptr;
    {
        ScopedManualClock first;
        ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, [](PVOID r, BOOLEAN) { ++*static_cast<int*>(r); }, &runs,
                                          10, 10, WT_EXECUTEINTIMERTHREAD));
        first.clock().Advance(10);
        EXPECT_EQ(runs, 1);
    }
    {
        ScopedManualClock second;
        second.clock().Advance(1000);
        EXPECT_EQ(runs, 1);
        EXPECT_TRUE(ChangeTimerQueueTimer(queue, timer, 0, 10));
        second.clock().Advance(1000);
        EXPECT_EQ(runs, 1);
    }
    EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
}

}  // namespace
