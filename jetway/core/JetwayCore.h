// The jetway shared with the in-simulator module: its record, the simulator connection its motion
// writes through, and the motion's timer queue.
//
// Compiled into the module: no sound, no logging, no files. The motion (jetway/JetwayMotion.cpp) runs
// on the timer thread; the owner's thread only sets the abort flag, reads the moving flag and stops the
// motion with StopMotion before it replaces the record or destroys the object.
#pragma once

#include "jetway/core/JetwayData.h"
#include "platform/wintypes.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

// The 72-byte animation record: the state word as a double, then the leg, extension, rotation, dip,
// stair, hood, head and wheel channels.
using JetwayAnimation = std::array<double, 9>;

// The 48-byte part position: latitude, longitude (degrees), altitude (feet), pitch, bank, heading (radians).
struct PartPosition {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double pitch = 0;
    double bank = 0;
    double heading = 0;

    std::array<double, 6> ToArray() const { return {latitude, longitude, altitude, pitch, bank, heading}; }
};

class JetwayCore {
public:
    // The module's ids of "VELK.JetwayData.Out.1".."Out.8", in order.
    static constexpr uint32_t kOutAreaFirstId = 242424;
    static constexpr uint32_t kOutChannelCount = 8;

    JetwayCore() = default;
    // A copy takes the record, the connection and the config flag, never the timer.
    JetwayCore(const JetwayCore& other);
    // Stops this object's motion (waiting for a running tick) before taking the other's state.
    JetwayCore& operator=(const JetwayCore& other);
    // Stops the motion, waiting for a running tick.
    virtual ~JetwayCore();

    JetwayData* GetJetwayData() { return &record_; }
    const JetwayData& GetRecord() const { return record_; }
    JetwayData& CopyJetwayData(JetwayData& out) const;
    // Replaces the record whole. Call StopMotion first when a motion may be running.
    void SetJetwayData(const JetwayData& record)
    {
        record_ = record;
        refusedWrites_ = 0;
    }

    bool HasConfig() const { return configPresent_; }
    void SetConfig(bool present) { configPresent_ = present; }
    HANDLE GetHandle() const { return simConnect_; }
    void SetHandle(HANDLE simConnect) { simConnect_ = simConnect; }

    BitField64 GetStateWord() const { return record_.StateWord; }
    void SetStateWord(const BitField64& word) { record_.StateWord = word; }
    bool IsDocked() const { return record_.Docked; }
    void SetDocked(bool docked) { record_.Docked = docked; }
    bool IsMoving() const { return record_.Moving; }
    void SetMoving(bool moving) { record_.Moving = moving; }
    bool IsAbortRequested() const { return record_.AbortRequested; }
    void SetAbortRequested(bool abort) { record_.AbortRequested = abort; }
    uint32_t GetPhase() const { return record_.Phase; }
    void SetPhase(uint32_t phase) { record_.Phase = phase; }
    double GetPeriodMs() const { return record_.PeriodMs; }
    double GetElapsedMs() const { return record_.ElapsedMs; }
    void SetElapsedMs(double ms) { record_.ElapsedMs = ms; }

    double GetDipDurationMs() const { return record_.DipDurationMs; }
    double GetLevelDurationMs() const { return record_.LevelDurationMs; }
    double GetRotationDurationMs() const { return record_.RotationDurationMs; }
    double GetExtensionDurationMs() const { return record_.ExtensionDurationMs; }
    double GetRetractDurationMs() const { return record_.RetractDurationMs; }
    double GetHeadDurationMs() const { return record_.HeadDurationMs; }
    double GetHoodDurationMs() const { return record_.HoodDurationMs; }

    double GetLegChannel() const { return record_.LegChannel; }
    double GetExtensionChannel() const { return record_.ExtensionChannel; }
    double GetRotationChannel() const { return record_.RotationChannel; }
    double GetDipChannel() const { return record_.DipChannel; }
    double GetStairChannel() const { return record_.StairChannel; }
    double GetHoodChannel() const { return record_.HoodChannel; }
    double GetHeadChannel() const { return record_.HeadChannel; }
    double GetWheelChannel() const { return record_.WheelChannel; }
    void SetLegChannel(double v) { record_.LegChannel = v; }
    void SetExtensionChannel(double v) { record_.ExtensionChannel = v; }
    void SetRotationChannel(double v) { record_.RotationChannel = v; }
    void SetDipChannel(double v) { record_.DipChannel = v; }
    void SetStairChannel(double v) { record_.StairChannel = v; }
    void SetHoodChannel(double v) { record_.HoodChannel = v; }
    void SetHeadChannel(double v) { record_.HeadChannel = v; }
    // Brought into 0..100: above 100 loses 100, below 0 gains 100.
    void SetWheelChannel(double v) { record_.WheelChannel = WrapWheel(v); }

    const JetwayIncrements& GetIncrements() const { return record_.Increments; }
    void SetWheelRunning(bool running) { record_.WheelRunning = running; }
    void SetMainProgramFlag(bool flag) { record_.MainProgramFlag = flag ? 1 : 0; }
    JetwayPose GetCurrentPose() const { return record_.CurrentPose; }
    JetwayPose GetSavedPose() const { return record_.SavedPose; }

    // The parked pose from the placement points, stored as current, saved and target pose, with the
    // channels set from it; returns the animation record of that pose.
    JetwayAnimation ComputeParkedPose();
    // 1, 2 or 4 values; any other count sets the count 0 and nothing else.
    void SetDoorPoints(const std::vector<double>& values);
    void SetDoorPoints4(double rotation, double dip, double head, double extension);
    void SetDataValues4(double latitude, double longitude, double altitude, double heading);
    double GetMouthOffset() const { return record_.MouthOffset; }
    double GetDoorHalfHeight() const { return record_.DoorHalfHeight; }
    void SetDoorLateralOffset(double value) { record_.DoorLateralOffset = value; }
    void SetDockingValues(double doorAngle, double doorHeight, double verticalOffset, double value4, double value5);

    // Joint value to keyframes, within 0..KeyframeCount. A zero-width range gives 0.
    double ScaleLeg(double metres) const;
    double ScaleRoot(double radians) const;
    double ScaleDip(double radians) const;
    double ScaleExtension(double metres) const;
    double ScaleHead(double radians) const;
    double ScaleHead(double radians, bool& clamped) const;
    double ScaleHood(double radians) const;
    double ScaleStair(double radians) const;
    // The head angle of the whole keyframe nearest to the given angle.
    double QuantizeHead(double radians) const;

    // Slot 1..6; false for any other slot.
    bool HasPart(int slot) const;
    bool IsPartInjected(int slot) const;

    // World position of the part in slot 1..6 at the given joints (head rotation, extension, dip, root
    // rotation). A slot outside 1..6 gives the jetway's own position.
    PartPosition ComputePartPositions(int slot, double head, double extension, double dip, double rotation) const;
    // Writes the position of every titled part whose object exists. A position with a value that is not
    // finite or off the globe is not written (a longitude just past the antimeridian is brought back).
    void WritePartPositions(double head, double extension, double dip, double rotation);
    JetwayAnimation BuildAnimation() const;
    // Writes the animation record; one with a value that is not finite is not written.
    void WriteAnimation();

    // Told of the first write a motion refuses (the jetway's id and what was refused), on the thread that
    // tried it. The shared code does not log: the module sets one that does. Null tells no one.
    using WriteRefusedHandler = void (*)(uint32_t jetwayId, const char* what);
    static void SetWriteRefusedHandler(WriteRefusedHandler handler);
    // Writes refused since the record was set or the motion started.
    uint32_t GetRefusedWrites() const { return refusedWrites_.load(); }

    // Geometry at extension e (metres) and dip d (radians).
    double StairAngle(double extension, double dip) const;
    double LegLength(double extension, double dip) const;
    double LegHeight(double dip) const;
    double WheelArcRadius() const;

    // Starts the job in the record: durations, increments, start phase, one timer tick every PeriodMs.
    void StartMotion();
    // Timer callbacks; parameter is the JetwayCore.
    static void MotionTimerA(PVOID self, BOOLEAN fired);
    static void MotionTimerB(PVOID self, BOOLEAN fired);

    // Stops a running motion and waits for a tick that is running (never call it from the motion's own
    // tick). Each queue is deleted once; a motion that ended by itself is waited for until its last tick
    // has returned. Safe to call any number of times.
    void StopMotion();
    bool HasLiveTimer() const { return timerQueue_.load() != nullptr; }

    // Takes the next Out channel, writes the whole record into that Out area and sends the record's Done
    // event with JetwayObjectId * 10 + channel.
    void SendReport();

    // The module-wide Out channel: 1..8, then 1 again.
    static uint32_t NextOutChannel();
    static void ResetOutChannel();

private:
    static double WrapWheel(double value);
    void Tick(bool machineA);
    void MovePhase(bool machineA);
    double PhaseDuration(bool machineA) const;
    uint32_t NextPhaseA(bool& intermediate);
    uint32_t NextPhaseB(bool& intermediate);
    void SetHoodAngles(double dip);
    void TakeSavedPose();
    void ComputeDockingA();
    void ComputeDockingB();
    void Finish(bool aborted);
    void ReportIntermediate();
    // Deletes the queue from inside its own tick, without waiting; StopMotion then waits for the
    // tick's end through the completion event.
    void DeleteTimerQueueFromTick();
    void RefuseWrite(const char* what);

    JetwayData record_;
    HANDLE simConnect_ = nullptr;
    bool configPresent_ = false;
    std::atomic<HANDLE> timerQueue_{nullptr};
    HANDLE tickDone_ = nullptr;  // set when the tick that deleted the queue has returned
    bool awaitingStop_ = false;  // a queue was created and StopMotion has not yet seen it end
    // Steps taken in the present phase of the dip and of the rotation, so neither overshoots its target.
    double dipSteps_ = 0;
    double rotationSteps_ = 0;
    std::atomic<uint32_t> refusedWrites_{0};
};
