// Timer queues on two backends: the timer thread and worker pool against the steady clock, or a
// ManualClock that runs the callbacks itself when it is advanced. One mutex guards all timer state; no
// callback runs while it is held.
#include "platform/timers.h"

#include "platform/clock.h"
#include "platform/sync_internal.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

constexpr int kWorkerCount = 3;
constexpr uint64_t kDefaultQueueId = 0;

// Outstanding callbacks of one deletion that was given a completion event.
struct Completion {
    size_t remaining = 0;
    std::shared_ptr<detail::EventState> event;
};

enum class TimerState { Idle, Scheduled, Queued, Running };

struct Timer {
    uint64_t id = 0;
    uint64_t queueId = 0;
    WAITORTIMERCALLBACK callback = nullptr;
    PVOID parameter = nullptr;
    bool inTimerThread = false;
    bool onlyOnce = false;
    ManualClock* clock = nullptr;  // null: the timer thread and worker pool
    uint64_t due = 0;
    uint64_t period = 0;
    uint64_t seq = 0;  // creation order, breaks ties between equal due times
    TimerState state = TimerState::Idle;
    bool deleted = false;
    bool orphaned = false;      // its ManualClock is gone
    bool changedWhileBusy = false;
    std::thread::id runner;
    std::shared_ptr<Completion> completion;
};
using TimerPtr = std::shared_ptr<Timer>;

// Ordered by owner clock, then due time, then creation order; the system timers (owner 0) come first.
using ScheduleKey = std::tuple<uintptr_t, uint64_t, uint64_t>;

struct Queue {
    std::vector<uint64_t> timers;
};

struct State {
    std::mutex mutex;
    std::condition_variable scheduleChanged;  // the dispatcher waits on it
    std::condition_variable timerThreadWorkAdded;
    std::condition_variable poolWorkAdded;
    std::condition_variable callbackDone;     // waiting deletions wait on it
    uint64_t nextId = 0x1000;
    uint64_t nextSeq = 0;
    std::unordered_map<uint64_t, Queue> queues;
    std::unordered_map<uint64_t, TimerPtr> timers;
    std::map<ScheduleKey, TimerPtr> schedule;
    std::deque<TimerPtr> timerThreadWork;  // due, waiting for the timer thread
    std::deque<TimerPtr> poolWork;         // due, waiting for a pool worker
    // Manual clocks with a WT_EXECUTEINTIMERTHREAD callback running: such callbacks run one at a time.
    std::unordered_map<const ManualClock*, int> timerThreadBusy;
    bool threadsStarted = false;
    bool stopping = false;
    std::vector<std::thread> threads;
};

State& S() {
    // Never destroyed: handles may be deleted from other static destructors at exit.
    static State* state = new State;
    return *state;
}

uintptr_t OwnerKey(const Timer& t) { return reinterpret_cast<uintptr_t>(t.clock); }

uint64_t NowFor(const Timer& t) { return t.clock ? t.clock->NowMs() : detail::SteadyNowMs(); }

uint64_t IdOf(HANDLE handle) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle)); }

HANDLE HandleOf(uint64_t id) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(id)); }

void Schedule(State& s, const TimerPtr& t) {
    t->state = TimerState::Scheduled;
    s.schedule.emplace(ScheduleKey{OwnerKey(*t), t->due, t->seq}, t);
    if (!t->clock) s.scheduleChanged.notify_one();
}

void Unschedule(State& s, Timer& t) {
    s.schedule.erase(ScheduleKey{OwnerKey(t), t.due, t.seq});
    t.state = TimerState::Idle;
}

// Called with the lock held when a callback has returned.
void FinishRun(State& s, const TimerPtr& t) {
    t->state = TimerState::Idle;
    t->runner = {};
    if (t->completion) {
        if (--t->completion->remaining == 0) detail::SignalEventState(*t->completion->event);
        t->completion.reset();
    }
    if (!t->deleted && !t->orphaned) {
        if (t->changedWhileBusy) {
            t->changedWhileBusy = false;
            Schedule(s, t);
        } else if (t->period > 0) {
            t->due = std::max(t->due + t->period, NowFor(*t));
            Schedule(s, t);
        }
    }
    s.callbackDone.notify_all();
}

// Runs one callback with the lock released; lock is held again on return, also when the callback throws.
void RunCallback(State& s, std::unique_lock<std::mutex>& lock, const TimerPtr& t) {
    t->state = TimerState::Running;
    t->runner = std::this_thread::get_id();
    const bool manualTimerThread = t->clock && t->inTimerThread;
    const ManualClock* clock = t->clock;
    if (manualTimerThread) ++s.timerThreadBusy[clock];
    struct Relock {
        State& s;
        std::unique_lock<std::mutex>& lock;
        const TimerPtr& t;
        bool manualTimerThread;
        const ManualClock* clock;
        ~Relock() {
            lock.lock();
            if (manualTimerThread) {
                auto it = s.timerThreadBusy.find(clock);
                if (it != s.timerThreadBusy.end() && --it->second <= 0) s.timerThreadBusy.erase(it);
            }
            FinishRun(s, t);
        }
    } relock{s, lock, t, manualTimerThread, clock};
    lock.unlock();
    t->callback(t->parameter, TRUE);
}

// Hands every system timer that falls due to the timer thread or the pool. It runs no callback itself,
// so a long callback in the timer thread does not hold up the pool's timers.
void DispatcherLoop() {
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    while (!s.stopping) {
        auto first = s.schedule.begin();
        if (first == s.schedule.end() || std::get<0>(first->first) != 0) {
            s.scheduleChanged.wait(lock);
            continue;
        }
        const uint64_t now = detail::SteadyNowMs();
        const uint64_t due = std::get<1>(first->first);
        if (due > now) {
            s.scheduleChanged.wait_for(lock, std::chrono::milliseconds(due - now));
            continue;
        }
        TimerPtr t = first->second;
        s.schedule.erase(first);
        t->state = TimerState::Queued;
        if (t->inTimerThread) {
            s.timerThreadWork.push_back(std::move(t));
            s.timerThreadWorkAdded.notify_one();
        } else {
            s.poolWork.push_back(std::move(t));
            s.poolWorkAdded.notify_one();
        }
    }
}

// The timer thread (one runner: its callbacks run one at a time) and each pool worker.
void RunnerLoop(std::deque<TimerPtr> State::*work, std::condition_variable State::*added) {
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    while (!s.stopping) {
        auto& queue = s.*work;
        if (queue.empty()) {
            (s.*added).wait(lock);
            continue;
        }
        TimerPtr t = std::move(queue.front());
        queue.pop_front();
        RunCallback(s, lock, t);
    }
}

// Stops and joins the threads when the process ends, so that no callback outlives the statics it uses.
struct ThreadStopper {
    ~ThreadStopper() {
        State& s = S();
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.stopping = true;
        }
        s.scheduleChanged.notify_all();
        s.timerThreadWorkAdded.notify_all();
        s.poolWorkAdded.notify_all();
        for (std::thread& thread : s.threads) thread.join();
        s.threads.clear();
    }
};

// Called with the lock held.
void StartThreadsOnce(State& s) {
    if (s.threadsStarted) return;
    s.threadsStarted = true;
    static ThreadStopper stopper;
    s.threads.emplace_back(DispatcherLoop);
    s.threads.emplace_back(RunnerLoop, &State::timerThreadWork, &State::timerThreadWorkAdded);
    for (int i = 0; i < kWorkerCount; ++i) s.threads.emplace_back(RunnerLoop, &State::poolWork, &State::poolWorkAdded);
}

bool QueueExists(State& s, uint64_t queueId) {
    return queueId == kDefaultQueueId || s.queues.count(queueId) > 0;
}

// Deletes the timers (lock held) and returns the ones whose callback is running right now.
std::vector<TimerPtr> DeleteLocked(State& s, const std::vector<uint64_t>& ids) {
    std::vector<TimerPtr> running;
    for (uint64_t id : ids) {
        auto it = s.timers.find(id);
        if (it == s.timers.end()) continue;
        TimerPtr t = it->second;
        s.timers.erase(it);
        t->deleted = true;
        switch (t->state) {
        case TimerState::Scheduled:
            Unschedule(s, *t);
            break;
        case TimerState::Queued: {
            auto& work = t->inTimerThread ? s.timerThreadWork : s.poolWork;
            work.erase(std::find(work.begin(), work.end(), t));
            t->state = TimerState::Idle;
            break;
        }
        case TimerState::Running:
            running.push_back(std::move(t));
            break;
        case TimerState::Idle:
            break;
        }
    }
    return running;
}

// Ends a deletion: waits, arranges the completion event or reports pending callbacks. Lock held.
BOOL CompleteDeletion(State& s, std::unique_lock<std::mutex>& lock, const std::vector<TimerPtr>& running,
                      HANDLE completionEvent, const std::shared_ptr<detail::EventState>& event) {
    if (completionEvent == INVALID_HANDLE_VALUE) {
        const auto self = std::this_thread::get_id();
        bool ownCallback = false;
        for (const TimerPtr& t : running) {
            if (t->runner == self) {
                // Waiting for the callback we are called from would never end.
                ownCallback = true;
                continue;
            }
            s.callbackDone.wait(lock, [&] { return t->state != TimerState::Running; });
        }
        if (ownCallback) {
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
        return TRUE;
    }
    if (event) {
        if (running.empty()) {
            detail::SignalEventState(*event);
            return TRUE;
        }
        auto completion = std::make_shared<Completion>();
        completion->remaining = running.size();
        completion->event = event;
        for (const TimerPtr& t : running) t->completion = completion;
    }
    if (!running.empty()) {
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    return TRUE;
}

// The completion event of a deletion: null and INVALID_HANDLE_VALUE are no event; anything else must be
// a live event.
bool ResolveCompletionEvent(HANDLE completionEvent, std::shared_ptr<detail::EventState>& event) {
    if (!completionEvent || completionEvent == INVALID_HANDLE_VALUE) return true;
    event = detail::EventStateOf(completionEvent);
    return event != nullptr;
}

}  // namespace

bool detail::RunNextManualTimer(ManualClock& clock, uint64_t limitMs) {
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    const uintptr_t owner = reinterpret_cast<uintptr_t>(&clock);
    const bool timerThreadBusy = s.timerThreadBusy.count(&clock) > 0;
    for (auto it = s.schedule.lower_bound(ScheduleKey{owner, 0, 0});
         it != s.schedule.end() && std::get<0>(it->first) == owner && std::get<1>(it->first) <= limitMs; ++it) {
        if (timerThreadBusy && it->second->inTimerThread) continue;
        TimerPtr t = it->second;
        s.schedule.erase(it);
        if (clock.now_.load() < t->due) clock.now_.store(t->due);
        RunCallback(s, lock, t);
        return true;
    }
    if (clock.now_.load() < limitMs) clock.now_.store(limitMs);
    return false;
}

void detail::ForgetManualClock(ManualClock& clock) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto& [id, t] : s.timers) {
        if (t->clock != &clock) continue;
        if (t->state == TimerState::Scheduled) Unschedule(s, *t);
        t->orphaned = true;
    }
    s.timerThreadBusy.erase(&clock);
}

}  // namespace platform

using namespace platform;

HANDLE CreateTimerQueue() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    const uint64_t id = s.nextId++;
    s.queues.emplace(id, Queue{});
    return HandleOf(id);
}

BOOL CreateTimerQueueTimer(PHANDLE newTimer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter,
                           DWORD dueTime, DWORD period, ULONG flags) {
    if (!newTimer || !callback) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *newTimer = nullptr;
    ManualClock* manual = dynamic_cast<ManualClock*>(&CurrentClock());
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    const uint64_t queueId = IdOf(queue);
    if (!QueueExists(s, queueId)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto t = std::make_shared<Timer>();
    t->id = s.nextId++;
    t->queueId = queueId;
    t->callback = callback;
    t->parameter = parameter;
    t->inTimerThread = (flags & WT_EXECUTEINTIMERTHREAD) != 0;
    t->clock = manual;
    t->onlyOnce = (flags & WT_EXECUTEONLYONCE) != 0;
    t->period = t->onlyOnce ? 0 : period;
    t->seq = s.nextSeq++;
    t->due = NowFor(*t) + dueTime;
    if (!manual) StartThreadsOnce(s);
    s.timers.emplace(t->id, t);
    if (queueId != kDefaultQueueId) s.queues[queueId].timers.push_back(t->id);
    Schedule(s, t);
    *newTimer = HandleOf(t->id);
    return TRUE;
}

BOOL DeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent) {
    std::shared_ptr<detail::EventState> event;
    if (!ResolveCompletionEvent(completionEvent, event)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    const uint64_t queueId = IdOf(queue);
    auto it = s.timers.find(IdOf(timer));
    if (it == s.timers.end() || it->second->queueId != queueId) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (queueId != kDefaultQueueId) {
        auto& ids = s.queues[queueId].timers;
        ids.erase(std::remove(ids.begin(), ids.end(), it->first), ids.end());
    }
    const std::vector<TimerPtr> running = DeleteLocked(s, {it->first});
    return CompleteDeletion(s, lock, running, completionEvent, event);
}

BOOL DeleteTimerQueueEx(HANDLE queue, HANDLE completionEvent) {
    std::shared_ptr<detail::EventState> event;
    if (!ResolveCompletionEvent(completionEvent, event)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    auto it = s.queues.find(IdOf(queue));
    if (it == s.queues.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::vector<uint64_t> ids = std::move(it->second.timers);
    s.queues.erase(it);
    const std::vector<TimerPtr> running = DeleteLocked(s, ids);
    return CompleteDeletion(s, lock, running, completionEvent, event);
}

BOOL ChangeTimerQueueTimer(HANDLE queue, HANDLE timer, ULONG dueTime, ULONG period) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.timers.find(IdOf(timer));
    if (it == s.timers.end() || it->second->queueId != IdOf(queue)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const TimerPtr& t = it->second;
    if (t->orphaned) return TRUE;
    if (t->state == TimerState::Scheduled) Unschedule(s, *t);
    t->due = NowFor(*t) + dueTime;
    t->period = t->onlyOnce ? 0 : period;
    if (t->state == TimerState::Idle) {
        Schedule(s, t);
    } else {
        t->changedWhileBusy = true;
    }
    return TRUE;
}
