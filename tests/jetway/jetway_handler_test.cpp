#include "jetway/JetwayHandler.h"

#include "aircraft/UserAircraft.h"
#include "foundation/GeoMath.h"
#include "foundation/Units.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

// The cases name only the fields they change; the others keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

constexpr double kLat = 47.0;
constexpr double kLon = 8.0;

struct JetwaySpec {
    uint32_t id = 0;
    std::string name;
    std::string icao = "LSZH";
    std::string gate = "GATE_A";
    int32_t number = 1;
    int32_t multiIndex = 0;
    double latitude = kLat;
    double longitude = kLon;
    double headingDeg = 0;
    int models = 1;
};

SimObject MakeJetway(const JetwaySpec& spec)
{
    SimObject o;
    o.SetName(spec.name.empty() ? "LSZH:JW" + std::to_string(spec.id) : spec.name);
    o.SetObjectId(spec.id);
    o.SetStandData(spec.icao, spec.gate, spec.number, "", "", false);
    o.SetMultiIndex(spec.multiIndex);
    o.SetPlacement(spec.latitude, spec.longitude, 0, false, false, 0, 0, spec.headingDeg);
    o.SetFeature(3);
    o.SetInSimulation(true);
    for (int i = 0; i < spec.models; ++i) o.AddModel("jw model " + std::to_string(i));
    return o;
}

JetwayData& RecordOf(SimObject& o)
{
    SimObjectModel* m = o.HasMultipleModels() ? o.GetModel(1) : o.GetCurrentModel();
    return *m->GetJetway()->GetJetwayData();
}

// Builds the active list first (adding moves objects), then enters the jetways at their stands.
struct Scene {
    SimObjectList active;
    JetwayHandler handler;

    void Build(const std::vector<JetwaySpec>& specs, bool enterStands = true)
    {
        for (const JetwaySpec& s : specs) active.Add(MakeJetway(s));
        for (int32_t i = 0; i < active.Count(); ++i) {
            active.GetNearbyCandidates().push_back({{i}, -1.0});
            if (enterStands) handler.AddStandJetway(active.At(i));
        }
    }
    SimObject& Object(uint32_t id) { return *active.FindByObjectId(id); }
};

StandData Stand(const std::string& gate = "GATE_A", int32_t number = 1)
{
    StandData s;
    s.Set("LSZH", gate, number, "", "", false);
    return s;
}

// Exits by door number and deck with their first offset.
struct ExitSpec {
    int32_t n;
    bool upper;
    double x;
};

UserAircraft Aircraft(const std::vector<ExitSpec>& exits)
{
    UserAircraft a;
    for (const ExitSpec& e : exits) {
        ExitData d;
        d.x = e.x;
        if (e.upper) a.AddUpperExit(d, e.n);
        else a.AddExit(d, e.n);
    }
    return a;
}

// ---- Jobs, active set, AI list --------------------------------------------------------------------

TEST(JetwayHandlerJobs, RegisterUnregisterAndQueuedDoor)
{
    JetwayHandler h;
    Jetway j;
    j.GetJetwayData()->JetwayObjectId = 42;
    EXPECT_TRUE(h.IsEmpty());
    h.RegisterJetway(j);
    EXPECT_TRUE(h.IsRegistered(42));
    EXPECT_FALSE(h.IsEmpty());

    h.AddPendingDoor(42);
    h.AddPendingDoor(7);
    h.AddPendingDoor(42);
    h.UnregisterJetway(42);
    EXPECT_FALSE(h.IsRegistered(42));
    EXPECT_TRUE(h.IsEmpty());
    // Only the first occurrence leaves the queued doors; the pending doors are not touched.
    EXPECT_EQ(h.GetQueuedDoors(), (std::vector<uint32_t>{7, 42}));
    EXPECT_EQ(h.GetPendingDoors(), (std::vector<uint32_t>{42, 7, 42}));
}

TEST(JetwayHandlerJobs, IdZeroNeverEntersAnyRegistry)
{
    JetwayHandler h;
    Jetway j;  // record id 0
    h.RegisterJetway(j);
    EXPECT_TRUE(h.IsEmpty());
    EXPECT_FALSE(h.IsRegistered(0));
    EXPECT_FALSE(h.AddActive(0));
    EXPECT_FALSE(h.IsActive(0));
    h.AddMoving(0);
    EXPECT_EQ(h.GetMovingCount(), 0u);
    h.AddPendingDoor(0);
    EXPECT_EQ(h.GetPendingDoorCount(), 0u);
    EXPECT_FALSE(h.HasQueued());
    EXPECT_FALSE(h.AddExternalJetway(MakeJetway({.id = 0})));
    EXPECT_EQ(h.GetExternalJetwayCount(), 0u);
    EXPECT_TRUE(h.GetExternalStandIndex().empty());
    EXPECT_EQ(h.FindJetway(0), nullptr);
}

TEST(JetwayHandlerJobs, ActiveSetAndMovingList)
{
    JetwayHandler h;
    EXPECT_TRUE(h.AddActive(5));
    EXPECT_FALSE(h.AddActive(5));
    EXPECT_TRUE(h.IsActive(5));
    EXPECT_EQ(h.EraseActive(5), 1u);
    EXPECT_EQ(h.EraseActive(5), 0u);
    EXPECT_EQ(h.EraseActive(999), 0u);

    h.AddMoving(3);
    h.AddMoving(3);
    h.AddMoving(4);
    EXPECT_EQ(h.GetMovingCount(), 2u);
    EXPECT_TRUE(h.IsMovingId(3));
    EXPECT_TRUE(h.RemoveMoving(3));
    EXPECT_FALSE(h.RemoveMoving(3));
    EXPECT_FALSE(h.IsMovingId(3));
    EXPECT_EQ(h.GetMovingCount(), 1u);
}

// ---- Reports awaited --------------------------------------------------------------------------------

TEST(JetwayHandlerReports, RecordsAreMatchedFirstInFirstOut)
{
    JetwayHandler h;
    EXPECT_EQ(h.FrontAwaitingReport(), 0u);
    for (uint32_t id : {11u, 22u, 11u, 33u}) h.PushAwaitingReport(id);

    std::vector<uint32_t> matched;
    while (h.GetAwaitingReportCount() > 0) {
        const uint32_t id = h.FrontAwaitingReport();
        h.RemoveAwaitingReport(id);
        matched.push_back(id);
    }
    EXPECT_EQ(matched, (std::vector<uint32_t>{11, 22, 11, 33}));
    EXPECT_EQ(h.FrontAwaitingReport(), 0u);
    h.RemoveAwaitingReport(11);  // nothing to remove: no effect
    EXPECT_EQ(h.GetAwaitingReportCount(), 0u);
}

TEST(JetwayHandlerReports, ARefusedRequestTakesBackOnlyItsOwnEntry)
{
    JetwayHandler h;
    h.PushAwaitingReport(5);
    h.PushAwaitingReport(7);
    h.PushAwaitingReport(5);  // a second report of 5 whose result could not be requested
    h.WithdrawAwaitingReport(5);
    // The report requested first for 5 still answers the first record.
    EXPECT_EQ(h.FrontAwaitingReport(), 5u);
    h.RemoveAwaitingReport(5);
    EXPECT_EQ(h.FrontAwaitingReport(), 7u);
    h.RemoveAwaitingReport(7);
    EXPECT_EQ(h.GetAwaitingReportCount(), 0u);
    h.WithdrawAwaitingReport(5);  // empty: no effect
}

TEST(JetwayHandlerReports, ReportsOfUnknownJetwaysKeepTheQueueInStep)
{
    JetwayHandler h;
    // A Done for a jetway never sent (and one with id 0) still stands for one requested record.
    h.PushAwaitingReport(0);
    h.PushAwaitingReport(77);
    EXPECT_EQ(h.GetAwaitingReportCount(), 2u);
    const uint32_t first = h.FrontAwaitingReport();
    h.RemoveAwaitingReport(first);
    h.UnregisterJetway(first);
    EXPECT_FALSE(h.RemoveMoving(first));
    EXPECT_EQ(h.EraseActive(first), 0u);
    EXPECT_EQ(h.FrontAwaitingReport(), 77u);
}

// ---- Pending doors ------------------------------------------------------------------------------------

TEST(JetwayHandlerDoors, PendingDoorsKeepTheirOrder)
{
    JetwayHandler h;
    EXPECT_EQ(h.FrontPendingDoor(), 0u);
    h.AddPendingDoor(10);
    h.AddPendingDoor(20);
    h.AddPendingDoor(30);
    EXPECT_EQ(h.FrontPendingDoor(), 10u);
    EXPECT_EQ(h.GetPendingDoorCount(), 3u);

    h.SwapFirstPendingDoors();
    EXPECT_EQ(h.GetPendingDoors(), (std::vector<uint32_t>{20, 10, 30}));
    EXPECT_EQ(h.GetQueuedDoors(), (std::vector<uint32_t>{20, 10, 30}));

    bool empty = true;
    EXPECT_TRUE(h.RemovePendingEx(20, &empty));
    EXPECT_FALSE(empty);
    EXPECT_EQ(h.FrontPendingDoor(), 10u);
    EXPECT_TRUE(h.HasQueued());  // the queued doors wait for the results
    h.RemovePending(10);
    EXPECT_TRUE(h.RemovePendingEx(30, &empty));
    EXPECT_TRUE(empty);
    EXPECT_EQ(h.GetPendingDoorCount(), 0u);
    EXPECT_EQ(h.GetQueuedDoorCount(), 3u);

    h.ClearPendingDoors();
    EXPECT_FALSE(h.HasQueued());
}

TEST(JetwayHandlerDoors, RemovingAnIdThatIsNotPendingReportsEmpty)
{
    JetwayHandler h;
    h.AddPendingDoor(1);
    h.AddPendingDoor(2);
    bool empty = false;
    EXPECT_FALSE(h.RemovePendingEx(99, &empty));
    EXPECT_TRUE(empty);
    EXPECT_EQ(h.GetPendingDoorCount(), 2u);
    EXPECT_FALSE(h.RemovePendingEx(99, nullptr));
}

TEST(JetwayHandlerDoors, SwapNeedsTwoQueuedAndTwoPending)
{
    JetwayHandler h;
    h.AddPendingDoor(1);
    h.AddPendingDoor(2);
    h.UnregisterJetway(1);  // one queued door left, two pending
    h.SwapFirstPendingDoors();
    EXPECT_EQ(h.GetPendingDoors(), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(h.GetQueuedDoors(), (std::vector<uint32_t>{2}));
}

TEST(JetwayHandlerDoors, DoorNumbers)
{
    const struct {
        const char* name;
        int32_t number;
    } cases[] = {{"", -1}, {"1L", 1}, {"2R", 2}, {"1L Upper", 11}, {"12L", 12}, {"L", 0}};
    for (const auto& c : cases) EXPECT_EQ(JetwayHandler::DoorNumber(c.name), c.number) << c.name;
}

// ---- Stand list ---------------------------------------------------------------------------------------

TEST(JetwayHandlerStands, StandInfoCountsEveryJetwayAndDescribesFour)
{
    Scene s;
    s.Build({{.id = 5, .multiIndex = 3},
             {.id = 6, .multiIndex = 1},
             {.id = 7, .multiIndex = 5},
             {.id = 8, .multiIndex = 2},
             {.id = 9, .multiIndex = 4},
             {.id = 10, .gate = "GATE_B", .multiIndex = 1}});
    const StandJetwayInfo info = s.handler.GetStandJetwayInfo("LSZH", "gate a", 1);  // readers normalise
    EXPECT_EQ(info.count, 5u);  // every jetway of the stand counts; four are described
    EXPECT_EQ(info.Entries(), 4u);
    EXPECT_EQ(std::vector<uint32_t>(info.objectIds, info.objectIds + 4), (std::vector<uint32_t>{6, 8, 5, 9}));
    EXPECT_EQ(std::vector<int32_t>(info.multiIndices, info.multiIndices + 4), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(info.names[0][0], '\0');
    EXPECT_EQ(info.distances[0], 0.0);

    EXPECT_EQ(s.handler.GetStandJetways("LSZH", "GATE_A", 1, true).size(), 5u);
    EXPECT_EQ(s.handler.GetStandJetwayInfo("LSZH", "GATE_A", 2).count, 0u);
    EXPECT_EQ(s.handler.GetStandJetwayInfo("EGLL", "GATE_A", 1).count, 0u);
    EXPECT_TRUE(s.handler.GetStandJetways("LSZH", "GATE_A", 9, true).empty());
}

TEST(JetwayHandlerStands, SameNameAtAStandReplacesTheEntry)
{
    Scene s;
    s.Build({{.id = 1, .name = "LSZH:JW_A"}, {.id = 2, .name = "LSZH:JW_B"}, {.id = 3, .name = "OTHER:JW_A"}});
    const auto list = s.handler.GetStandJetways("LSZH", "GATE_A", 1, true);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->GetObjectId(), 3u);  // took the place of 1
    EXPECT_EQ(list[1]->GetObjectId(), 2u);
}

TEST(JetwayHandlerStands, GateNoneNeverEntersButLowerCaseDoes)
{
    Scene s;
    s.Build({{.id = 1, .gate = "NONE"}, {.id = 2, .gate = "none"}});
    EXPECT_EQ(s.handler.GetStandList().count("LSZH:NONE"), 0u);
    EXPECT_EQ(s.handler.GetStandList().count("LSZH:none"), 1u);

    s.handler.AddExternalJetway(MakeJetway({.id = 50, .gate = "NONE"}));
    s.handler.AddExternalJetway(MakeJetway({.id = 51, .gate = "none"}));
    EXPECT_EQ(s.handler.GetExternalStandIndex().count("LSZH:NONE"), 0u);
    EXPECT_EQ(s.handler.GetExternalStandIndex().count("LSZH:none"), 1u);
    EXPECT_EQ(s.handler.GetExternalJetwayCount(), 2u);  // stored whatever its stand
}

TEST(JetwayHandlerStands, NullAndUncreatedObjectsAreNotEntered)
{
    JetwayHandler h;
    h.AddStandJetway(nullptr);
    SimObject uncreated = MakeJetway({.id = 0});
    h.AddStandJetway(&uncreated);
    EXPECT_TRUE(h.GetStandList().empty());
}

TEST(JetwayHandlerStands, AirportListingInKeyAndNumberOrderWithinCapacity)
{
    Scene s;
    s.Build({{.id = 1, .gate = "PARKING", .number = 7},
             {.id = 2, .gate = "PARKING", .number = 3},
             {.id = 3, .gate = "PARKING", .number = 3, .multiIndex = 2},
             {.id = 4, .gate = "GATE_A", .number = 12},
             {.id = 5, .icao = "LSZHX", .gate = "PARKING", .number = 1},
             {.id = 6, .icao = "EDDF", .gate = "PARKING", .number = 1}});
    StandListEntry entries[8];
    uint32_t count = 99;
    s.handler.ListAirportStands("LSZH", entries, 8, &count);
    ASSERT_EQ(count, 3u);
    const uint32_t gateA = static_cast<uint32_t>(ParseStandCategory("GATE_A"));
    const uint32_t parking = static_cast<uint32_t>(ParseStandCategory("PARKING"));
    EXPECT_NE(gateA, 0u);
    EXPECT_EQ(entries[0].category, gateA);
    EXPECT_EQ(entries[0].number, 12u);
    EXPECT_EQ(entries[1].category, parking);
    EXPECT_EQ(entries[1].number, 3u);
    EXPECT_EQ(entries[1].jetwayCount, 2u);
    EXPECT_EQ(entries[2].number, 7u);

    StandListEntry two[2];
    s.handler.ListAirportStands("LSZH", two, 2, &count);
    EXPECT_EQ(count, 2u);
    s.handler.ListAirportStands("LSZH", nullptr, 8, &count);
    EXPECT_EQ(count, 0u);
    s.handler.ListAirportStands("LSZH", entries, 8, nullptr);  // nowhere to count: nothing written
}

TEST(JetwayHandlerStands, AirportListingNeverExceedsFiveHundredTwelveEntries)
{
    JetwayHandler h;
    std::vector<SimObject> objects;
    objects.reserve(600);
    for (int32_t n = 1; n <= 600; ++n) objects.push_back(MakeJetway({.id = static_cast<uint32_t>(n), .number = n}));
    for (SimObject& o : objects) h.AddStandJetway(&o);
    std::vector<StandListEntry> entries(600);
    uint32_t count = 0;
    h.ListAirportStands("LSZH", entries.data(), 600, &count);
    EXPECT_EQ(count, JetwayHandler::kMaxStandEntries);
}

TEST(JetwayHandlerStands, ExternalJetways)
{
    JetwayHandler h;
    EXPECT_TRUE(h.AddExternalJetway(MakeJetway({.id = 30, .name = "X:first"})));
    EXPECT_FALSE(h.AddExternalJetway(MakeJetway({.id = 30, .name = "X:second"})));
    EXPECT_TRUE(h.AddExternalJetway(MakeJetway({.id = 20})));
    ASSERT_NE(h.FindJetway(30), nullptr);
    EXPECT_EQ(h.FindJetway(30)->GetName(), "X:first");  // the existing entry is kept
    EXPECT_EQ(h.ListExternalJetwayIds(), (std::vector<uint32_t>{20, 30}));
    EXPECT_EQ(h.GetExternalStandIndex().at("LSZH:GATE_A").at(1), (std::vector<uint32_t>{30, 20}));

    EXPECT_EQ(h.RemoveExternalJetway(30), 1u);
    EXPECT_EQ(h.RemoveExternalJetway(30), 0u);
    EXPECT_EQ(h.RemoveExternalJetway(0), 0u);
    EXPECT_EQ(h.FindJetway(30), nullptr);
    EXPECT_EQ(h.GetExternalStandIndex().at("LSZH:GATE_A").at(1), (std::vector<uint32_t>{20}));
    h.RemoveExternalJetway(20);
    EXPECT_TRUE(h.GetExternalStandIndex().empty());
}

TEST(JetwayHandlerStands, RemovingAnExternalJetwayEndsItsJob)
{
    JetwayHandler h;
    h.AddExternalJetway(MakeJetway({.id = 40}));
    Jetway& jetway = *h.FindJetway(40)->GetCurrentModel()->GetJetway();
    jetway.GetJetwayData()->JetwayObjectId = 40;
    h.RegisterJetway(jetway);
    ASSERT_TRUE(h.IsRegistered(40));
    EXPECT_EQ(h.RemoveExternalJetway(40), 1u);
    EXPECT_FALSE(h.IsRegistered(40));
    h.ResetAllJetways();  // must not reach the removed jetway
}

// ---- Candidates near a position -----------------------------------------------------------------------

SimObject AtBearing(uint32_t id, double bearingDeg, double distance, double headingDeg = 0, int32_t multi = 0)
{
    double lat = 0, lon = 0;
    GeoMath::OffsetLatLon(kLat, kLon, bearingDeg, distance, lat, lon);
    return MakeJetway({.id = id, .multiIndex = multi, .latitude = lat, .longitude = lon, .headingDeg = headingDeg});
}

TEST(JetwayHandlerNear, CandidateFilters)
{
    const struct {
        const char* what;
        double bearingDeg;
        double distance;
        double jetwayHeadingDeg;
        bool kept;
    } cases[] = {
        {"ahead-left", 300, 40, 0, true},
        {"just inside 60 m", 300, 59.9, 0, true},
        {"beyond 60 m", 300, 60.1, 0, false},
        {"just past 240 degrees", 240.2, 30, 0, true},
        {"just before 240 degrees", 239.8, 30, 0, false},
        {"right side", 60, 30, 0, false},
        {"behind", 180, 30, 0, false},
        {"beyond 359.5 degrees", 359.7, 30, 0, false},
        {"nearly ahead, facing", 355, 30, 45, true},
        {"nearly ahead, just inside -5 degrees", 355, 30, -4.5, true},
        {"nearly ahead, turned away", 355, 30, 180, false},
        {"nearly ahead, beyond +90 degrees", 355, 30, 95, false},
    };
    for (const auto& c : cases) {
        Scene s;
        s.active.Add(AtBearing(1, c.bearingDeg, c.distance, c.jetwayHeadingDeg));
        s.active.GetNearbyCandidates().push_back({{0}, -1.0});
        const auto found = s.handler.FindJetwaysNear(s.active, kLat, kLon, 0.0, false);
        EXPECT_EQ(found.size(), c.kept ? 1u : 0u) << c.what;
    }
}

TEST(JetwayHandlerNear, SkipsMovingHiddenAndNonJetwayObjectsAndBadIndices)
{
    Scene s;
    s.active.Add(AtBearing(1, 300, 30));
    s.active.Add(AtBearing(2, 300, 30));
    s.active.Add(AtBearing(3, 300, 30));
    s.active.Add(AtBearing(4, 300, 30));
    RecordOf(*s.active.At(0)).Moving = true;
    s.active.At(1)->SetInSimulation(false);
    SimObject plain;
    plain.SetObjectId(9);
    plain.AddModel("not a jetway");
    s.active.Add(plain);
    s.active.GetNearbyCandidates() = {{{0}, -1}, {{1}, -1}, {{2}, -1}, {{4}, -1}, {{99}, -1}, {{}, -1}, {{-5}, -1}};
    const auto found = s.handler.FindJetwaysNear(s.active, kLat, kLon, 0.0, false);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->GetObjectId(), 3u);
}

TEST(JetwayHandlerNear, SortsByDistanceOrMultiIndexAndStoresBoth)
{
    Scene s;
    s.active.Add(AtBearing(1, 300, 50, 0, 1));
    s.active.Add(AtBearing(2, 280, 20, 0, 3));
    s.active.Add(AtBearing(3, 320, 35, 0, 2));
    for (int32_t i = 0; i < 3; ++i) s.active.GetNearbyCandidates().push_back({{i}, -1.0});

    auto byDistance = s.handler.FindJetwaysNear(s.active, kLat, kLon, 0.0, false);
    ASSERT_EQ(byDistance.size(), 3u);
    EXPECT_EQ(byDistance[0]->GetObjectId(), 2u);
    EXPECT_EQ(byDistance[1]->GetObjectId(), 3u);
    EXPECT_EQ(byDistance[2]->GetObjectId(), 1u);
    EXPECT_NEAR(byDistance[0]->GetSortValue1(), 20.0, 0.2);
    EXPECT_NEAR(byDistance[0]->GetSortValue2(), GeoMath::DegToRad(280), 0.01);

    auto byIndex = s.handler.FindJetwaysNear(s.active, kLat, kLon, 0.0, true);
    ASSERT_EQ(byIndex.size(), 3u);
    EXPECT_EQ(byIndex[0]->GetObjectId(), 1u);
    EXPECT_EQ(byIndex[1]->GetObjectId(), 3u);
    EXPECT_EQ(byIndex[2]->GetObjectId(), 2u);

    // The stand lookup sorts by what the search stored.
    for (int32_t i = 0; i < 3; ++i) {
        SimObject* o = s.active.At(i);
        o->GetStandData().Set("LSZH", "GATE_A", 4, "", "", false);
        s.handler.AddStandJetway(o);
    }
    const auto stand = s.handler.GetStandJetways("LSZH", "GATE_A", 4, false);
    ASSERT_EQ(stand.size(), 3u);
    EXPECT_EQ(stand[0]->GetObjectId(), 2u);
    EXPECT_EQ(stand[2]->GetObjectId(), 1u);
}

// ---- Stand query --------------------------------------------------------------------------------------

TEST(JetwayHandlerQuery, KnownStandInListOrderWithStates)
{
    Scene s;
    const std::string longName = "LSZH:" + std::string(80, 'N');
    s.active.Add(AtBearing(1, 300, 30, 0, 2));
    s.active.Add(AtBearing(2, 90, 40, 0, 1));  // behind or right does not matter at a known stand
    s.active.At(1)->SetName(longName);
    RecordOf(*s.active.At(0)).Docked = true;
    RecordOf(*s.active.At(0)).JetwayType = kJetwayTypeT;
    RecordOf(*s.active.At(0)).RootFloorHeight = 3.5;
    RecordOf(*s.active.At(1)).Moving = true;
    for (int32_t i = 0; i < 2; ++i) s.handler.AddStandJetway(s.active.At(i));

    StandJetwayInfo info;
    StandJetwayStatus status;
    info.count = 77;
    status.reserved[3] = 9;
    s.handler.QueryStandJetways("LSZH", "gate_a", 1, kLat, kLon, 0.0, s.active, info, status);
    ASSERT_EQ(info.count, 2u);
    EXPECT_EQ(info.objectIds[0], 1u);  // list order, not MultiIndex order
    EXPECT_EQ(info.objectIds[1], 2u);
    EXPECT_EQ(info.multiIndices[0], 2);
    EXPECT_NEAR(info.distances[1], 40.0, 0.2);
    EXPECT_NEAR(info.bearings[1], GeoMath::DegToRad(90), 0.01);
    EXPECT_NEAR(s.active.At(1)->GetSortValue1(), 40.0, 0.2);
    EXPECT_STREQ(info.names[0], "JW1");
    EXPECT_EQ(std::strlen(info.names[1]), 63u);
    EXPECT_EQ(status.types[0], static_cast<uint32_t>(kJetwayTypeT));
    EXPECT_EQ(status.rootFloorHeights[0], 3.5);
    EXPECT_EQ(status.states[0], StandJetwayStatus::kStateDocked);
    EXPECT_EQ(status.states[1], StandJetwayStatus::kStateMovingUndocked);
    EXPECT_EQ(status.states[2], StandJetwayStatus::kStateEmpty);
    EXPECT_EQ(status.states[3], StandJetwayStatus::kStateEmpty);
    EXPECT_EQ(status.reserved[3], 0);
}

TEST(JetwayHandlerQuery, StandWithMoreThanFourJetwaysCountsThemAll)
{
    Scene s;
    s.Build({{.id = 1}, {.id = 2}, {.id = 3}, {.id = 4}, {.id = 5}, {.id = 6}});
    RecordOf(s.Object(6)).Docked = true;  // beyond the entries: described nowhere
    StandJetwayInfo info;
    StandJetwayStatus status;
    s.handler.QueryStandJetways("LSZH", "GATE_A", 1, kLat, kLon, 0.0, s.active, info, status);
    EXPECT_EQ(info.count, 6u);
    EXPECT_EQ(std::vector<uint32_t>(info.objectIds, info.objectIds + 4), (std::vector<uint32_t>{1, 2, 3, 4}));
    for (int32_t state : status.states) EXPECT_EQ(state, StandJetwayStatus::kStateUndocked);
}

TEST(JetwayHandlerQuery, StateCodes)
{
    const struct {
        bool moving, docked;
        int32_t state;
    } cases[] = {{false, true, 3}, {false, false, 5}, {true, true, 4}, {true, false, 2}};
    for (const auto& c : cases) {
        Scene s;
        s.Build({{.id = 1}});
        RecordOf(s.Object(1)).Moving = c.moving;
        RecordOf(s.Object(1)).Docked = c.docked;
        StandJetwayInfo info;
        StandJetwayStatus status;
        s.handler.QueryStandJetways("LSZH", "GATE_A", 1, kLat, kLon, 0.0, s.active, info, status);
        EXPECT_EQ(status.states[0], c.state) << c.moving << c.docked;
    }
}

TEST(JetwayHandlerQuery, UnknownStandFallsBackToNearestJetways)
{
    Scene s;
    for (uint32_t i = 1; i <= 5; ++i) s.active.Add(AtBearing(i, 300, 10.0 * i));
    for (int32_t i = 0; i < 5; ++i) s.active.GetNearbyCandidates().push_back({{i}, -1.0});
    StandJetwayInfo info;
    StandJetwayStatus status;
    s.handler.QueryStandJetways("LSZH", "GATE_Z", 3, kLat, kLon, 0.0, s.active, info, status);
    EXPECT_EQ(info.count, 5u);
    EXPECT_EQ(info.Entries(), 4u);
    EXPECT_EQ(std::vector<uint32_t>(info.objectIds, info.objectIds + 4), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_NEAR(info.distances[0], 10.0, 0.1);
    EXPECT_STREQ(info.names[3], "JW4");
}

// Jetways found near the position of a stand the handler does not know are described like a stand's:
// each chosen slot with its jetway's type and state, every slot past them empty; no slot answers 0.
TEST(JetwayHandlerQuery, UnknownStandDescribesEverySlot)
{
    constexpr int32_t kEmpty = StandJetwayStatus::kStateEmpty;
    const struct {
        const char* what;
        uint32_t nearby;  // at rest (the search passes over moving ones), the first docked
        std::array<int32_t, 4> states;
    } cases[] = {
        {"none near", 0, {kEmpty, kEmpty, kEmpty, kEmpty}},
        {"two near", 2, {StandJetwayStatus::kStateDocked, StandJetwayStatus::kStateUndocked, kEmpty, kEmpty}},
        {"five near", 5,
         {StandJetwayStatus::kStateDocked, StandJetwayStatus::kStateUndocked, StandJetwayStatus::kStateUndocked,
          StandJetwayStatus::kStateUndocked}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        for (uint32_t i = 1; i <= c.nearby; ++i) {
            s.active.Add(AtBearing(i, 300, 10.0 * i));
            RecordOf(*s.active.At(static_cast<int32_t>(i - 1))).JetwayType = kJetwayTypeT;
            s.active.GetNearbyCandidates().push_back({{static_cast<int32_t>(i - 1)}, -1.0});
        }
        if (c.nearby > 0) {
            RecordOf(*s.active.At(0)).Docked = true;
            RecordOf(*s.active.At(0)).RootFloorHeight = 4.25;
        }
        StandJetwayStatus status;
        StandJetwayInfo info;
        s.handler.QueryStandJetways("LSZH", "GATE_Z", 3, kLat, kLon, 0.0, s.active, info, status);
        EXPECT_EQ(std::vector<int32_t>(status.states, status.states + 4),
                  std::vector<int32_t>(c.states.begin(), c.states.end()));
        for (uint32_t i = 0; i < info.Entries(); ++i) EXPECT_EQ(status.types[i], static_cast<uint32_t>(kJetwayTypeT));
        if (c.nearby > 0) EXPECT_EQ(status.rootFloorHeights[0], 4.25);
    }
}

// ---- Pairing doors with the stand's jetways ------------------------------------------------------------

TEST(JetwayHandlerMatch, DoorsToStandJetways)
{
    const struct {
        const char* what;
        std::vector<int32_t> multiIndices;  // jetway ids are 101, 102, ... in this order
        std::vector<ExitSpec> exits;
        std::map<uint32_t, std::string> pairs;
        uint32_t first;
    } cases[] = {
        {"one jetway takes door 2", {0}, {{1, false, 10}, {2, false, 5}}, {{101, "2L"}}, 0},
        {"one jetway without door 2 takes 1L", {0}, {{1, false, 10}, {3, false, 2}}, {{101, "1L"}}, 0},
        {"1L even when the aircraft has no such door", {0}, {{3, false, 2}}, {{101, "1L"}}, 0},
        {"one jetway, no exits", {0}, {}, {}, 0},
        {"upper deck door goes to MultiIndex 3", {1, 3}, {{1, false, 10}, {1, true, 9}},
         {{101, "1L"}, {102, "1L Upper"}}, 101},
        {"a single exit counts as door 2", {1, 2}, {{1, false, 10}}, {{102, "1L"}}, 101},
        {"a single exit and no MultiIndex 2", {1, 3}, {{1, false, 10}}, {}, 101},
        {"the later exit of the same jetway wins", {1, 3}, {{1, true, 9}, {3, false, 5}}, {{102, "3L"}}, 101},
        {"first of equal MultiIndex", {2, 2}, {{1, false, 10}, {2, false, 5}}, {{101, "2L"}}, 101},
        {"no exits at a stand of two", {1, 2}, {}, {}, 101},
        {"only the first four jetways", {1, 2, 3, 4, 5},
         {{1, false, 50}, {2, false, 40}, {3, false, 30}, {4, false, 20}, {5, false, 10}},
         {{101, "1L"}, {102, "2L"}, {103, "3L"}, {104, "4L"}}, 101},
    };
    for (const auto& c : cases) {
        Scene s;
        std::vector<JetwaySpec> specs;
        for (std::size_t i = 0; i < c.multiIndices.size(); ++i)
            specs.push_back({.id = static_cast<uint32_t>(101 + i), .multiIndex = c.multiIndices[i]});
        s.Build(specs);
        const UserAircraft aircraft = Aircraft(c.exits);
        uint32_t first = 999;
        EXPECT_EQ(s.handler.MatchDoorsToStandJetways(Stand(), aircraft, &first), c.pairs) << c.what;
        EXPECT_EQ(first, c.first) << c.what;
    }
}

TEST(JetwayHandlerMatch, UnsetOrUnknownStandPairsNothing)
{
    Scene s;
    s.Build({{.id = 1, .multiIndex = 1}, {.id = 2, .multiIndex = 2}});
    const UserAircraft aircraft = Aircraft({{1, false, 10}, {2, false, 5}});
    uint32_t first = 999;
    EXPECT_TRUE(s.handler.MatchDoorsToStandJetways(StandData(), aircraft, &first).empty());
    EXPECT_EQ(first, 0u);
    EXPECT_TRUE(s.handler.MatchDoorsToStandJetways(Stand("GATE_A", 0), aircraft, &first).empty());
    EXPECT_TRUE(s.handler.MatchDoorsToStandJetways(Stand("GATE_Q", 1), aircraft, &first).empty());
    EXPECT_EQ(s.handler.MatchDoorsToStandJetways(Stand(), aircraft, nullptr).size(), 2u);
}

TEST(JetwayHandlerMatch, DoorJetwaysRearmostFirst)
{
    UserAircraft aircraft = Aircraft({{1, false, 10}, {2, false, 5}, {3, false, 1}, {1, true, 9}});
    aircraft.AssignJetwayToExit("1L", 11);
    aircraft.AssignJetwayToExit("2L", 22);
    aircraft.AssignJetwayToExit("1L Upper", 0);  // identifies no jetway
    JetwayHandler h;
    EXPECT_EQ(h.ListDoorJetways(Stand(), aircraft), (std::vector<uint32_t>{22, 11}));
    EXPECT_TRUE(h.ListDoorJetways(StandData(), aircraft).empty());
    EXPECT_TRUE(h.ListDoorJetways(Stand(), UserAircraft()).empty());
}

// ---- Crossing test ------------------------------------------------------------------------------------

// Two jetways at one base, a along north-south, b across it.
struct CrossScene {
    Scene s;
    CrossScene(double bHeadingDeg, double bEastMetres)
    {
        double lat = 0, lon = 0;
        GeoMath::OffsetLatLon(kLat, kLon, 90, bEastMetres, lat, lon);
        s.Build({{.id = 1, .multiIndex = 1, .headingDeg = 0},
                 {.id = 2, .multiIndex = 2, .latitude = lat, .longitude = lon, .headingDeg = bHeadingDeg}});
        JetwayData& a = RecordOf(s.Object(1));
        a.SavedPose.extension = 15;
        a.RootBridgeOffset = 5;
        a.HoodWidth = 3;
        JetwayData& b = RecordOf(s.Object(2));
        b.TargetExtension = 15;
        b.RootBridgeOffset = 5;
        b.HoodWidth = 3;
    }
};

TEST(JetwayHandlerCross, PathsCrossing)
{
    const struct {
        const char* what;
        double bHeadingDeg;
        double bEastMetres;
        bool cross;
    } cases[] = {
        {"across, turned so that they meet", 270, 0, true},
        {"across, the other way round", 90, 0, false},
        {"parallel", 0, 10, false},
        // Lines that meet far outside both paths are no crossing.
        {"far apart", 270, 200, false},
    };
    for (const auto& c : cases) {
        CrossScene scene(c.bHeadingDeg, c.bEastMetres);
        EXPECT_EQ(scene.s.handler.JetwayPathsCross(&scene.s.Object(1), &scene.s.Object(2)), c.cross) << c.what;
        EXPECT_EQ(scene.s.handler.StandJetwaysCross(Stand(), scene.s.active), c.cross) << c.what;
    }
}

// The primary jetway of a one-door aircraft can be the jetway at its door: its parked path and the path
// of its job, turned a quarter round, would meet as two jetways' paths do.
TEST(JetwayHandlerCross, AJetwayNeverCrossesItself)
{
    CrossScene scene(270, 0);
    JetwayData& a = RecordOf(scene.s.Object(1));
    a.TargetExtension = 15;
    a.TargetRootRotation = units::kPi / 2;
    EXPECT_FALSE(scene.s.handler.JetwayPathsCross(&scene.s.Object(1), &scene.s.Object(1)));
}

TEST(JetwayHandlerCross, MissingJetwaysNeverCross)
{
    CrossScene scene(270, 0);
    EXPECT_FALSE(scene.s.handler.JetwayPathsCross(nullptr, &scene.s.Object(2)));
    EXPECT_FALSE(scene.s.handler.JetwayPathsCross(&scene.s.Object(1), nullptr));
    EXPECT_FALSE(scene.s.handler.StandJetwaysCross(StandData(), scene.s.active));
    SimObjectList empty;  // the stand's jetways are not in this list
    EXPECT_FALSE(scene.s.handler.StandJetwaysCross(Stand(), empty));

    Scene single;
    single.Build({{.id = 1}});
    EXPECT_FALSE(single.handler.StandJetwaysCross(Stand(), single.active));
}

// ---- Reset --------------------------------------------------------------------------------------------

TEST(JetwayHandlerReset, ResetAllJetwaysKeepsOnlyTheExternalJetways)
{
    Scene s;
    s.Build({{.id = 1}});
    Jetway job;
    job.GetJetwayData()->JetwayObjectId = 1;
    job.SetMoving(true);
    job.SetPhase(3);  // a job under way whose motion was never started: stopping it must be harmless
    s.handler.RegisterJetway(job);
    s.handler.AddActive(1);
    s.handler.AddPendingDoor(1);
    s.handler.AddMoving(1);
    s.handler.PushAwaitingReport(1);
    s.handler.AddExternalJetway(MakeJetway({.id = 60}));

    s.handler.ResetAllJetways();
    EXPECT_TRUE(s.handler.IsEmpty());
    EXPECT_FALSE(s.handler.IsActive(1));
    EXPECT_TRUE(s.handler.GetStandList().empty());
    EXPECT_EQ(s.handler.GetPendingDoorCount(), 0u);
    EXPECT_FALSE(s.handler.HasQueued());
    EXPECT_EQ(s.handler.GetMovingCount(), 0u);
    EXPECT_EQ(s.handler.GetAwaitingReportCount(), 0u);
    EXPECT_FALSE(job.HasLiveTimer());
    EXPECT_NE(s.handler.FindJetway(60), nullptr);
    EXPECT_EQ(s.handler.GetExternalStandIndex().size(), 1u);

    s.handler.AddStandJetway(&s.Object(1));
    s.handler.Reset();
    EXPECT_TRUE(s.handler.GetStandList().empty());
    EXPECT_NE(s.handler.FindJetway(60), nullptr);
}

}  // namespace
