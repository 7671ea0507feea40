// One animation of a placed model: a position on a keyframe axis that a timer moves from the start
// keyframe towards the end keyframe and back. The model plays its own keyframes; the program only tells
// the simulated object where the animation stands (the frame handler turns the flags below into the
// model's state word).
//
// Threads: the timer step runs on the timer thread and the main thread reads and clears the flags, so
// every field the step touches is atomic. The step deletes its own timer queue without waiting when it
// reaches an end point; every other stop (main-thread steps and jumps, Stop, assignment, destruction)
// deletes it waiting for a running step, so once those return no step runs. A copy never carries a live
// timer: it gets the keyframes, position and flags, not running.
#pragma once

#include "platform/wintypes.h"

#include <atomic>
#include <cstdint>

class AnimationData {
public:
    static constexpr double kDefaultFps = 25.0;

    AnimationData() = default;
    AnimationData(const AnimationData& other);
    AnimationData& operator=(const AnimationData& other);
    virtual ~AnimationData();

    // step = end / duration (the end keyframe, not the span, over the duration). A duration that is not
    // positive (or a step that is not a positive number) makes every movement jump to its end point.
    void SetKeyframes(int32_t start, int32_t end, int32_t initial, double durationSeconds);
    // Steps per second of the timer. Refused (logged, false) unless it gives a tick of 1 ms or more.
    bool SetFps(double fps);

    bool IsDefined() const { return defined_ != 0; }
    double GetPosition() const { return position_.load(); }
    bool IsForward() const { return forward_.load(); }
    bool IsRunning() const { return running_.load(); }
    bool IsAtStart() const { return atStart_.load(); }
    bool IsAtEnd() const { return atEnd_.load(); }
    double GetFps() const { return fps_; }
    double GetStartKeyframe() const { return startKeyframe_; }
    double GetEndKeyframe() const { return endKeyframe_; }
    double GetInitialKeyframe() const { return initialKeyframe_; }
    double GetStep() const { return step_; }
    // The timer's due time and period: 1000 / (fps truncated to an integer) ms.
    DWORD GetPeriodMs() const;

    // The simulation's paused flag, read by every tick; it must outlive the animation's timer.
    void SetPauseFlagPtr(const std::atomic<bool>* paused) { pauseFlag_.store(paused); }
    void SetSkipFlagPtr(const std::atomic<bool>* paused) { SetPauseFlagPtr(paused); }

    // Arms the timer when not running. False when it was running already or the timer could not be made.
    bool Start();
    // The direction of the next movement; reversing a running animation that has room to go marks the
    // reversal for the frame handler.
    void SetDirection(bool forward);
    // One movement of step / fps; reaching an end point stops the timer there. Each returns the position.
    double StepForward();
    double StepBackward();
    double JumpToEnd();
    double JumpToStart();
    // Stops the timer where the position is (the object is leaving the simulator): no end point, no flag.
    void Stop();

    // Flags for the frame handler: set by the animation, read and cleared on the main thread.
    bool IsStarted() const { return started_.load(); }
    void ClearStarted() { started_.store(false); }
    bool IsStopped() const { return stopped_.load(); }
    void ClearStopped() { stopped_.store(false); }
    bool IsReversalPending() const { return reversalPending_.load(); }
    void ClearReversalPending() { reversalPending_.store(false); }
    bool IsRePausePending() const { return rePausePending_.load(); }
    void SetRePausePending(bool pending) { rePausePending_.store(pending); }
    // Each returns the flag and clears it in one step, so a flag the timer sets meanwhile is never lost.
    bool TakeStarted() { return started_.exchange(false); }
    bool TakeStopped() { return stopped_.exchange(false); }
    bool TakeReversalPending() { return reversalPending_.exchange(false); }
    bool TakeRePausePending() { return rePausePending_.exchange(false); }

private:
    double Move(bool towardsEnd, bool inCallback);
    double Jump(bool toEnd, bool inCallback);
    bool JumpsOnly() const;
    bool IsPaused() const;
    void DeleteTimer(bool inCallback);
    void TimerStep();
    static void OnTimer(PVOID self, BOOLEAN fired);
    void CopyFrom(const AnimationData& other);

    double fps_ = kDefaultFps;
    uint8_t defined_ = 0;
    double endKeyframe_ = 1.0;
    double startKeyframe_ = 0.0;
    double initialKeyframe_ = 0.0;
    double step_ = 1.0;
    std::atomic<double> position_{0.0};
    std::atomic<bool> running_{false};
    std::atomic<bool> forward_{true};
    std::atomic<bool> atStart_{true};
    std::atomic<bool> atEnd_{false};
    std::atomic<HANDLE> timerQueue_{nullptr};
    HANDLE timer_ = nullptr;
    std::atomic<const std::atomic<bool>*> pauseFlag_{nullptr};
    std::atomic<bool> started_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> reversalPending_{false};
    std::atomic<bool> rePausePending_{false};
};
