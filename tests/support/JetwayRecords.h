// The type "A" jetway record the solver and control tests start from, built in one place.
// Plain data: built on whichever thread the test runs.
#pragma once

#include "jetway/core/JetwayData.h"

namespace testsupport {

// A type "A" jetway: floor 5 m above the ground, the bridge 2 m from the root, the mouth 1 m long, the
// leg 10 m out, the hood 2 m wide; reaching 10..30 m, parked at 12 m.
inline JetwayData TypeAJetwayRecord()
{
    JetwayData r;
    r.JetwayType = kJetwayTypeA;
    r.RootFloorHeight = 5.0;
    r.RootBridgeOffset = 2.0;
    r.MouthOffset = 1.0;
    r.LegOffset = 10.0;
    r.LegOffsetFromOrigin = 0.0;
    r.HoodWidth = 2.0;
    r.BridgeLengthRange = {10, 30};
    r.RootSweepRange = {-90, 90};
    r.BridgeDipRange = {-10, 10};
    r.HeadSweepRange = {-120, 120};
    r.LegLengthRange = {2, 8};
    r.CurrentPose.extension = 12.0;
    return r;
}

}  // namespace testsupport
