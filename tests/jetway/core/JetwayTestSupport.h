// Helpers of the jetway tests: a configured jetway record, and a connection to the in-process simulator
// registered the way the module registers its own (animation and part definitions, report events, Out
// areas), so that the motion's writes and reports can be watched.
#pragma once

#include "jetway/core/JetwayCodec.h"
#include "jetway/core/JetwayCore.h"
#include "platform/clock.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"
#include "tests/simulator/SimTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace jetwaytest {

// Reading a connection's messages is the simulator tests' business.
using simtest::As;
using simtest::Drain;
using simtest::Events;
using simtest::Kind;
using simtest::Message;
using simtest::OpenClient;

// Creates a simulated object and returns the id the simulator assigned (0 on failure).
inline DWORD CreateObject(HANDLE h, const std::string& title, DWORD requestId)
{
    SIMCONNECT_DATA_INITPOSITION pos{};
    pos.Latitude = 47.0;
    pos.Longitude = 8.0;
    if (SimConnect_AICreateSimulatedObject(h, title.c_str(), pos, requestId) != S_OK) return 0;
    for (const Message& m : Drain(h)) {
        if (Kind(m) != SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID) continue;
        const auto a = As<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(m);
        if (a.dwRequestID == requestId) return a.dwObjectID;
    }
    return 0;
}

constexpr DWORD kDoneEvent = 242426;
constexpr DWORD kIntermediateEvent = 242427;
constexpr double kDeg = 3.14159265358979323846 / 180.0;

// The module's animation (0) and part position (3) definitions, its report events and Out areas, on
// one connection.
inline void RegisterLikeTheModule(HANDLE h)
{
    const char* part[][2] = {{"Plane Latitude", "degrees"},         {"Plane Longitude", "degrees"},
                             {"PLANE ALTITUDE", "Feet"},            {"PLANE PITCH DEGREES", "Radians"},
                             {"PLANE BANK DEGREES", "Radians"},     {"PLANE HEADING DEGREES TRUE", "Radians"}};
    for (const auto& v : part) SimConnect_AddToDataDefinition(h, 3, v[0], v[1]);
    for (const char* v : {"VELOCITY WORLD Z", "VELOCITY BODY Z", "VELOCITY WORLD X", "VELOCITY BODY X",
                          "VELOCITY WORLD Y", "VELOCITY BODY Y", "ACCELERATION BODY X", "ACCELERATION BODY Y",
                          "ACCELERATION BODY Z"})
        SimConnect_AddToDataDefinition(h, 0, v, "Number");
    SimConnect_MapClientEventToSimEvent(h, kDoneEvent, "VELK.JetwayAction.Done");
    SimConnect_MapClientEventToSimEvent(h, kIntermediateEvent, "VELK.JetwayAction.Intermediate");
    SimConnect_AddClientEventToNotificationGroup(h, 242424, kDoneEvent);
    SimConnect_AddClientEventToNotificationGroup(h, 242424, kIntermediateEvent);
    SimConnect_SetNotificationGroupPriority(h, 242424, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
    for (DWORD i = 0; i < 8; ++i) {
        const std::string name = "VELK.JetwayData.Out." + std::to_string(i + 1);
        SimConnect_MapClientDataNameToID(h, name.c_str(), 242424 + i);
        SimConnect_CreateClientData(h, 242424 + i, 5600, 0);
    }
    SimConnect_AddToClientDataDefinition(h, 1, 0, 5600);
}

// A type "A" jetway parked at root 0, dip 0, head 0 and extension 15 m, with a job to rotate, dip, turn
// its head and extend.
inline JetwayData ConfiguredRecord(uint32_t type)
{
    JetwayData r;
    r.JetwayType = type;
    r.RootSweepRange = {-90, 90};
    r.BridgeDipRange = {-10, 10};
    r.HeadSweepRange = {-90, 90};
    r.BridgeLengthRange = {10, 30};
    r.LegLengthRange = {2, 6};
    r.RootFloorHeight = 4;
    r.RootBridgeOffset = 2;
    r.LegOffset = 8;
    r.StairLength = 5;
    r.StairOffset = 1;
    r.WheelRadius = 0.5;
    r.HoodTime = 0.2;
    r.PlacementPointCount = 4;
    r.PlacementPoints = {50, 50, 50, 25};
    r.JetwayLatitude = 47.0;
    r.JetwayLongitude = 8.0;
    r.JetwayAltitude = 1300;
    r.JetwayHeading = 90;
    r.AnimationDefinitionId = 0;
    r.PositionDefinitionId = 3;
    r.DoneEventId = kDoneEvent;
    r.IntermediateEventId = kIntermediateEvent;
    r.ReportDefinitionId = 1;
    return r;
}

// Fills the targets of a docking the way the solver would, from the jetway's own geometry.
inline void SetTargets(JetwayCore& core, double rotation, double dip, double head, double extension, double via)
{
    JetwayData& r = *core.GetJetwayData();
    const JetwayPose now = r.CurrentPose;
    r.TargetRootRotation = rotation;
    r.TargetDip = dip;
    r.TargetHead = head;
    r.TargetExtension = extension;
    r.ExtensionVia = via;
    r.TargetLegLength = core.LegLength(extension, dip);
    const double start = r.RetractFirst ? via : now.extension;
    r.LegLengthVia = core.LegLength(via, now.dip);
    r.LegLengthLevel = core.LegLength(start, 0.0);
    r.LegLengthAfterDip = core.LegLength(start, dip);
}

}  // namespace jetwaytest
