// Events and waits: reset kinds, several events at once, polling, named events and bad handles.
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/timers.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Creates events and closes them at the end of the test.
class Events : public ::testing::Test {
public:
    HANDLE Make(BOOL manualReset, BOOL initial = FALSE, const char* name = nullptr) {
        HANDLE event = CreateEventA(nullptr, manualReset, initial, name);
        EXPECT_NE(event, nullptr);
        handles.push_back(event);
        return event;
    }
    void TearDown() override {
        for (HANDLE handle : handles) CloseHandle(handle);
    }
    std::vector<HANDLE> handles;
};

TEST_F(Events, ResetKinds) {
    struct Case {
        const char* name;
        BOOL manualReset;
        BOOL initial;
        std::vector<DWORD> pollsAfterCreation;
        std::vector<DWORD> pollsAfterSet;
    };
    const Case cases[] = {
        {"auto, clear", FALSE, FALSE, {WAIT_TIMEOUT}, {WAIT_OBJECT_0, WAIT_TIMEOUT}},
        {"auto, set", FALSE, TRUE, {WAIT_OBJECT_0, WAIT_TIMEOUT}, {WAIT_OBJECT_0, WAIT_TIMEOUT}},
        {"manual, clear", TRUE, FALSE, {WAIT_TIMEOUT}, {WAIT_OBJECT_0, WAIT_OBJECT_0}},
        {"manual, set", TRUE, TRUE, {WAIT_OBJECT_0, WAIT_OBJECT_0}, {WAIT_OBJECT_0, WAIT_OBJECT_0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE event = Make(c.manualReset, c.initial);
        std::vector<DWORD> polls;
        for (size_t i = 0; i < c.pollsAfterCreation.size(); ++i) polls.push_back(WaitForSingleObject(event, 0));
        EXPECT_EQ(polls, c.pollsAfterCreation);
        ASSERT_TRUE(SetEvent(event));
        ASSERT_TRUE(SetEvent(event));  // setting twice is still one signal
        polls.clear();
        for (size_t i = 0; i < c.pollsAfterSet.size(); ++i) polls.push_back(WaitForSingleObject(event, 0));
        EXPECT_EQ(polls, c.pollsAfterSet);
        ASSERT_TRUE(ResetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    }
}

// As the sound refill polls its two notification events: the lowest signalled index wins, and only the
// auto-reset event returned is reset.
TEST_F(Events, LowestSignalledIndexWins) {
    struct Case {
        const char* name;
        std::vector<BOOL> manualReset;
        std::vector<int> set;
        std::vector<DWORD> polls;
    };
    const Case cases[] = {
        {"none", {FALSE, FALSE}, {}, {WAIT_TIMEOUT}},
        {"second only", {FALSE, FALSE}, {1}, {WAIT_OBJECT_0 + 1, WAIT_TIMEOUT}},
        {"both", {FALSE, FALSE}, {1, 0}, {WAIT_OBJECT_0, WAIT_OBJECT_0 + 1, WAIT_TIMEOUT}},
        {"three of four", {FALSE, FALSE, FALSE, FALSE}, {3, 1, 2},
         {WAIT_OBJECT_0 + 1, WAIT_OBJECT_0 + 2, WAIT_OBJECT_0 + 3, WAIT_TIMEOUT}},
        {"manual first stays", {TRUE, FALSE}, {0, 1}, {WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_OBJECT_0}},
        {"manual second", {FALSE, TRUE}, {0, 1}, {WAIT_OBJECT_0, WAIT_OBJECT_0 + 1, WAIT_OBJECT_0 + 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HANDLE> events;
        for (BOOL manualReset : c.manualReset) events.push_back(Make(manualReset));
        for (int index : c.set) SetEvent(events[index]);
        std::vector<DWORD> polls;
        for (size_t i = 0; i < c.polls.size(); ++i) {
            polls.push_back(WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, 0));
        }
        EXPECT_EQ(polls, c.polls);
    }
}

TEST_F(Events, WaitAllNeedsEveryEventAtOnce) {
    HANDLE events[2] = {Make(FALSE), Make(TRUE)};
    SetEvent(events[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_TIMEOUT);
    // A failed wait-all takes nothing.
    EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0);
    SetEvent(events[0]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_OBJECT_0);
}

TEST_F(Events, TimedWaitOnManualClockMovesItByTheTimeout) {
    platform::ScopedManualClock manual;
    HANDLE event = Make(FALSE);
    const uint64_t start = manual.clock().NowMs();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(manual.clock().NowMs(), start);
    EXPECT_EQ(WaitForSingleObject(event, 250), WAIT_TIMEOUT);
    EXPECT_EQ(manual.clock().NowMs(), start + 250);
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 250), WAIT_OBJECT_0);
    EXPECT_EQ(manual.clock().NowMs(), start + 250);
}

TEST_F(Events, InfiniteWaitEndsWhenAnotherThreadSets) {
    HANDLE events[2] = {Make(FALSE), Make(FALSE)};
    HANDLE started = Make(TRUE);
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] {
        SetEvent(started);
        result = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    });
    ASSERT_EQ(WaitForSingleObject(started, INFINITE), WAIT_OBJECT_0);
    SetEvent(events[1]);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_TIMEOUT);
}

TEST_F(Events, NamedEventsAreSharedByName) {
    SetLastError(ERROR_ALREADY_EXISTS);
    HANDLE first = CreateEventA(nullptr, FALSE, FALSE, "velk-test-shared");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    // The second creation keeps the first one's kind and state.
    HANDLE second = CreateEventA(nullptr, TRUE, TRUE, "velk-test-shared");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_NE(second, first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);

    HANDLE other = Make(FALSE, FALSE, "velk-test-other");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE unnamed = Make(FALSE, FALSE, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(unnamed, 0), WAIT_TIMEOUT);

    // Each handle is closed on its own; the event lives while one is open.
    ASSERT_TRUE(CloseHandle(first));
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(CloseHandle(second));
    // With every handle closed the name is free again.
    HANDLE fresh = Make(FALSE, FALSE, "velk-test-shared");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT);
}

TEST_F(Events, BadHandlesAndArgumentsFail) {
    HANDLE good = Make(FALSE, TRUE);
    HANDLE closed = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    CloseHandle(closed);
    HANDLE queue = CreateTimerQueue();
    struct Case {
        const char* name;
        std::vector<HANDLE> handles;
        DWORD count;
        DWORD error;
    };
    const Case cases[] = {
        {"null", {good, nullptr}, 2, ERROR_INVALID_HANDLE},
        {"invalid handle value", {INVALID_HANDLE_VALUE}, 1, ERROR_INVALID_HANDLE},
        {"closed", {good, closed}, 2, ERROR_INVALID_HANDLE},
        {"timer queue", {queue}, 1, ERROR_INVALID_HANDLE},
        {"no handles", {good}, 0, ERROR_INVALID_PARAMETER},
        {"too many", std::vector<HANDLE>(MAXIMUM_WAIT_OBJECTS + 1, good), MAXIMUM_WAIT_OBJECTS + 1,
         ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles.data(), FALSE, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // A failed wait took nothing.
    EXPECT_EQ(WaitForSingleObject(good, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(closed, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(closed));
    EXPECT_FALSE(ResetEvent(nullptr));
    EXPECT_FALSE(SetEvent(queue));
    EXPECT_EQ(WaitForMultipleObjects(1, nullptr, FALSE, 0), WAIT_FAILED);
    DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE);
}

}  // namespace
