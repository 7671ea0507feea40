#include "objects/AnimationData.h"

#include "platform/timers.h"

#include <log4cpp/Category.hh>

#include <cmath>

namespace {

log4cpp::Category& ReaderLog() { return log4cpp::Category::getInstance("VELK.XML"); }
log4cpp::Category& RunLog() { return log4cpp::Category::getInstance("VELK.FSLOOP"); }

DWORD PeriodMsForFps(double fps)
{
    if (!std::isfinite(fps) || fps < 1.0 || fps >= 1001.0) return 0;  // a tick below 1 ms
    return 1000u / static_cast<DWORD>(fps);
}

}  // namespace

AnimationData::AnimationData(const AnimationData& other) { CopyFrom(other); }

AnimationData& AnimationData::operator=(const AnimationData& other)
{
    if (this != &other) {
        // Never overwrite the context of a live timer.
        Stop();
        CopyFrom(other);
    }
    return *this;
}

AnimationData::~AnimationData() { DeleteTimer(false); }

void AnimationData::CopyFrom(const AnimationData& other)
{
    fps_ = other.fps_;
    defined_ = other.defined_;
    endKeyframe_ = other.endKeyframe_;
    startKeyframe_ = other.startKeyframe_;
    initialKeyframe_ = other.initialKeyframe_;
    step_ = other.step_;
    position_.store(other.position_.load());
    running_.store(false);
    forward_.store(other.forward_.load());
    atStart_.store(other.atStart_.load());
    atEnd_.store(other.atEnd_.load());
    timerQueue_.store(nullptr);
    timer_ = nullptr;
    pauseFlag_.store(other.pauseFlag_.load());
    started_.store(other.started_.load());
    stopped_.store(other.stopped_.load());
    reversalPending_.store(other.reversalPending_.load());
    rePausePending_.store(other.rePausePending_.load());
}

void AnimationData::SetKeyframes(int32_t start, int32_t end, int32_t initial, double durationSeconds)
{
    defined_ = 1;
    endKeyframe_ = end;
    step_ = endKeyframe_ / durationSeconds;
    initialKeyframe_ = initial;
    position_.store(initialKeyframe_);
    startKeyframe_ = start;
    if (JumpsOnly() && durationSeconds != 0.0) {
        ReaderLog().warn("Animation keyframes %d to %d over %f s give no forward step: it jumps to its end points!",
                         start, end, durationSeconds);
    }
}

bool AnimationData::SetFps(double fps)
{
    if (PeriodMsForFps(fps) == 0) {
        ReaderLog().error("Animation frame rate %f refused: it needs a tick of at least 1 ms!", fps);
        return false;
    }
    fps_ = fps;
    return true;
}

DWORD AnimationData::GetPeriodMs() const { return PeriodMsForFps(fps_); }

bool AnimationData::JumpsOnly() const { return !(std::isfinite(step_) && step_ > 0.0); }

bool AnimationData::IsPaused() const
{
    const std::atomic<bool>* paused = pauseFlag_.load();
    return paused != nullptr && paused->load();
}

bool AnimationData::Start()
{
    if (running_.load()) return false;
    const DWORD ms = GetPeriodMs();
    if (ms == 0) {
        RunLog().error("Animation not started: frame rate %f gives no timer period!", fps_);
        return false;
    }
    // A queue still here belongs to a step that is just ending: wait for it before arming a new one.
    DeleteTimer(false);

    HANDLE queue = CreateTimerQueue();
    if (queue == nullptr) {
        RunLog().error("Animation not started: could not create its timer queue!");
        return false;
    }
    started_.store(true);
    running_.store(true);
    timerQueue_.store(queue);
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, queue, &AnimationData::OnTimer, this, ms, ms, WT_EXECUTEINTIMERTHREAD)) {
        RunLog().error("Animation not started: could not create its timer!");
        started_.store(false);
        running_.store(false);
        DeleteTimer(false);
        return false;
    }
    timer_ = timer;
    return true;
}

void AnimationData::SetDirection(bool forward)
{
    forward_.store(forward);
    if (!running_.load()) return;
    const double position = position_.load();
    if ((!forward && position < endKeyframe_) || (forward && position > startKeyframe_))
        reversalPending_.store(true);
}

double AnimationData::StepForward() { return Move(true, false); }
double AnimationData::StepBackward() { return Move(false, false); }
double AnimationData::JumpToEnd() { return Jump(true, false); }
double AnimationData::JumpToStart() { return Jump(false, false); }

void AnimationData::Stop()
{
    DeleteTimer(false);
    running_.store(false);
}

double AnimationData::Move(bool towardsEnd, bool inCallback)
{
    if (JumpsOnly()) return Jump(towardsEnd, inCallback);
    atStart_.store(false);
    atEnd_.store(false);
    if (towardsEnd) {
        const double position = position_.load() + step_ / fps_;
        if (position < endKeyframe_) {
            position_.store(position);
            return position;
        }
    } else {
        const double position = position_.load() - step_ / fps_;
        if (startKeyframe_ < position) {
            position_.store(position);
            return position;
        }
    }
    return Jump(towardsEnd, inCallback);
}

double AnimationData::Jump(bool toEnd, bool inCallback)
{
    const double position = toEnd ? endKeyframe_ : startKeyframe_;
    // From the main thread the timer goes first, so no step overwrites the end point afterwards. A step
    // writes everything before its queue goes: once it has deleted its own queue the main thread may
    // destroy this animation, so nothing of it is touched afterwards.
    if (!inCallback) DeleteTimer(false);
    position_.store(position);
    running_.store(false);
    forward_.store(!toEnd);
    atStart_.store(!toEnd);
    atEnd_.store(toEnd);
    stopped_.store(true);
    DeleteTimer(inCallback);
    return position;
}

void AnimationData::DeleteTimer(bool inCallback)
{
    // Whoever takes the handle deletes the queue, so it is deleted once even when a step and the main
    // thread stop at the same moment.
    HANDLE queue = timerQueue_.exchange(nullptr);
    if (queue == nullptr) return;
    if (!inCallback) timer_ = nullptr;
    DeleteTimerQueueEx(queue, inCallback ? nullptr : INVALID_HANDLE_VALUE);
}

void AnimationData::OnTimer(PVOID self, BOOLEAN) { static_cast<AnimationData*>(self)->TimerStep(); }

void AnimationData::TimerStep()
{
    if (!IsPaused()) {
        Move(forward_.load(), true);
        return;
    }
    // Paused: the animation goes straight to the end it is heading for, so the model shows it there.
    if (running_.load() && !atStart_.load() && !atEnd_.load()) Jump(forward_.load(), true);
}
