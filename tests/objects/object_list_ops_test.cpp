// The object list: lookups (id 0 never found, first match wins, exact names), counters, emptying between
// filtering passes, sorting by group and by distance, objects that keep their address while the list
// grows, and that nothing of a list keeps running timers when its objects are dropped or reordered.
#include "objects/SimObjectList.h"

#include "foundation/GeoMath.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

SimObject Named(const std::string& name, uint32_t requestId = 0, uint32_t objectId = 0, int32_t group = -1)
{
    SimObject o;
    o.SetName(name);
    o.SetRequestId(requestId);
    o.SetObjectId(objectId);
    o.SetGroupIndex(group);
    return o;
}

std::vector<std::string> Names(SimObjectList& list)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < list.Count(); ++i) names.push_back(list.At(i)->GetName());
    return names;
}

TEST(SimObjectList, ConstructionAndAt)
{
    SimObjectList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetRequestIdBase(), 105);
    EXPECT_EQ(list.GetRequestedCount(), 0);
    EXPECT_EQ(list.GetCreatedCount(), 0);
    EXPECT_TRUE(list.AllRequestedCreated());

    list.Add(Named("a"));
    list.Add(Named("b"));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(1)->GetName(), "b");
    EXPECT_EQ(list.At(2), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);

    list.SetRequestIdBase(300);
    EXPECT_EQ(list.GetRequestIdBase(), 300);
}

TEST(SimObjectList, AddKeepsACopy)
{
    SimObjectList list;
    SimObject o = Named("original");
    list.Add(o);
    o.SetName("changed");
    EXPECT_EQ(list.At(0)->GetName(), "original");
}

// Handlers keep pointers to listed objects: an object stays where it was put however many follow it.
TEST(SimObjectList, ObjectsKeepTheirAddressWhileTheListGrows)
{
    SimObjectList list;
    std::vector<const SimObject*> seen;
    for (int i = 0; i < 10000; ++i) {
        list.Add(Named("o" + std::to_string(i), static_cast<uint32_t>(i + 1)));
        seen.push_back(list.At(i));
    }
    ASSERT_EQ(list.Count(), 10000);
    int moved = 0;
    for (int32_t i = 0; i < list.Count(); ++i) moved += list.At(i) == seen[static_cast<size_t>(i)] ? 0 : 1;
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(list.At(0)->GetName(), "o0");
    EXPECT_EQ(list.FindByRequestId(5000), seen[4999]);
}

// Reserving room never moves an object and never shrinks the list's room.
TEST(SimObjectList, ReserveKeepsAddressesAndContents)
{
    SimObjectList list;
    list.Add(Named("first"));
    const SimObject* first = list.At(0);
    for (int32_t count : {0, -5, 1, 5000, 10}) {
        list.Reserve(count);
        EXPECT_EQ(list.At(0), first) << count;
        EXPECT_EQ(list.Count(), 1) << count;
    }
    for (int i = 0; i < 6000; ++i) list.Add(Named("o" + std::to_string(i)));
    EXPECT_EQ(list.At(0), first);
    EXPECT_EQ(list.At(6000)->GetName(), "o5999");
}

// A list filled again after emptying (each bubble pass) takes its objects into the room the last fill
// used, instead of allocating every object anew; Reset gives the room back.
TEST(SimObjectList, AnEmptiedListRefillsTheSameRoom)
{
    SimObjectList list;
    std::set<const SimObject*> room;
    for (int i = 0; i < 3000; ++i) room.insert(&list.Add(Named("first " + std::to_string(i))));
    list.Empty();
    int outside = 0;
    for (int i = 0; i < 3000; ++i) {
        const SimObject& o = list.Add(Named("second " + std::to_string(i)));
        outside += room.count(&o) == 0 ? 1 : 0;
        EXPECT_EQ(o.GetName(), "second " + std::to_string(i));
    }
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(list.Count(), 3000);
    EXPECT_EQ(list.At(2999)->GetName(), "second 2999");

    // Moved-in objects take the same room, and a bigger fill grows it.
    list.Empty();
    for (int i = 0; i < 4000; ++i) list.Add(Named("third " + std::to_string(i)));
    EXPECT_EQ(list.Count(), 4000);
    EXPECT_EQ(list.At(3999)->GetName(), "third 3999");
    list.Reset();
    EXPECT_EQ(list.Count(), 0);
    list.Add(Named("after reset"));
    EXPECT_EQ(list.At(0)->GetName(), "after reset");
}

// A record filled again holds the new object alone: nothing of the object it held before shows through,
// whatever either carried.
TEST(SimObjectList, ARefilledRecordHoldsOnlyTheNewObject)
{
    SimObject rich = Named("rich", 7, 70, 3);
    rich.SetGroupName("group");
    rich.SetCreatedSimTitle("created");
    rich.SetStandData("LSZH", "GATE_A", 12, "A", "12", true);
    rich.SetSecondPlacement(1.0, 2.0, 3.0, false, false, 0.0, 0.0, 90.0);
    rich.AddModel("first").GetFeatures()->Set(3);
    rich.AddModel("second");
    rich.SetFeature(3);
    SimObject plain = Named("plain", 8);
    plain.AddModel("only");
    plain.ShareModels();

    SimObjectList list;
    const SimObject* record = &list.Add(rich);
    list.Empty();
    const SimObject& refilled = list.Add(plain);
    ASSERT_EQ(&refilled, record);
    EXPECT_EQ(refilled.GetName(), "plain");
    EXPECT_EQ(refilled.GetRequestId(), 8u);
    EXPECT_EQ(refilled.GetObjectId(), 0u);
    EXPECT_EQ(refilled.GetGroupIndex(), -1);
    EXPECT_EQ(refilled.GetGroupName(), "");
    EXPECT_EQ(refilled.GetCreatedSimTitle(), "");
    EXPECT_EQ(refilled.GetStandData().GetAirportIcao(), "NONE");
    EXPECT_DOUBLE_EQ(refilled.GetSecondHeading(), plain.GetSecondHeading());
    EXPECT_FALSE(refilled.HasObjectFeature(3));
    ASSERT_EQ(refilled.GetModelCount(), 1);
    EXPECT_EQ(refilled.GetModel(0)->GetSimTitle(), "only");
    EXPECT_TRUE(refilled.SharesModelsWith(plain));

    // And the other way round: a plain record filled with a rich object takes all of it.
    list.Empty();
    const SimObject& full = list.Add(rich);
    ASSERT_EQ(&full, record);
    EXPECT_EQ(full.GetGroupName(), "group");
    EXPECT_EQ(full.GetStandData().GetGateName(), "GATE_A");
    EXPECT_DOUBLE_EQ(full.GetSecondHeading(), 90.0);
    ASSERT_EQ(full.GetModelCount(), 2);
    EXPECT_FALSE(full.SharesModelsWith(plain));
}

#if defined(__SANITIZE_ADDRESS__)
// A pointer kept past Empty is reported when it is used, as a pointer to freed memory would be.
TEST(SimObjectListDeathTest, APointerKeptPastEmptyIsReportedUnderAddressSanitizer)
{
    SimObjectList list;
    const SimObject* kept = &list.Add(Named("gone"));
    list.Empty();
    EXPECT_DEATH((void)kept->GetRequestId(), "use-after-poison");
}
#endif

TEST(SimObjectList, SortingChangesIndicesButNotAddresses)
{
    SimObjectList list;
    list.Add(Named("g1", 0, 0, 1));
    list.Add(Named("none", 0, 0, -1));
    list.Add(Named("g0", 0, 0, 0));
    const SimObject* g1 = list.At(0);
    const SimObject* none = list.At(1);
    const SimObject* g0 = list.At(2);
    list.SortByGroupIndex();
    EXPECT_EQ(list.At(0), none);
    EXPECT_EQ(list.At(1), g0);
    EXPECT_EQ(list.At(2), g1);
}

class ListLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        list.Add(Named("EDDF:unnumbered"));                // request 0, object 0: not created
        list.Add(Named("EDDF:Sock", 105, 7001));
        list.Add(Named("EDDF:Jetway A1", 106, 7002));
        list.Add(Named("EDDF:Twin", 106, 7003));          // duplicate request id
        list.Add(Named("EDDF:Jetway A1", 108, 0xFFFFFFF0u));  // duplicate name, id above INT32_MAX
    }
    SimObjectList list;
};

TEST_F(ListLookupTest, IdZeroNeverIdentifiesAnObject)
{
    EXPECT_EQ(list.FindByObjectId(0), nullptr);
    EXPECT_EQ(list.FindByObjectId(0u), nullptr);
    EXPECT_EQ(list.FindByRequestId(0), nullptr);
}

TEST_F(ListLookupTest, FindReturnsTheFirstMatchInListOrder)
{
    struct Case {
        int32_t requestId;
        const char* name;  // nullptr: not found
    };
    const Case byRequest[] = {{105, "EDDF:Sock"}, {106, "EDDF:Jetway A1"}, {108, "EDDF:Jetway A1"},
                              {107, nullptr},     {-1, nullptr}};
    for (const Case& c : byRequest) {
        SimObject* found = list.FindByRequestId(c.requestId);
        if (!c.name) {
            EXPECT_EQ(found, nullptr) << c.requestId;
            continue;
        }
        ASSERT_NE(found, nullptr) << c.requestId;
        EXPECT_EQ(found->GetName(), c.name);
    }
    EXPECT_EQ(list.FindByRequestId(106), list.At(2));

    EXPECT_EQ(list.FindByObjectId(7003), list.At(3));
    EXPECT_EQ(list.FindByObjectId(0xFFFFFFF0u), list.At(4));
    EXPECT_EQ(list.FindByObjectId(static_cast<int32_t>(0xFFFFFFF0u)), list.At(4));
    EXPECT_EQ(list.FindByObjectId(7999), nullptr);
}

TEST_F(ListLookupTest, FindByNameIsExactAndCaseSensitive)
{
    EXPECT_EQ(list.FindByName("EDDF:Jetway A1"), list.At(2));
    for (const char* miss : {"eddf:jetway a1", "EDDF:Jetway A1 ", "Jetway A1", "EDDF:", ""}) {
        EXPECT_EQ(list.FindByName(miss), nullptr) << '"' << miss << '"';
    }
}

TEST(SimObjectList, Counters)
{
    SimObjectList list;
    list.DecrementCreatedCount();
    EXPECT_EQ(list.GetCreatedCount(), 0);  // never below 0

    list.IncrementRequestedCount();
    list.IncrementRequestedCount();
    list.IncrementCreatedCount();
    EXPECT_FALSE(list.AllRequestedCreated());
    list.IncrementCreatedCount();
    EXPECT_TRUE(list.AllRequestedCreated());
    list.DecrementCreatedCount();
    EXPECT_EQ(list.GetCreatedCount(), 1);

    list.ResetCreatedCount();
    list.ResetRequestedCount();
    EXPECT_EQ(list.GetCreatedCount(), 0);
    EXPECT_EQ(list.GetRequestedCount(), 0);
}

// What one filtering pass leaves in the active list.
void FillAsAPass(SimObjectList& list)
{
    for (int i = 0; i < 4; ++i) list.Add(Named("o" + std::to_string(i)));
    list.GetRotationIndices().push_back(0);
    list.GetAnimatedIndices().push_back(1);
    list.GetSeparationPlaneIndices().push_back(2);
    list.GetProximityIndices().push_back(1);
    list.GetGroundShiftIndices().push_back(3);
    list.GetJetwayIndices().push_back(2);
    list.GetNearbyCandidates().push_back({{2}, -1.0});
    list.GetRadioCandidates().push_back({{0, 1}, -1.0});
    list.IncrementRequestedCount();
    list.IncrementCreatedCount();
}

void ExpectEmptied(SimObjectList& list)
{
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.GetRotationIndices().empty());
    EXPECT_TRUE(list.GetAnimatedIndices().empty());
    EXPECT_TRUE(list.GetSeparationPlaneIndices().empty());
    EXPECT_TRUE(list.GetProximityIndices().empty());
    EXPECT_TRUE(list.GetGroundShiftIndices().empty());
    EXPECT_TRUE(list.GetJetwayIndices().empty());
    EXPECT_TRUE(list.GetNearbyCandidates().empty());
    EXPECT_TRUE(list.GetRadioCandidates().empty());
    EXPECT_EQ(list.GetNearbyCandidates().capacity(), 0u);  // storage released
    EXPECT_EQ(list.GetJetwayIndices().capacity(), 0u);
}

TEST(SimObjectList, EmptyKeepsTheCountersAndResetClearsThem)
{
    SimObjectList list;
    FillAsAPass(list);
    list.Empty();
    ExpectEmptied(list);
    EXPECT_EQ(list.GetRequestedCount(), 1);
    EXPECT_EQ(list.GetCreatedCount(), 1);

    // The next pass starts from scratch.
    FillAsAPass(list);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.GetJetwayIndices(), std::vector<int32_t>{2});
    list.Reset();
    ExpectEmptied(list);
    EXPECT_EQ(list.GetRequestedCount(), 0);
    EXPECT_EQ(list.GetCreatedCount(), 0);
}

TEST(SimObjectList, SortByGroupIndexPutsUngroupedFirstAndKeepsOrderWithinAGroup)
{
    SimObjectList list;
    list.Add(Named("g2-a", 0, 0, 2));
    list.Add(Named("none-a", 0, 0, -1));
    list.Add(Named("g0-a", 0, 0, 0));
    list.Add(Named("g2-b", 0, 0, 2));
    list.Add(Named("none-b", 0, 0, -1));
    list.Add(Named("g0-b", 0, 0, 0));
    list.SortByGroupIndex();
    EXPECT_EQ(Names(list), (std::vector<std::string>{"none-a", "none-b", "g0-a", "g0-b", "g2-a", "g2-b"}));

    SimObjectList empty;
    empty.SortByGroupIndex();
    EXPECT_EQ(empty.Count(), 0);
}

TEST(SimObjectList, SortByDistanceMeasuresTheFirstObjectOfEachRecord)
{
    SimObjectList list;
    const double lat = 50.0;
    const double lon = 8.0;
    ASSERT_TRUE(list.GetUserAircraft().SetFromSimData(
        std::vector<double>{lat, lon, 300.0, 0, 0, 0, 0, 0, 0, 0, 0}.data(), UserAircraft::kSimDataCount));

    const double offsets[] = {0.03, 0.01, 0.02, 0.001};
    for (int i = 0; i < 4; ++i) {
        SimObject o = Named("o" + std::to_string(i));
        o.SetPlacement(lat + offsets[i], lon, 0, false, false, 0, 0, 0);
        list.Add(o);
    }
    list.GetNearbyCandidates().push_back({{0}, -1.0});
    list.GetNearbyCandidates().push_back({{1, 0}, -1.0});   // a group measured by its first member
    list.GetNearbyCandidates().push_back({{99}, -1.0});     // stale index: last, never a crash
    list.GetNearbyCandidates().push_back({{}, -1.0});       // no index: last
    list.GetNearbyCandidates().push_back({{2}, -1.0});
    list.SortByDistance();

    const std::vector<CandidateRecord>& c = list.GetNearbyCandidates();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0].indices, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(c[1].indices, std::vector<int32_t>{2});
    EXPECT_EQ(c[2].indices, std::vector<int32_t>{0});
    EXPECT_NEAR(c[0].distance, GeoMath::HaversineDistance(lat, lon, lat + 0.01, lon), 1e-6);
    EXPECT_NEAR(c[2].distance, GeoMath::HaversineDistance(lat, lon, lat + 0.03, lon), 1e-6);
    EXPECT_GT(c[3].distance, 1e300);
    EXPECT_GT(c[4].distance, 1e300);
    EXPECT_TRUE(list.GetRadioCandidates().empty());  // only the nearby records are measured
}

// Objects whose models run timers on the manual clock.
class LiveListTest : public ::testing::Test {
protected:
    static SimObject Running(const std::string& name)
    {
        SimObject o = Named(name);
        SimObjectModel& m = o.AddModel(name);
        m.GetTimer()->Define(2, 1.0);
        m.GetTimer()->Bind(nullptr, 16, 9);
        m.GetTriggerableAnimation(3)->SetKeyframes(0, 100, 0, 10.0);
        return o;
    }
    static void StartAll(SimObjectList& list)
    {
        for (int32_t i = 0; i < list.Count(); ++i) {
            SimObjectModel* m = list.At(i)->GetModel(0);
            m->GetTimer()->Toggle();
            ASSERT_TRUE(m->GetTimer()->IsRunning());
            ASSERT_TRUE(m->GetTriggerableAnimation(3)->Start());
        }
    }
    static int RunningCount(SimObjectList& list)
    {
        int n = 0;
        for (int32_t i = 0; i < list.Count(); ++i) {
            SimObjectModel* m = list.At(i)->GetModel(0);
            n += m->GetTimer()->IsRunning() ? 1 : 0;
            n += m->GetTriggerableAnimation(3)->IsRunning() ? 1 : 0;
        }
        return n;
    }

    platform::ScopedManualClock clock;
};

TEST_F(LiveListTest, AddedCopiesDoNotRun)
{
    SimObjectList list;
    SimObject source = Running("a");
    source.GetModel(0)->GetTimer()->Toggle();
    ASSERT_TRUE(source.GetModel(0)->GetTimer()->IsRunning());
    list.Add(source);
    EXPECT_EQ(RunningCount(list), 0);
    source.StopActivity();
}

TEST_F(LiveListTest, GrowingTheListLeavesRunningObjectsInPlaceAndRunning)
{
    SimObjectList list;
    list.Add(Running("b"));
    StartAll(list);
    SimObject* first = list.At(0);
    // Far beyond any initial storage: nothing already in the list is moved, copied or stopped.
    for (int i = 0; i < 1000; ++i) list.Add(Running("x"));
    EXPECT_EQ(list.At(0), first);
    EXPECT_TRUE(first->GetModel(0)->GetTimer()->IsRunning());
    EXPECT_TRUE(first->GetModel(0)->GetTriggerableAnimation(3)->IsRunning());
    EXPECT_EQ(RunningCount(list), 2);  // the added copies do not run
    list.Empty();
}

// An object moved in is the one the list keeps: its models and their running work come along.
TEST_F(LiveListTest, AnObjectMovedInKeepsItsModelsAndRunningWork)
{
    SimObjectList list;
    SimObject source = Running("moved");
    source.GetModel(0)->GetTimer()->Toggle();
    ASSERT_TRUE(source.GetModel(0)->GetTriggerableAnimation(3)->Start());
    const TriggAnimationData* animation = source.GetModel(0)->GetTriggerableAnimation(3);

    SimObject& added = list.Add(std::move(source));
    EXPECT_EQ(&added, list.At(0));
    EXPECT_EQ(added.GetName(), "moved");
    EXPECT_EQ(added.GetModel(0)->GetTriggerableAnimation(3), animation);
    EXPECT_EQ(RunningCount(list), 2);
    list.Empty();
    clock.clock().Advance(10000);  // nothing of the moved object is left to fire
}

TEST_F(LiveListTest, ObjectsReorderedBySortingComeOutStopped)
{
    SimObjectList grouped;
    SimObject late = Running("late");
    late.SetGroupIndex(3);
    grouped.Add(late);
    grouped.Add(Running("early"));
    StartAll(grouped);
    grouped.SortByGroupIndex();
    EXPECT_EQ(Names(grouped), (std::vector<std::string>{"early", "late"}));
    EXPECT_EQ(RunningCount(grouped), 0);
}

TEST_F(LiveListTest, EmptyStopsEverythingBeforeDestroying)
{
    SimObjectList list;
    list.Add(Running("a"));
    list.Add(Running("b"));
    StartAll(list);
    SimObject* a = list.At(0);
    list.At(1)->GetModel(0)->GetTriggerableAnimation(3)->AddSyncTarget(a);
    list.Empty();
    EXPECT_EQ(list.Count(), 0);
    clock.clock().Advance(10000);  // no timer of the dropped objects is left to fire
}

}  // namespace
