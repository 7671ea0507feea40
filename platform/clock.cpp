#include "platform/clock.h"

#include "platform/sync_internal.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform {
namespace {

class SystemClock : public Clock {
public:
    uint64_t NowMs() override { return detail::SteadyNowMs(); }
    void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

SystemClock& TheSystemClock() {
    static SystemClock clock;
    return clock;
}

std::atomic<Clock*> installedClock{nullptr};

}  // namespace

uint64_t detail::SteadyNowMs() {
    using namespace std::chrono;
    static const steady_clock::time_point origin = steady_clock::now();
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now() - origin).count());
}

Clock& CurrentClock() {
    Clock* clock = installedClock.load(std::memory_order_acquire);
    return clock ? *clock : TheSystemClock();
}

void SetClock(Clock* clock) { installedClock.store(clock, std::memory_order_release); }

ManualClock::~ManualClock() {
    // A clock that is still installed must not be read after it is gone.
    Clock* self = this;
    installedClock.compare_exchange_strong(self, nullptr);
    detail::ForgetManualClock(*this);
}

uint64_t ManualClock::NowMs() { return now_.load(std::memory_order_acquire); }

void ManualClock::SleepMs(uint32_t ms) { Advance(ms); }

void ManualClock::Advance(uint64_t ms) {
    const uint64_t start = NowMs();
    const uint64_t target = ms > UINT64_MAX - start ? UINT64_MAX : start + ms;
    // A callback may advance the clock itself; the loop then goes on from wherever it left the time.
    while (detail::RunNextManualTimer(*this, std::max(target, NowMs()))) {
    }
}

}  // namespace platform

void Sleep(DWORD ms) { platform::CurrentClock().SleepMs(ms); }

DWORD GetTickCount() { return static_cast<DWORD>(platform::CurrentClock().NowMs()); }
