#include "objects/TimerData.h"

#include "platform/simconnect/SimConnect.h"
#include "platform/timers.h"

#include <log4cpp/Category.hh>

#include <cmath>

namespace {

constexpr double kMaxPeriodMs = 4294967294.0;  // 0xFFFFFFFF would mean "never" to a timer
// The period comes from whole milliseconds divided by steps and multiplied back; without the tolerance
// a 3 ms tick would often truncate to 2 ms and a 1 ms tick to a one-shot timer of 0 ms.
constexpr double kMsTolerance = 1e-6;

log4cpp::Category& Log() { return log4cpp::Category::getInstance("VELK.XML"); }

double WholeMs(double periodSeconds) { return std::floor(periodSeconds * 1000.0 + kMsTolerance); }

}  // namespace

TimerData::TimerData(const TimerData& other) { CopyFrom(other); }

TimerData& TimerData::operator=(const TimerData& other)
{
    if (this != &other) {
        // Never overwrite the context of a live timer.
        if (running_.load() || timerQueue_) Stop();
        CopyFrom(other);
    }
    return *this;
}

TimerData::~TimerData() { DeleteTimer(); }

void TimerData::CopyFrom(const TimerData& other)
{
    started_ = other.started_;
    stopped_ = other.stopped_;
    period_ = other.period_;
    defined_ = other.defined_;
    steps_.store(other.steps_.load());
    counter_.store(other.counter_.load());
    running_.store(false);
    bound_ = other.bound_;
    sentValue_.store(other.sentValue_.load());
    timerQueue_ = nullptr;
    timer_ = nullptr;
    pauseFlag_.store(other.pauseFlag_.load());
    connection_.store(other.connection_.load());
    definition_.store(other.definition_.load());
    objectId_.store(other.objectId_.load());
}

bool TimerData::SetTimer(int32_t steps, double durationSeconds)
{
    const double period = steps >= 1 ? durationSeconds / steps : 0.0;
    const double ms = WholeMs(period);
    if (steps < 1 || !std::isfinite(period) || ms < 1.0 || ms > kMaxPeriodMs) {
        Log().error("Timer with %d steps in %f s refused: it needs at least 1 step and a tick of at least 1 ms!",
                    steps, durationSeconds);
        return false;
    }
    defined_ = 1;
    counter_.store(0.0);
    steps_.store(static_cast<double>(steps));
    period_ = period;
    return true;
}

DWORD TimerData::GetPeriodMs() const
{
    const double ms = WholeMs(period_);
    if (!(ms >= 1.0)) return 0;
    return ms > kMaxPeriodMs ? static_cast<DWORD>(kMaxPeriodMs) : static_cast<DWORD>(ms);
}

void TimerData::SetRunning(bool running)
{
    if (running == running_.load()) return;
    if (running) Start();
    else Stop();
}

int32_t TimerData::GetCounter() const
{
    const double count = counter_.load();
    if (!(count >= 0.0)) return 0;
    return count >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(count);
}

bool TimerData::IsPaused() const
{
    const std::atomic<bool>* paused = pauseFlag_.load();
    return paused && paused->load();
}

void TimerData::Bind(HANDLE connection, uint32_t definition, uint32_t objectId)
{
    connection_.store(connection);
    definition_.store(definition);
    objectId_.store(objectId);
    bound_ = 1;
}

void TimerData::Toggle()
{
    if (!bound_) return;
    if (running_.load()) Stop();
    else Start();
}

void TimerData::Stop()
{
    running_.store(false);
    stopped_ = 1;
    DeleteTimer();
}

bool TimerData::Start()
{
    if (running_.load() || !bound_) return false;
    // A counter without a Timer definition has nothing to count.
    if (!defined_) return false;
    const DWORD ms = GetPeriodMs();
    if (ms == 0) return false;
    DeleteTimer();  // a leftover queue would hold this counter as its context

    HANDLE queue = CreateTimerQueue();
    if (!queue) {
        Log().error("Timer counter of object %u: could not create its timer queue!", objectId_.load());
        return false;
    }
    started_ = 1;
    running_.store(true);
    timerQueue_ = queue;
    if (!CreateTimerQueueTimer(&timer_, queue, &TimerData::OnTimer, this, ms, ms, WT_EXECUTEDEFAULT)) {
        Log().error("Timer counter of object %u: could not create its timer!", objectId_.load());
        running_.store(false);
        DeleteTimer();
        return false;
    }
    return true;
}

void TimerData::DeleteTimer()
{
    if (timerQueue_) DeleteTimerQueueEx(timerQueue_, INVALID_HANDLE_VALUE);
    timerQueue_ = nullptr;
    timer_ = nullptr;
}

void TimerData::OnTimer(PVOID self, BOOLEAN) { static_cast<TimerData*>(self)->Tick(); }

void TimerData::Tick()
{
    if (IsPaused()) return;
    double count = counter_.load() + 1.0;
    // Reaching steps wraps; beyond it (steps lowered meanwhile) wraps as well instead of counting on.
    if (count >= steps_.load()) count = 0.0;
    counter_.store(count);

    const uint32_t objectId = objectId_.load();
    if (objectId == 0 || objectId == 1) return;
    sentValue_.store(count);
    double value = count;
    SimConnect_SetDataOnSimObject(connection_.load(), definition_.load(), objectId, SIMCONNECT_DATA_SET_FLAG_DEFAULT,
                                  0, sizeof(value), &value);
}
