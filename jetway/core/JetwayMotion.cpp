// The motion of one jetway: the start computes durations and per-tick increments, then one timer tick
// every PeriodMs moves the phase's channels and part joints and chooses the next phase.
//
// Machine A (types "A" and "H") runs phases 1..17, machine B (types "N" and "T") phases 1, 2 and 14.
// A docking starts with Docked false; an undocking replays the docking's increments backwards.
#include "foundation/Units.h"
#include "jetway/core/JetwayCodec.h"
#include "jetway/core/JetwayCore.h"
#include "platform/events.h"
#include "platform/simconnect/SimConnect.h"
#include "platform/timers.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

constexpr DWORD kReportGroup = SIMCONNECT_GROUP_PRIORITY_HIGHEST;

std::atomic<uint32_t> g_outChannel{0};

// Milliseconds for a movement of channelDelta keyframes when a full sweep takes sweepSeconds. A result
// that is not a finite number moves nothing.
double DurationMs(double channelDelta, double sweepSeconds)
{
    const double ms = std::fabs(channelDelta * sweepSeconds) / 100.0 * 1000.0;
    return std::isfinite(ms) ? ms : 0.0;
}

double Steps(double durationMs, double periodMs)
{
    if (!(durationMs > 0.0) || !(periodMs > 0.0)) return 0.0;
    return std::ceil(durationMs / periodMs);
}

double Step(double delta, double steps) { return steps > 0.0 ? delta / steps : 0.0; }

// acos within its domain; a ratio that is not a number counts as flat.
double SafeAcos(double ratio)
{
    if (std::isnan(ratio)) return 0.0;
    return std::acos(std::clamp(ratio, -1.0, 1.0));
}

}  // namespace

uint32_t JetwayCore::NextOutChannel()
{
    uint32_t current = g_outChannel.load();
    uint32_t next = 0;
    do {
        next = current % kOutChannelCount + 1;
    } while (!g_outChannel.compare_exchange_weak(current, next));
    return next;
}

void JetwayCore::ResetOutChannel() { g_outChannel.store(0); }

// ---- start ----

void JetwayCore::ComputeDockingA()
{
    JetwayData& r = record_;
    JetwayIncrements& inc = r.Increments;
    const JetwayPose now = r.CurrentPose;
    const double p = r.PeriodMs;
    const bool typeH = r.JetwayType == kJetwayTypeH;

    const double dipStart = r.LevelFirst ? 0.0 : now.dip;
    const double extStart = r.RetractFirst ? r.ExtensionVia : now.extension;
    r.HoodDurationMs = typeH ? 0.0 : (std::isfinite(r.HoodTime * 1000.0) ? std::fabs(r.HoodTime * 1000.0) : 0.0);
    r.LevelDurationMs = r.LevelFirst ? DurationMs(ScaleDip(now.dip) - ScaleDip(0.0), r.DipTime) : 0.0;
    r.DipDurationMs = DurationMs(ScaleDip(dipStart) - ScaleDip(r.TargetDip), r.DipTime);
    r.RotationDurationMs = DurationMs(ScaleRoot(now.rootRotation) - ScaleRoot(r.TargetRootRotation), r.RootRotationTime);
    r.RetractDurationMs =
        r.RetractFirst ? DurationMs(ScaleExtension(now.extension) - ScaleExtension(r.ExtensionVia), r.BridgeExtensionTime)
                       : 0.0;
    r.ExtensionDurationMs = DurationMs(ScaleExtension(extStart) - ScaleExtension(r.TargetExtension), r.BridgeExtensionTime);
    r.HeadDurationMs = DurationMs(ScaleHead(now.head) - ScaleHead(r.TargetHead), r.HeadRotationTime);

    const double nLevel = Steps(r.LevelDurationMs, p);
    const double nDip = Steps(r.DipDurationMs, p);
    const double nRot = Steps(r.RotationDurationMs, p);
    const double nRetract = Steps(r.RetractDurationMs, p);
    const double nExt = Steps(r.ExtensionDurationMs, p);
    const double nHead = Steps(r.HeadDurationMs, p);
    const double nHood = Steps(r.HoodDurationMs, p);

    inc.rotation = Step(ScaleRoot(r.TargetRootRotation) - ScaleRoot(now.rootRotation), nRot);
    inc.partRotation = Step(r.TargetRootRotation - now.rootRotation, nRot);
    inc.dip = Step(ScaleDip(r.TargetDip) - ScaleDip(dipStart), nDip);
    inc.partDip = Step(r.TargetDip - dipStart, nDip);
    inc.dipLevel = Step(ScaleDip(0.0) - ScaleDip(now.dip), nLevel);
    inc.partDipLevel = Step(0.0 - now.dip, nLevel);
    inc.extension = Step(ScaleExtension(r.TargetExtension) - ScaleExtension(extStart), nExt);
    inc.partExtension = Step(r.TargetExtension - extStart, nExt);
    // Phase 15 subtracts these two.
    inc.extensionVia = Step(ScaleExtension(now.extension) - ScaleExtension(r.ExtensionVia), nRetract);
    inc.partExtensionVia = Step(now.extension - r.ExtensionVia, nRetract);
    inc.head = Step(ScaleHead(r.TargetHead) - ScaleHead(now.head), nHead);
    inc.partHead = Step(r.TargetHead - now.head, nHead);
    inc.hood = typeH ? 0.0 : Step(50.0, nHood);

    // Leg and stair along the path: towards ExtensionVia, levelling, dip, extension. A docking adds the
    // leg steps and subtracts the stair steps.
    const double stairVia = StairAngle(r.ExtensionVia, now.dip);
    const double legLevelStart = r.RetractFirst ? r.LegLengthVia : now.legLength;
    const double stairLevelStart = r.RetractFirst ? stairVia : now.stairAngle;
    const double stairLevel = StairAngle(extStart, 0.0);
    const double legDipStart = r.LevelFirst ? r.LegLengthLevel : legLevelStart;
    const double stairDipStart = r.LevelFirst ? stairLevel : stairLevelStart;
    const double stairAfterDip = StairAngle(extStart, r.TargetDip);
    const double stairTarget = StairAngle(r.TargetExtension, r.TargetDip);
    inc.legVia = Step(ScaleLeg(r.LegLengthVia) - ScaleLeg(now.legLength), nRetract);
    inc.stairVia = Step(ScaleStair(now.stairAngle) - ScaleStair(stairVia), nRetract);
    inc.legLevel = Step(ScaleLeg(r.LegLengthLevel) - ScaleLeg(legLevelStart), nLevel);
    inc.stairLevel = Step(ScaleStair(stairLevelStart) - ScaleStair(stairLevel), nLevel);
    inc.legDip = Step(ScaleLeg(r.LegLengthAfterDip) - ScaleLeg(legDipStart), nDip);
    inc.stairDip = Step(ScaleStair(stairDipStart) - ScaleStair(stairAfterDip), nDip);
    inc.legExtend = Step(ScaleLeg(r.TargetLegLength) - ScaleLeg(r.LegLengthAfterDip), nExt);
    inc.stairExtend = Step(ScaleStair(stairAfterDip) - ScaleStair(stairTarget), nExt);

    // Wheels: keyframes per tick; a wheel of radius 0 does not turn.
    const double divisor = 2.0 * units::kPi * r.WheelRadius * r.WheelRadius;
    inc.wheelExtend = 0.0;
    inc.wheelRotate = 0.0;
    if (divisor != 0.0) {
        if (nExt > 0.0) inc.wheelExtend = (r.TargetExtension - extStart) * (95.0 / nExt) / divisor;
        if (r.RetractFirst) inc.wheelExtend = -inc.wheelExtend;
        if (nRot > 0.0)
            inc.wheelRotate = WheelArcRadius() * (r.TargetRootRotation - now.rootRotation) * (95.0 / nRot) / divisor;
    }

    r.CurrentPose = JetwayPose{r.TargetRootRotation, r.TargetDip,       r.TargetHead,
                               r.TargetExtension,    r.TargetLegLength, stairTarget};
}

void JetwayCore::ComputeDockingB()
{
    JetwayData& r = record_;
    JetwayIncrements& inc = r.Increments;
    const JetwayPose now = r.CurrentPose;
    const double p = r.PeriodMs;

    r.DipDurationMs = DurationMs(ScaleDip(now.dip) - ScaleDip(r.TargetDip), r.DipTime);
    r.ExtensionDurationMs = DurationMs(ScaleExtension(now.extension) - ScaleExtension(r.TargetExtension),
                                       r.BridgeExtensionTime);
    const double nDip = Steps(r.DipDurationMs, p);
    const double nExt = Steps(r.ExtensionDurationMs, p);

    inc.dip = Step(ScaleDip(r.TargetDip) - ScaleDip(now.dip), nDip);
    inc.partDip = Step(r.TargetDip - now.dip, nDip);
    inc.extension = Step(ScaleExtension(r.TargetExtension) - ScaleExtension(now.extension), nExt);
    inc.partExtension = Step(r.TargetExtension - now.extension, nExt);
    inc.legDip = Step(-(ScaleLeg(now.legLength) - ScaleLeg(r.LegLengthAfterDip)), nDip);
    inc.legExtend = Step(-(ScaleLeg(r.LegLengthAfterDip) - ScaleLeg(r.TargetLegLength)), nExt);
    const double stairAfterDip = StairAngle(now.extension, r.TargetDip);
    const double stairTarget = StairAngle(r.TargetExtension, r.TargetDip);
    inc.stairExtend = Step(ScaleStair(stairAfterDip) - ScaleStair(stairTarget), nExt);
    inc.stairDip = Step(r.StairChannel - ScaleStair(stairAfterDip), nDip);

    r.CurrentPose.dip = r.TargetDip;
    r.CurrentPose.extension = r.TargetExtension;
    r.CurrentPose.legLength = r.TargetLegLength;
    r.CurrentPose.stairAngle = stairTarget;
    inc.partRotation = 0.0;
    inc.partHead = 0.0;
}

void JetwayCore::StartMotion()
{
    StopMotion();  // one motion at a time
    JetwayData& r = record_;
    const bool machineA = r.JetwayType == kJetwayTypeA || r.JetwayType == kJetwayTypeH;
    const bool machineB = r.JetwayType == kJetwayTypeN || r.JetwayType == kJetwayTypeT;

    if (r.Docked) {
        r.CurrentPose = r.SavedPose;
        JetwayIncrements& inc = r.Increments;
        for (double* v : {&inc.rotation, &inc.dip, &inc.dipLevel, &inc.extension, &inc.extensionVia, &inc.head,
                          &inc.partRotation, &inc.partDip, &inc.partDipLevel, &inc.partExtension,
                          &inc.partExtensionVia, &inc.partHead})
            *v = -*v;
    } else if (machineA || machineB) {
        // The part joints step by increments computed from the present pose, so they start there.
        r.PartRotation = machineA ? r.CurrentPose.rootRotation : 0.0;
        r.PartDip = r.CurrentPose.dip;
        r.PartHead = machineA ? r.CurrentPose.head : 0.0;
        r.PartExtension = r.CurrentPose.extension;
        if (machineA) ComputeDockingA();
        else ComputeDockingB();
    }

    r.StateWord.SetBit(0);
    if (r.Docked) {
        r.StateWord.SetBit(2);
        r.StateWord.SetBits(17, 23, 0);
        r.StateWord.SetBits(24, 30, 0);
    } else {
        r.StateWord.ClearBit(2);
    }

    if (r.Docked) {
        // Machine B has no phase 10: its undocking always starts with the extension.
        r.Phase = machineA && r.SplitRotation ? 10 : (machineA || machineB ? 14 : 0);
    } else if (machineA) {
        r.Phase = r.RetractFirst ? 15 : (r.LevelFirst ? 4 : 5);
    } else if (r.JetwayType == kJetwayTypeN) {
        r.Phase = r.LegOffsetFromOrigin == 0.0 ? 14 : 2;
    } else if (r.JetwayType == kJetwayTypeT) {
        r.Phase = 2;
    } else {
        r.Phase = 0;
    }
    dipSteps_ = 0;
    rotationSteps_ = 0;
    refusedWrites_ = 0;

    // A period below 1 ms runs no timer.
    HANDLE queue = nullptr;
    if ((machineA || machineB) && r.PeriodMs > 0) queue = CreateTimerQueue();

    WriteAnimation();
    WritePartPositions(r.PartHead, r.PartExtension, r.PartDip, r.PartRotation);
    r.Moving = true;
    r.ElapsedMs = 0;

    if (queue == nullptr) return;
    if (tickDone_ == nullptr) tickDone_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    else ResetEvent(tickDone_);
    timerQueue_.store(queue);
    awaitingStop_ = true;
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, queue, machineA ? &JetwayCore::MotionTimerA : &JetwayCore::MotionTimerB, this,
                               0, r.PeriodMs, WT_EXECUTEINTIMERTHREAD)) {
        StopMotion();
    }
}

void JetwayCore::StopMotion()
{
    HANDLE queue = timerQueue_.exchange(nullptr);
    if (queue != nullptr) {
        DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE);
        record_.Moving = false;
    } else if (awaitingStop_ && tickDone_ != nullptr) {
        // The motion deleted its own queue; its last tick may still be returning.
        WaitForSingleObject(tickDone_, INFINITE);
    }
    awaitingStop_ = false;
}

void JetwayCore::DeleteTimerQueueFromTick()
{
    HANDLE queue = timerQueue_.exchange(nullptr);
    if (queue != nullptr) DeleteTimerQueueEx(queue, tickDone_);
}

// ---- ticks ----

void JetwayCore::MotionTimerA(PVOID self, BOOLEAN) { static_cast<JetwayCore*>(self)->Tick(true); }
void JetwayCore::MotionTimerB(PVOID self, BOOLEAN) { static_cast<JetwayCore*>(self)->Tick(false); }

double JetwayCore::PhaseDuration(bool machineA) const
{
    const JetwayData& r = record_;
    const double p = r.PeriodMs;
    const double splitFirst = [&] {
        const double m = std::floor(std::max(p, 0.4 * r.RotationDurationMs));
        return m - std::fmod(m, p);
    }();
    const double splitRest = [&] {
        const double m = std::max(p, 0.4 * r.RotationDurationMs);
        return r.RotationDurationMs - m + std::fmod(std::floor(m), p);
    }();
    if (!machineA) {
        switch (r.Phase) {
        case 2: return r.DipDurationMs;
        case 14: return r.ExtensionDurationMs;
        default: return 0.0;
        }
    }
    switch (r.Phase) {
    case 2: return r.DipDurationMs;
    case 3: return std::max(r.DipDurationMs, r.RotationDurationMs);
    case 4: return r.LevelDurationMs;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10: return r.HoodDurationMs;
    case 11: return splitFirst;
    case 12: return splitRest;
    case 13: return r.RotationDurationMs;
    case 14: return r.ExtensionDurationMs;
    case 15: return r.RetractDurationMs;
    case 16: return r.HeadDurationMs;
    default: return 0.0;
    }
}

void JetwayCore::MovePhase(bool machineA)
{
    JetwayData& r = record_;
    const JetwayIncrements& inc = r.Increments;
    const double leg = r.Docked ? -1.0 : 1.0;  // a docking adds leg steps and subtracts stair steps
    const double p = r.PeriodMs;
    const bool hasParts = HasPart(1) || HasPart(2) || HasPart(3) || HasPart(4) || HasPart(5) || HasPart(6);
    const bool turnsWheels = r.JetwayType != kJetwayTypeH;

    auto rotate = [&](bool moveParts) {
        // One rotation per job, never more steps than its duration holds.
        if (rotationSteps_ >= Steps(r.RotationDurationMs, p)) return;
        ++rotationSteps_;
        r.RotationChannel += inc.rotation;
        SetWheelChannel(r.WheelChannel + inc.wheelRotate);
        if (moveParts) r.PartRotation += inc.partRotation;
    };
    auto dip = [&](double channelStep, double partStep, double legStep, double stairStep, bool moveParts) {
        r.DipChannel += channelStep;
        r.LegChannel += leg * legStep;
        r.StairChannel -= leg * stairStep;
        if (moveParts) r.PartDip += partStep;
    };

    if (!machineA) {
        if (r.Phase == 2) dip(inc.dip, inc.partDip, inc.legDip, inc.stairDip, true);
        if (r.Phase == 14) {
            r.ExtensionChannel += inc.extension;
            r.LegChannel += leg * inc.legExtend;
            r.StairChannel -= leg * inc.stairExtend;
            r.PartExtension += inc.partExtension;
        }
        return;
    }

    // The hood runs within 0..50: phases 5, 7, 8 and 10 raise it, 6 and 9 lower it, in either direction
    // of travel, so every raise is undone by the next lowering.
    const double hoodStep = inc.hood;
    switch (r.Phase) {
    case 2: dip(inc.dip, inc.partDip, inc.legDip, inc.stairDip, true); break;
    case 3:
        if (dipSteps_ < Steps(r.DipDurationMs, p)) {
            ++dipSteps_;
            dip(inc.dip, inc.partDip, inc.legDip, inc.stairDip, hasParts);
        }
        if (!r.WheelRunning && r.ElapsedMs >= r.DipDurationMs - r.RotationDurationMs) r.WheelRunning = true;
        if (r.WheelRunning) rotate(hasParts);
        break;
    case 4: dip(inc.dipLevel, inc.partDipLevel, inc.legLevel, inc.stairLevel, true); break;
    case 5:
    case 7:
    case 8:
    case 10: r.HoodChannel += hoodStep; break;
    case 6:
    case 9: r.HoodChannel -= hoodStep; break;
    case 11:
    case 13: rotate(true); break;
    case 12:
        if (PhaseDuration(true) > 0.0) rotate(true);
        break;
    case 14:
        r.ExtensionChannel += inc.extension;
        r.LegChannel += leg * inc.legExtend;
        r.StairChannel -= leg * inc.stairExtend;
        if (turnsWheels) SetWheelChannel(r.WheelChannel + leg * inc.wheelExtend);
        r.PartExtension += inc.partExtension;
        break;
    case 15:
        r.ExtensionChannel -= inc.extensionVia;
        r.LegChannel += leg * inc.legVia;
        r.StairChannel -= leg * inc.stairVia;
        if (turnsWheels) SetWheelChannel(r.WheelChannel - leg * inc.wheelExtend);
        r.PartExtension -= inc.partExtensionVia;
        break;
    case 16:
        r.HeadChannel += inc.head;
        r.PartHead += inc.partHead;
        break;
    default: break;
    }
}

uint32_t JetwayCore::NextPhaseA(bool& intermediate)
{
    JetwayData& r = record_;
    const bool docking = !r.Docked;
    auto parked = [&] {
        TakeSavedPose();
        r.PartRotation = r.SavedPose.rootRotation;
        r.PartDip = r.SavedPose.dip;
        r.PartHead = r.SavedPose.head;
        r.PartExtension = r.SavedPose.extension;
        return 1u;
    };
    // A pair the machine never produces ends the motion rather than leaving it running.
    switch (r.Phase) {
    case 2:
        if (docking) return 14;
        if (r.LevelFirst) return 7;
        if (r.RetractFirst) {
            r.DipChannel = ScaleDip(r.SavedPose.dip);
            r.PartDip = r.SavedPose.dip;
            return 15;
        }
        return parked();
    case 3:
        r.WheelRunning = false;
        intermediate = docking;
        return docking ? 16 : 1;
    case 4:
        if (docking) return 5;
        return r.RetractFirst ? 15 : parked();
    case 5:
        if (!docking) return 1;
        if (r.SplitRotation) return 11;
        if (r.LevelFirst) return 13;
        r.WheelRunning = r.RotationDurationMs > r.DipDurationMs;
        return 3;
    case 6:
        if (docking) return r.LevelFirst || r.SplitRotation ? 2 : 14;
        return r.LevelFirst ? 4 : 2;
    case 7: return docking ? 1 : 16;
    case 8: return docking ? 12 : 1;
    case 9: return docking ? 17 : 14;
    case 10: return docking ? 1 : 12;
    case 11:
        intermediate = docking;
        return docking ? 16 : 6;
    case 12: intermediate = true; return 9;
    case 13:
        intermediate = docking;
        return docking ? 16 : 6;
    case 14:
        if (docking) return r.SplitRotation ? 8 : 17;
        intermediate = true;
        return r.LevelFirst ? 2 : 7;
    case 15:
        if (docking) return r.LevelFirst ? 4 : 5;
        return parked();
    case 16:
        if (docking) return 6;
        return r.SplitRotation ? 11 : 13;
    default: return 1;
    }
}

uint32_t JetwayCore::NextPhaseB(bool& intermediate)
{
    JetwayData& r = record_;
    const bool docking = !r.Docked;
    // A "T" jetway always dips on the way in, so it always lifts back on the way out.
    const bool dips = r.LegOffsetFromOrigin != 0.0 || r.JetwayType == kJetwayTypeT;
    switch (r.Phase) {
    case 2:
        intermediate = docking;
        return docking ? 14 : 1;
    case 14:
        if (docking) {
            const bool level = r.LegOffsetFromOrigin == 0.0 || r.JetwayType == kJetwayTypeT;
            SetHoodAngles(level ? 0.0 : r.TargetDip);
            return 1;
        }
        intermediate = true;
        return dips ? 2 : 1;
    default: return 1;
    }
}

void JetwayCore::SetHoodAngles(double dip)
{
    JetwayData& r = record_;
    const double h = r.HoodMovableHeight;
    double d1 = std::fabs(r.DoorValue4);
    double d2 = std::fabs(r.DoorValue5);
    if (r.HoodWidth > 0.0) {
        const double shift = std::sin(r.DoorAngle * units::kPi / 180.0) * (r.HoodWidth - 1.0) * 0.5;
        d1 -= shift;
        d2 += shift;
    }
    const double base = units::kPi / 2.0 - 2.0 * dip;
    auto keyframes = [&](double distance) {
        const double angle = base - SafeAcos(h / (2.0 * distance));
        return static_cast<uint64_t>(std::clamp(std::round(ScaleHood(angle)), 0.0, 127.0));
    };
    r.StateWord.SetBits(17, 23, keyframes(d1));
    r.StateWord.SetBits(24, 30, keyframes(d2));
    r.LegChannel = ScaleLeg(r.CurrentPose.legLength);
    WriteAnimation();
}

void JetwayCore::Tick(bool machineA)
{
    JetwayData& r = record_;
    if (!r.Moving) return;
    if (r.AbortRequested) return Finish(true);
    if (r.Phase <= 1) return Finish(false);
    if (machineA && r.Phase == 17) {
        SetHoodAngles(r.TargetDip);
        r.Phase = 1;
        return;
    }

    const double duration = PhaseDuration(machineA);
    r.ElapsedMs += r.PeriodMs;
    MovePhase(machineA);
    WriteAnimation();
    WritePartPositions(r.PartHead, r.PartExtension, r.PartDip, r.PartRotation);
    if (r.ElapsedMs < duration) return;

    r.ElapsedMs = 0;
    bool intermediate = false;
    r.Phase = machineA ? NextPhaseA(intermediate) : NextPhaseB(intermediate);
    if (intermediate) ReportIntermediate();
}

// ---- reports ----

void JetwayCore::ReportIntermediate()
{
    if (simConnect_ == nullptr) return;
    SimConnect_TransmitClientEvent(simConnect_, SIMCONNECT_OBJECT_ID_USER, record_.IntermediateEventId,
                                   record_.JetwayObjectId, kReportGroup, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
}

void JetwayCore::SendReport()
{
    JetwayData& r = record_;
    const uint32_t channel = NextOutChannel();
    r.OutChannel = channel;
    r.ClientDataAreaId = kOutAreaFirstId + channel - 1;
    JetwayBytes bytes = EncodeJetwayData(r);
    if (simConnect_ == nullptr) return;
    SimConnect_SetClientData(simConnect_, r.ClientDataAreaId, r.ReportDefinitionId, 0, 0,
                             static_cast<DWORD>(bytes.size()), bytes.data());
    SimConnect_TransmitClientEvent(simConnect_, SIMCONNECT_OBJECT_ID_USER, r.DoneEventId,
                                   r.JetwayObjectId * 10u + channel, kReportGroup,
                                   SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
}

void JetwayCore::Finish(bool aborted)
{
    JetwayData& r = record_;
    r.Moving = false;
    r.ElapsedMs = 0;
    r.StateWord.ClearBit(0);
    r.StateWord.ClearBit(2);
    if (aborted) {
        r.Docked = false;
        ComputeParkedPose();
        WriteAnimation();
        const JetwayPose& saved = r.SavedPose;
        WritePartPositions(saved.head, saved.extension, saved.dip, saved.rootRotation);
    } else {
        r.Docked = !r.Docked;
        if (r.Docked) r.StateWord.SetBit(2);
        WriteAnimation();
    }
    r.Phase = 0;
    DeleteTimerQueueFromTick();
    SendReport();
}
