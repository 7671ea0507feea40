// Events. One mutex and one condition variable serve every event: waits on several events are then simple
// and the program only ever has a handful of events.
#include "platform/events.h"

#include "platform/clock.h"
#include "platform/sync_internal.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

namespace detail {
struct EventState {
    bool manualReset = false;
    bool signalled = false;
};
}  // namespace detail

namespace {

struct Registry {
    std::mutex mutex;
    std::condition_variable changed;
    std::unordered_set<const KernelObject*> live;
    std::unordered_map<std::string, std::weak_ptr<detail::EventState>> named;
};

Registry& R() {
    // Never destroyed: events may be closed from other static destructors at exit.
    static Registry* registry = new Registry;
    return *registry;
}

// One handle; several handles share the state of a named event.
class EventHandle : public KernelObject {
public:
    EventHandle(std::shared_ptr<detail::EventState> state, std::string name)
        : state_(std::move(state)), name_(std::move(name)) {}

    ~EventHandle() override {
        Registry& r = R();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.live.erase(this);
        state_.reset();
        if (!name_.empty()) {
            auto it = r.named.find(name_);
            if (it != r.named.end() && it->second.expired()) r.named.erase(it);
        }
    }

    const std::shared_ptr<detail::EventState>& state() const { return state_; }

private:
    std::shared_ptr<detail::EventState> state_;
    std::string name_;
};

// Lock held.
std::shared_ptr<detail::EventState> LookUp(Registry& r, HANDLE handle) {
    auto* object = static_cast<const KernelObject*>(handle);
    if (!handle || !r.live.count(object)) return nullptr;
    return static_cast<const EventHandle*>(object)->state();
}

HANDLE NewHandle(Registry& r, std::shared_ptr<detail::EventState> state, std::string name) {
    auto* object = new EventHandle(std::move(state), std::move(name));
    KernelObject* base = object;
    r.live.insert(base);
    return base;
}

// Takes the first signalled event (resetting an auto-reset one), or all of them for waitAll. Lock held.
std::optional<DWORD> TryTake(const std::vector<std::shared_ptr<detail::EventState>>& events, bool waitAll) {
    if (waitAll) {
        for (const auto& e : events) {
            if (!e->signalled) return std::nullopt;
        }
        for (const auto& e : events) {
            if (!e->manualReset) e->signalled = false;
        }
        return WAIT_OBJECT_0;
    }
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i]->signalled) {
            if (!events[i]->manualReset) events[i]->signalled = false;
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

std::shared_ptr<detail::EventState> detail::EventStateOf(HANDLE handle) {
    Registry& r = R();
    std::lock_guard<std::mutex> lock(r.mutex);
    return LookUp(r, handle);
}

void detail::SignalEventState(EventState& event) {
    Registry& r = R();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        event.signalled = true;
    }
    r.changed.notify_all();
}

}  // namespace platform

using namespace platform;

HANDLE CreateEventA(void* /*securityAttributes*/, BOOL manualReset, BOOL initialState, const char* name) {
    Registry& r = R();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::string key = name ? name : "";
    if (!key.empty()) {
        auto it = r.named.find(key);
        if (it != r.named.end()) {
            if (auto existing = it->second.lock()) {
                // Windows keeps the existing event's type and state and ignores the new arguments.
                HANDLE handle = NewHandle(r, std::move(existing), std::move(key));
                SetLastError(ERROR_ALREADY_EXISTS);
                return handle;
            }
        }
    }
    auto state = std::make_shared<detail::EventState>();
    state->manualReset = manualReset != FALSE;
    state->signalled = initialState != FALSE;
    if (!key.empty()) r.named[key] = state;
    HANDLE handle = NewHandle(r, std::move(state), std::move(key));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL SetEvent(HANDLE event) {
    Registry& r = R();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        auto state = LookUp(r, event);
        if (!state) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        state->signalled = true;
    }
    r.changed.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    Registry& r = R();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto state = LookUp(r, event);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    state->signalled = false;
    return TRUE;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    Registry& r = R();
    std::vector<std::shared_ptr<detail::EventState>> events;
    events.reserve(count);
    std::unique_lock<std::mutex> lock(r.mutex);
    for (DWORD i = 0; i < count; ++i) {
        auto state = LookUp(r, handles[i]);
        if (!state) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        events.push_back(std::move(state));
    }
    const bool all = waitAll != FALSE;
    if (auto taken = TryTake(events, all)) return *taken;
    if (timeoutMs == 0) return WAIT_TIMEOUT;

    if (timeoutMs == INFINITE) {
        std::optional<DWORD> taken;
        r.changed.wait(lock, [&] { return (taken = TryTake(events, all)).has_value(); });
        return *taken;
    }

    if (auto* manual = dynamic_cast<ManualClock*>(&CurrentClock())) {
        // Time passes only as far as the timers that fall due, so one of them can end the wait.
        const uint64_t deadline = manual->NowMs() + timeoutMs;
        for (;;) {
            lock.unlock();
            const bool ran = detail::RunNextManualTimer(*manual, deadline);
            lock.lock();
            if (auto taken = TryTake(events, all)) return *taken;
            if (!ran) return WAIT_TIMEOUT;
        }
    }

    std::optional<DWORD> taken;
    const bool signalled = r.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                              [&] { return (taken = TryTake(events, all)).has_value(); });
    return signalled ? *taken : WAIT_TIMEOUT;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs) {
    return WaitForMultipleObjects(1, &handle, FALSE, timeoutMs);
}
