// The filtering pass: which objects and probes join the bubble (box, not circle; probes strictly within
// 1.5 radii), the index lists and candidate vectors each feature leads to, the group records, the
// altitude ceiling, the log lines, and hostile centres, radii and counts.
#include "simbubble_test_support.h"

#include "platform/clock.h"

#include <cmath>
#include <limits>
#include <map>

namespace {

using namespace simbubble_testing;

class SimBubbleFilterTest : public ::testing::Test {
protected:
    void Filter(double altitude = 1000.0)
    {
        w.Index();
        bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, altitude);
    }

    LogCapture log{"VELK.FSLOOP"};
    SimBubble bubble{log.Category(), nullptr, nullptr};
    World w;
    void SetUp() override { bubble.SetCentre(kLat, kLon); }
};

TEST_F(SimBubbleFilterTest, EachFeatureLeadsToItsListsAndCandidates)
{
    struct Case {
        const char* name;
        std::vector<int32_t> features;
        Strings lists;  // the lists and vectors that hold it
    };
    const Case cases[] = {
        {"ground shift", {33}, {"ground"}},
        {"wind rotation", {5}, {"rotation"}},
        {"aircraft rotation", {6}, {"rotation"}},
        {"separation plane", {16}, {"separation"}},
        {"proximity visibility", {21}, {"proximity"}},
        {"proximity animation", {24}, {"proximity", "animated"}},
        {"menu animation", {25}, {"animated", "nearby"}},
        {"controllable", {26}, {"animated", "nearby"}},
        {"menu visibility", {22}, {"nearby"}},
        {"vdgs", {4}, {"nearby"}},
        {"radio visibility", {23}, {"radio"}},
        {"probe feature only", {1}, {}},
        {"month condition only", {8}, {}},
        {"time rotation", {7}, {}},
        {"several", {33, 5, 16, 21, 22, 23}, {"ground", "rotation", "separation", "proximity", "nearby", "radio"}},
    };
    double bearing = 0.0;
    for (const Case& c : cases) w.Place(c.name, 5000.0, bearing += 20.0, c.features);
    Filter();

    ASSERT_EQ(w.active.Count(), static_cast<int32_t>(std::size(cases)));
    std::map<std::string, Strings> in;
    auto collect = [&](const char* list, const Indices& indices) {
        for (int32_t i : indices) in[w.NameAt(i)].push_back(list);
    };
    collect("ground", w.active.GetGroundShiftIndices());
    collect("rotation", w.active.GetRotationIndices());
    collect("separation", w.active.GetSeparationPlaneIndices());
    collect("proximity", w.active.GetProximityIndices());
    collect("animated", w.active.GetAnimatedIndices());
    collect("jetway", w.active.GetJetwayIndices());
    for (const CandidateRecord& r : w.active.GetNearbyCandidates()) {
        ASSERT_EQ(r.indices.size(), 1u);
        EXPECT_EQ(r.distance, -1.0);
        in[w.NameAt(r.indices[0])].push_back("nearby");
    }
    for (const CandidateRecord& r : w.active.GetRadioCandidates()) {
        ASSERT_EQ(r.indices.size(), 1u);
        in[w.NameAt(r.indices[0])].push_back("radio");
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Sorted(in[c.name]), Sorted(c.lists));
    }
    EXPECT_EQ(w.active.GetRequestedCount(), 0);
}

TEST_F(SimBubbleFilterTest, TheBoxDecidesNotTheCircle)
{
    // Half size of the box: 1.15 R = 46000 m along each axis.
    w.Place("near", 1000.0, 90.0, {});
    w.Place("inside circle", 39000.0, 200.0, {});
    w.Place("corner 60 km", 60000.0, 45.0, {});   // about 42.4 km north and east: inside the box
    w.Place("north 45 km", 45000.0, 0.0, {});
    w.Place("north 47 km", 47000.0, 0.0, {});    // beyond the box
    w.Place("west 48 km", 48000.0, 270.0, {});
    w.Place("far corner 70 km", 70000.0, 225.0, {});
    w.Place("elsewhere", 0.0, 0.0, {}).SetPlacement(-33.0, 151.0, 0.0, false, false, 0, 0, 0);
    Filter();

    EXPECT_EQ(Sorted(w.ActiveNames()), Sorted(Strings{"near", "inside circle", "corner 60 km", "north 45 km"}));
    EXPECT_TRUE(log.Logged("INFO ### FILTERING OBJECTS: R=40000m, Bubble Lat/Lon: 47.000000, 8.000000 ###"));
    EXPECT_TRUE(log.Logged("INFO ### Active SimObjects: 4; Active Wind Data Probes: 0 ###"));
    EXPECT_FALSE(bubble.IsAboveCeiling());
}

TEST_F(SimBubbleFilterTest, ProbesCountStrictlyWithinOneAndAHalfRadii)
{
    // On the centre's meridian the haversine distance grows with the latitude alone: find the first
    // latitude at 60000 m or more.
    double latitude = kLat + GeoMath::RadToDeg(60000.0 / 6378137.0);
    while (GeoMath::HaversineDistance(latitude, kLon, kLat, kLon) >= 60000.0)
        latitude = std::nextafter(latitude, 0.0);
    const double inside = latitude;
    while (GeoMath::HaversineDistance(latitude, kLon, kLat, kLon) < 60000.0)
        latitude = std::nextafter(latitude, 90.0);
    EXPECT_NEAR(GeoMath::HaversineDistance(latitude, kLon, kLat, kLon), 60000.0, 1e-6);

    auto probe = [&](const std::string& name, double lat, double lon) {
        EnviroDataProbe p;
        p.SetName(name);
        p.SetPlacement(lat, lon, 0.0, false, false, 0, 0, 0);
        w.probes.Add(p);
    };
    probe("apt:just inside", inside, kLon);
    probe("apt:at 60 km", latitude, kLon);
    probe("apt:no position", std::nan(""), kLon);
    w.AddProbe("apt:50 km", 50000.0, 135.0);
    w.AddProbe("apt:90 km", 90000.0, 0.0);
    Filter();

    Strings names;
    for (int32_t k = 0; k < w.activeProbes.Count(); ++k) names.push_back(w.activeProbes.At(k)->GetName());
    EXPECT_EQ(names, (Strings{"apt:just inside", "apt:50 km"}));  // read order
    EXPECT_TRUE(log.Logged("INFO ### Active SimObjects: 0; Active Wind Data Probes: 2 ###"));
}

TEST_F(SimBubbleFilterTest, TheCeilingEmptiesTheBubble)
{
    struct Case {
        const char* name;
        double altitude;
        bool empty;
    };
    const Case cases[] = {
        {"well below", 500.0, false},
        {"just below", 17999.99, false},
        {"exactly the ceiling", 18000.0, true},
        {"above", 35000.0, true},
        {"no number", std::nan(""), true},
        {"below after above", -50.0, false},
        {"infinitely high", std::numeric_limits<double>::infinity(), true},
    };
    w.Place("apt:a", 1000.0, 0.0, {25});
    w.AddProbe("apt:p", 1000.0, 90.0);
    w.Index();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, c.altitude);
        EXPECT_EQ(bubble.IsAboveCeiling(), c.empty);
        EXPECT_EQ(w.active.Count(), c.empty ? 0 : 1);
        EXPECT_EQ(w.activeProbes.Count(), c.empty ? 0 : 1);
        EXPECT_EQ(w.active.GetAnimatedIndices().size(), c.empty ? 0u : 1u);
        EXPECT_EQ(w.active.GetNearbyCandidates().size(), c.empty ? 0u : 1u);
        EXPECT_EQ(log.Lines().size(), c.empty ? 0u : 2u);
    }
}

TEST_F(SimBubbleFilterTest, EachPassStartsFromAnEmptyList)
{
    w.Place("apt:a", 1000.0, 0.0, {24});
    w.Place("apt:jw", 2000.0, 0.0, {3});
    Filter();
    ASSERT_EQ(w.active.Count(), 2);
    w.active.IncrementCreatedCount();
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 1000.0);
    EXPECT_EQ(w.active.Count(), 2);
    EXPECT_EQ(w.active.GetProximityIndices().size(), 1u);
    EXPECT_EQ(w.active.GetNearbyCandidates().size(), 1u);  // the jetway; proximity animations are no candidates
    EXPECT_EQ(w.active.GetJetwayIndices().size(), 1u);
    EXPECT_EQ(w.active.GetRequestedCount(), 1);  // one jetway per pass, not accumulated
    EXPECT_EQ(w.active.GetCreatedCount(), 0);
    EXPECT_EQ(w.all.Count(), 2);  // the full list keeps its objects
}

TEST_F(SimBubbleFilterTest, UngroupedObjectsComeFirstAndGroupsFollowInOrder)
{
    w.Place("g7", 1000.0, 0.0, {}, 7);
    w.Place("g2", 1100.0, 10.0, {}, 2);
    w.Place("none a", 1200.0, 20.0, {});
    w.Place("g2 b", 1300.0, 30.0, {}, 2);
    w.Place("none b", 1400.0, 40.0, {});
    Filter();
    const Strings names = w.ActiveNames();
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(Sorted(Strings(names.begin(), names.begin() + 2)), Sorted(Strings{"none a", "none b"}));
    EXPECT_EQ(Sorted(Strings(names.begin() + 2, names.begin() + 4)), Sorted(Strings{"g2", "g2 b"}));
    EXPECT_EQ(names[4], "g7");
}

// Group records: one per group (per group index), listing the members inside the box in ascending order.
TEST_F(SimBubbleFilterTest, GroupRecordsCollectTheMembersInsideTheBox)
{
    struct Member {
        const char* name;
        std::vector<int32_t> features;
        int32_t group;
        double metres;
    };
    struct Case {
        const char* name;
        std::vector<Member> members;
        std::vector<Strings> nearby;
        std::vector<Strings> radio;
        Strings animated;
    };
    const std::vector<Case> cases = {
        {"three members of a menu-animated group",
         {{"a:m1", {27}, 0, 1000}, {"a:m2", {27}, 0, 2000}, {"a:m3", {27}, 0, 3000}, {"a:solo", {}, -1, 500}},
         {{"a:m1", "a:m2", "a:m3"}},
         {},
         {}},
        {"a member outside the box is left out",
         {{"a:m1", {28}, 3, 1000}, {"a:far", {28}, 3, 90000}, {"a:m2", {28}, 3, 3000}},
         {{"a:m1", "a:m2"}},
         {},
         {}},
        {"two groups, the last one with a single member",
         {{"a:g1a", {28}, 1, 1000}, {"a:g1b", {28}, 1, 2000}, {"a:g5", {29}, 5, 3000}},
         {{"a:g1a", "a:g1b"}, {"a:g5"}},
         {},
         {}},
        {"a member with its own menu animation is in both records",
         {{"a:m1", {27}, 4, 1000}, {"a:m2", {27, 25}, 4, 2000}},
         {{"a:m1", "a:m2"}, {"a:m2"}},
         {},
         {"a:m2"}},
        {"groups of two files with the same index share a record",
         {{"a:x", {27}, 0, 1000}, {"b:y", {29}, 0, 2000}, {"b:z", {29}, 0, 2500}},
         {{"a:x", "b:y", "b:z"}},
         {},
         {}},
        {"a radio group and a single radio object",
         {{"a:r1", {30}, 2, 1000}, {"a:r2", {30}, 2, 2000}, {"a:single", {23}, -1, 3000}},
         {},
         {{"a:r1", "a:r2"}, {"a:single"}},
         {}},
        {"a member of both a nearby and a radio group",
         {{"a:both", {27, 30}, 6, 1000}, {"a:menu", {27}, 6, 2000}, {"a:radio", {30}, 6, 3000}},
         {{"a:both", "a:menu"}},
         {{"a:both", "a:radio"}},
         {}},
        {"other features between members do not close a record",
         {{"a:m1", {28}, 1, 1000}, {"a:plain", {33}, 1, 1500}, {"a:m2", {28}, 1, 2000}},
         {{"a:m1", "a:m2"}},
         {},
         {}},
        {"ungrouped objects with a group feature stand alone",
         {{"a:u1", {27}, -1, 1000}, {"a:u2", {27}, -1, 2000}},
         {{"a:u1"}, {"a:u2"}},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        World world;
        double bearing = 0.0;
        for (const Member& m : c.members) world.Place(m.name, m.metres, bearing += 30.0, m.features, m.group);
        world.Index();
        bubble.FilterObjects(world.active, world.activeProbes, world.probes, world.tree, 0.0);

        EXPECT_EQ(Sorted(world.RecordNames(world.active.GetNearbyCandidates())), Sorted(c.nearby));
        EXPECT_EQ(Sorted(world.RecordNames(world.active.GetRadioCandidates())), Sorted(c.radio));
        EXPECT_EQ(Sorted(world.NamesOf(world.active.GetAnimatedIndices())), Sorted(c.animated));
        for (auto* records : {&world.active.GetNearbyCandidates(), &world.active.GetRadioCandidates()}) {
            for (const CandidateRecord& r : *records) {
                EXPECT_TRUE(std::is_sorted(r.indices.begin(), r.indices.end()));
                EXPECT_EQ(std::adjacent_find(r.indices.begin(), r.indices.end()), r.indices.end());
            }
        }
        // Group features put nobody into the index lists.
        EXPECT_TRUE(world.active.GetProximityIndices().empty());
        EXPECT_TRUE(world.active.GetJetwayIndices().empty());
    }
}

// The old objects may still be animating when the rebuild comes: their work stops before they go.
TEST_F(SimBubbleFilterTest, TheRebuildStopsRunningWorkBeforeDroppingObjects)
{
    platform::ScopedManualClock clock;
    w.Place("apt:a", 1000.0, 0.0, {25});
    w.Place("apt:b", 2000.0, 0.0, {25});
    Filter();
    ASSERT_EQ(w.active.Count(), 2);
    for (int32_t i = 0; i < w.active.Count(); ++i) {
        SimObjectModel* m = w.active.At(i)->GetModel(0);
        m->GetTimer()->Define(2, 1.0);
        m->GetTimer()->Bind(nullptr, 16, 9);
        m->GetTimer()->Toggle();
        ASSERT_TRUE(m->GetTimer()->IsRunning());
        m->GetTriggerableAnimation(3)->SetKeyframes(0, 100, 0, 10.0);
        ASSERT_TRUE(m->GetTriggerableAnimation(3)->Start());
    }
    // One animation reaches into the other object, as synchronised animations do.
    w.active.At(0)->GetModel(0)->GetTriggerableAnimation(3)->AddSyncTarget(w.active.At(1));

    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 1000.0);
    ASSERT_EQ(w.active.Count(), 2);
    for (int32_t i = 0; i < w.active.Count(); ++i) {
        SimObjectModel* m = w.active.At(i)->GetModel(0);
        EXPECT_FALSE(m->GetTimer()->IsRunning());
        EXPECT_FALSE(m->GetTriggerableAnimation(3)->IsRunning());
        EXPECT_EQ(m->GetTriggerableAnimation(3)->GetSyncTargetCount(), 0u);
    }
    clock.clock().Advance(20000);  // nothing of the dropped objects is left to fire
}

TEST_F(SimBubbleFilterTest, HostileCentresAndRadiiLeaveTheBubbleEmpty)
{
    w.Place("apt:a", 1000.0, 0.0, {25});
    w.AddProbe("apt:p", 1000.0, 0.0);
    w.Index();
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        double lat, lon;
        int32_t radius;
    };
    const Case cases[] = {
        {"no latitude", nan, kLon, 40000},
        {"no longitude", kLat, nan, 40000},
        {"infinite longitude", kLat, inf, 40000},
        {"latitude beyond the pole", 95.0, kLon, 40000},
        {"radius 0", kLat, kLon, 0},
        {"negative radius", kLat, kLon, -40000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimBubbleRanges ranges;
        ranges.bubbleRadius = c.radius;
        SimBubble hostile(log.Category(), nullptr, nullptr, ranges);
        hostile.SetCentre(c.lat, c.lon);
        w.active.Add(*w.all.At(0));  // something to be emptied
        log.Clear();
        hostile.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 1000.0);
        EXPECT_EQ(w.active.Count(), 0);
        EXPECT_EQ(w.activeProbes.Count(), 0);
        EXPECT_TRUE(w.active.GetNearbyCandidates().empty());
        const Strings lines = log.Lines();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1].rfind("ERROR [SIMBUBBLE] No objects filtered: bubble radius", 0), 0u) << lines[1];
        EXPECT_EQ(lines[2], "INFO ### Active SimObjects: 0; Active Wind Data Probes: 0 ###");
    }
}

TEST_F(SimBubbleFilterTest, ACentreAtThePoleTakesEveryLongitude)
{
    bubble.SetCentre(90.0, 0.0);
    w.PlaceAt("pole:a", 89.9, 0.0, {});
    w.PlaceAt("pole:b", 89.9, 179.0, {});
    w.PlaceAt("pole:c", 89.9, -120.0, {});
    w.PlaceAt("pole:far", 89.0, 0.0, {});  // 111 km away
    Filter();
    EXPECT_EQ(Sorted(w.ActiveNames()), Sorted(Strings{"pole:a", "pole:b", "pole:c"}));
}

TEST_F(SimBubbleFilterTest, ManyObjectsInOnePlace)
{
    constexpr int32_t kCount = 3000;  // each object is a heavy copy: enough to cross many list growths
    for (int32_t i = 0; i < kCount; ++i)
        w.Place("crowd", 100.0 + i % 5000, i * 0.7, {i % 2 == 0 ? 24 : 30}, i % 3 == 0 ? 1 : -1);
    Filter();
    EXPECT_EQ(w.active.Count(), kCount);
    EXPECT_EQ(w.active.GetProximityIndices().size(), static_cast<size_t>(kCount / 2));
    // Every radio-group member of group 1 in one record, the ungrouped ones one each.
    size_t radioMembers = 0;
    for (const CandidateRecord& r : w.active.GetRadioCandidates()) radioMembers += r.indices.size();
    EXPECT_EQ(radioMembers, static_cast<size_t>(kCount / 2));
    for (const CandidateRecord& r : w.active.GetRadioCandidates())
        for (int32_t i : r.indices) ASSERT_TRUE(i >= 0 && i < kCount);
}

}  // namespace
