// The update trigger (distance and ceiling against the bubble's flags), the bubble's initial values, and
// the two link passes: probes to the objects they serve, animations to the objects that follow them.
#include "simbubble_test_support.h"

#include <cmath>
#include <limits>

namespace {

using namespace simbubble_testing;

class SimBubbleUpdateTest : public ::testing::Test {
protected:
    LogCapture log{"VELK.FSLOOP"};
    SimBubble bubble{log.Category(), nullptr, nullptr};
};

TEST_F(SimBubbleUpdateTest, StartsWithItsFixedValuesAndNoCentre)
{
    EXPECT_EQ(bubble.GetTriggerRange(), 12000);
    EXPECT_EQ(bubble.GetBubbleRadius(), 40000);
    EXPECT_EQ(bubble.GetRefilterDistance(), 18000);
    EXPECT_EQ(bubble.GetProtectionZoneRadius(), 28000);
    EXPECT_EQ(bubble.GetAltitudeCeiling(), 18000);
    EXPECT_EQ(bubble.GetCentreLatitude(), 0.0);
    EXPECT_EQ(bubble.GetCentreLongitude(), 0.0);
    EXPECT_FALSE(bubble.IsUpdatePending());
    EXPECT_FALSE(bubble.IsAboveCeiling());
    EXPECT_FALSE(bubble.IsInZone());
    EXPECT_EQ(bubble.GetDistance(), 0.0);

    // The first answer after start-up lies far from 0/0: a cycle starts.
    EXPECT_EQ(bubble.CheckForUpdate(kLat, kLon, 1000.0), SimBubble::kModeMoved);
    EXPECT_NEAR(bubble.GetDistance(), GeoMath::HaversineDistance(kLat, kLon, 0.0, 0.0), 1e-6);
}

TEST_F(SimBubbleUpdateTest, DistanceAndCeilingDecideTheMode)
{
    const double nan = std::nan("");
    struct Case {
        const char* name;
        bool inZone, above, pending;
        double metres;  // north of the centre
        double altitude;
        int32_t mode;
    };
    const Case cases[] = {
        {"near and low", false, false, false, 17990, 1000, SimBubble::kNoUpdate},
        {"beyond the re-filter distance", false, false, false, 18010, 1000, SimBubble::kModeMoved},
        {"in a zone the zone radius counts", true, false, false, 18010, 1000, SimBubble::kNoUpdate},
        {"in a zone beyond its radius", true, false, false, 28010, 1000, SimBubble::kModeMoved},
        {"not in a zone at zone radius", false, false, false, 27990, 1000, SimBubble::kModeMoved},
        {"climbs to the ceiling", false, false, false, 0, 18000, SimBubble::kModeCeilingCrossed},
        {"stays above", false, true, false, 0, 18000, SimBubble::kNoUpdate},
        {"descends below", false, true, false, 0, 17999.9, SimBubble::kModeCeilingCrossed},
        {"stays below", false, false, false, 0, 17999.9, SimBubble::kNoUpdate},
        {"moving beats climbing", false, false, false, 20000, 30000, SimBubble::kModeMoved},
        {"a pending cycle waits", false, false, true, 50000, 30000, SimBubble::kNoUpdate},
        {"no altitude", false, false, false, 1000, nan, SimBubble::kNoUpdate},
        {"no altitude above", false, true, false, 1000, nan, SimBubble::kNoUpdate},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimBubble b(log.Category(), nullptr, nullptr);
        b.SetCentre(kLat, kLon);
        b.SetInZone(c.inZone);
        b.SetAboveCeiling(c.above);
        b.SetUpdatePending(c.pending);
        double lat = 0.0;
        double lon = 0.0;
        At(c.metres, 0.0, lat, lon);
        EXPECT_EQ(b.CheckForUpdate(lat, lon, c.altitude), c.mode);
        EXPECT_EQ(b.IsUpdatePending(), c.pending || c.mode != SimBubble::kNoUpdate);
        // The distance follows every answer, pending or not.
        EXPECT_NEAR(b.GetDistance(), GeoMath::HaversineDistance(lat, lon, kLat, kLon), 1e-6);
        EXPECT_NEAR(b.GetDistance(), c.metres, 100.0);
        // The trigger never moves the centre or changes the other flags.
        EXPECT_EQ(b.GetCentreLatitude(), kLat);
        EXPECT_EQ(b.IsInZone(), c.inZone);
        EXPECT_EQ(b.IsAboveCeiling(), c.above);
    }
}

TEST_F(SimBubbleUpdateTest, PositionsThatAreNoNumbers)
{
    bubble.SetCentre(kLat, kLon);
    double lat = 0.0;
    double lon = 0.0;
    At(5000.0, 0.0, lat, lon);
    ASSERT_EQ(bubble.CheckForUpdate(lat, lon, 1000.0), SimBubble::kNoUpdate);
    const double before = bubble.GetDistance();

    // A broken answer changes nothing and asks for nothing.
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(bubble.CheckForUpdate(nan, kLon, 1000.0), SimBubble::kNoUpdate);
    EXPECT_EQ(bubble.CheckForUpdate(kLat, inf, 1000.0), SimBubble::kNoUpdate);
    EXPECT_EQ(bubble.GetDistance(), before);
    EXPECT_FALSE(bubble.IsUpdatePending());

    // A centre that is no number puts the aircraft out of the bubble: the next cycle re-centres it.
    bubble.SetCentre(nan, kLon);
    EXPECT_EQ(bubble.CheckForUpdate(lat, lon, 1000.0), SimBubble::kModeMoved);
    EXPECT_TRUE(std::isinf(bubble.GetDistance()));
}

// A climb through the ceiling without moving empties the bubble; the descent fills it again.
TEST_F(SimBubbleUpdateTest, ClimbAndDescentThroughTheCeiling)
{
    World w;
    w.Place("apt:a", 1000.0, 0.0, {});
    w.Index();
    bubble.SetCentre(kLat, kLon);
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 2000.0);
    ASSERT_EQ(w.active.Count(), 1);

    const int32_t climb = bubble.CheckForUpdate(kLat, kLon, 18500.0);
    ASSERT_EQ(climb, SimBubble::kModeCeilingCrossed);
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 18500.0);
    bubble.SetUpdatePending(false);
    EXPECT_EQ(w.active.Count(), 0);
    EXPECT_TRUE(bubble.IsAboveCeiling());
    EXPECT_EQ(bubble.CheckForUpdate(kLat, kLon, 25000.0), SimBubble::kNoUpdate);

    ASSERT_EQ(bubble.CheckForUpdate(kLat, kLon, 17000.0), SimBubble::kModeCeilingCrossed);
    bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 17000.0);
    bubble.SetUpdatePending(false);
    EXPECT_EQ(w.active.Count(), 1);
    EXPECT_FALSE(bubble.IsAboveCeiling());
    EXPECT_EQ(bubble.CheckForUpdate(kLat, kLon, 16000.0), SimBubble::kNoUpdate);
}

// Each case runs twice: with the two link passes one after the other, and with ResolveLinks, which
// makes both over one walk of the list.
class SimBubbleLinkTest : public SimBubbleUpdateTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { bubble.SetCentre(kLat, kLon); }
    void AddProbe(const std::string& name, Strings clients, bool allJetways = false)
    {
        EnviroDataProbe p;
        p.SetName(name);
        p.SetPlacement(kLat, kLon, 0.0, false, false, 0, 0, 0);
        for (const std::string& c : clients) p.AddClientName(c);
        p.SetAllJetways(allJetways);
        w.probes.Add(p);
    }
    void Run()
    {
        w.Index();
        bubble.FilterObjects(w.active, w.activeProbes, w.probes, w.tree, 0.0);
        if (GetParam()) {
            bubble.ResolveLinks(w.activeProbes, w.active);
        } else {
            bubble.ResolveObjectLinks(w.activeProbes, w.active);
            bubble.ResolveSyncLinks(w.active);
        }
    }
    int32_t LinkOf(const std::string& name) { return w.active.FindByName(name)->GetLinkedIndex(); }
    Strings ClientsOf(int32_t k)
    {
        Strings names;
        for (SimObject* o : w.activeProbes.At(k)->GetClients()) names.push_back(o->GetName());
        return names;
    }

    World w;
};

INSTANTIATE_TEST_SUITE_P(BothWays, SimBubbleLinkTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OneWalk" : "TwoPasses";
                         });

TEST_P(SimBubbleLinkTest, ProbesServeTheNamedObjectsThatNeedWeather)
{
    w.Place("apt:sock", 1000, 0, {5});          // turns with the wind
    w.Place("apt:display", 1100, 0, {2});       // density altitude
    w.Place("apt:plain", 1200, 0, {22});        // needs no weather
    w.Place("other:sock", 1300, 0, {5});        // another file's object of the same name
    w.Place("apt:second", 1400, 0, {12});
    w.Place("apt:jw1", 1500, 0, {3});
    w.Place("apt:jw2", 1600, 0, {3});
    w.Place("other:jw", 1700, 0, {3});
    w.Place("apt:stand", 1800, 0, {});
    AddProbe("apt:p0", {"sock", "display", "plain", "missing", "second"});
    AddProbe("apt:p1", {"second"}, true);
    AddProbe("solo", {"apt:sock"});  // a name without ":" is its own prefix
    Run();

    ASSERT_EQ(w.activeProbes.Count(), 3);
    for (int32_t k = 0; k < 3; ++k) EXPECT_EQ(w.activeProbes.At(k)->GetLinkedIndex(), k);
    EXPECT_EQ(ClientsOf(0), (Strings{"apt:sock", "apt:display", "apt:second"}));
    EXPECT_EQ(ClientsOf(1), (Strings{"apt:second"}));  // the jetways are linked, not clients
    EXPECT_EQ(ClientsOf(2), Strings{});
    EXPECT_EQ(LinkOf("apt:sock"), 0);
    EXPECT_EQ(LinkOf("apt:display"), 0);
    EXPECT_EQ(LinkOf("apt:plain"), -1);
    EXPECT_EQ(LinkOf("other:sock"), -1);
    EXPECT_EQ(LinkOf("apt:second"), 1);  // the later probe wins
    EXPECT_EQ(LinkOf("apt:jw1"), 1);
    EXPECT_EQ(LinkOf("apt:jw2"), 1);
    EXPECT_EQ(LinkOf("other:jw"), -1);
    EXPECT_EQ(LinkOf("apt:stand"), -1);

    // A second pass rebuilds the clients instead of adding to them.
    bubble.ResolveObjectLinks(w.activeProbes, w.active);
    EXPECT_EQ(ClientsOf(0).size(), 3u);
}

TEST_P(SimBubbleLinkTest, AnimationsFollowTheirNamedObjects)
{
    w.Place("apt:door", 1000, 0, {25});
    w.Place("apt:door2", 1100, 0, {});
    w.Place("other:door3", 1200, 0, {});
    w.Place("apt:door3", 1300, 0, {22});
    w.Place("apt:lonely", 1400, 0, {24});
    w.Place("apt:grouped", 1500, 0, {27}, 1);  // group features take no part in synchronisation
    w.Index();
    for (const char* name : {"apt:door", "apt:grouped"}) {
        SimObject* o = w.all.FindByName(name);
        TriggAnimationData* a = o->GetModel(0)->GetTriggerableAnimation(3);
        a->AddSyncName("door2");
        a->AddSyncName("nothing");
        a->AddSyncName("door3");
    }
    w.all.FindByName("apt:lonely")->GetModel(0)->GetTriggerableAnimation(3)->AddSyncName("gone");
    Run();

    TriggAnimationData* a = w.active.FindByName("apt:door")->GetModel(0)->GetTriggerableAnimation(3);
    ASSERT_EQ(a->GetSyncTargetCount(), 2u);
    EXPECT_EQ(a->GetSyncTarget(0), w.active.FindByName("apt:door2"));
    EXPECT_EQ(a->GetSyncTarget(1), w.active.FindByName("apt:door3"));
    EXPECT_TRUE(w.active.FindByName("apt:door2")->IsSynchronised());
    EXPECT_TRUE(w.active.FindByName("apt:door3")->IsSynchronised());
    EXPECT_FALSE(w.active.FindByName("other:door3")->IsSynchronised());
    EXPECT_FALSE(w.active.FindByName("apt:door")->IsSynchronised());
    EXPECT_EQ(w.active.FindByName("apt:grouped")->GetModel(0)->GetTriggerableAnimation(3)->GetSyncTargetCount(), 0u);
    EXPECT_EQ(w.active.FindByName("apt:lonely")->GetModel(0)->GetTriggerableAnimation(3)->GetSyncTargetCount(), 0u);
    // The full list's objects stay unlinked: each pass starts from clean copies.
    EXPECT_FALSE(w.all.FindByName("apt:door2")->IsSynchronised());
    EXPECT_EQ(w.all.FindByName("apt:door")->GetModel(0)->GetTriggerableAnimation(3)->GetSyncTargetCount(), 0u);

    bubble.ResolveSyncLinks(w.active);
    EXPECT_EQ(a->GetSyncTargetCount(), 2u);
}

TEST_P(SimBubbleLinkTest, ObjectsWithoutAModelAreSkipped)
{
    w.Place("apt:bare", 1000, 0, {25}).SetCurrentModelIndex(5);
    w.Place("apt:sock", 1100, 0, {5}).SetCurrentModelIndex(-1);
    AddProbe("apt:p", {"sock"});
    Run();
    EXPECT_EQ(LinkOf("apt:sock"), -1);
    EXPECT_EQ(ClientsOf(0), Strings{});
}

// Names that occur more than once, names with more than one ":" and jetways whose prefix only begins like
// the probe's: every link goes where a search through the active list from its start would put it.
TEST_P(SimBubbleLinkTest, LinksGoToTheFirstObjectOfEachName)
{
    w.Place("apt:sock", 1000, 0, {5});
    w.Place("apt:sock", 1100, 0, {5});
    w.Place("apt:a:b", 1200, 0, {5});
    w.Place("apt:door", 1300, 0, {25});
    w.Place("apt:gate", 1400, 0, {});
    w.Place("apt:gate", 1500, 0, {});
    w.Place("apt:jw", 1600, 0, {3});
    w.Place("apt:jw", 1700, 0, {3});
    w.Place("apt", 1800, 0, {3});       // no ":": the whole name is its prefix
    w.Place("apt2:jw", 1900, 0, {3});
    w.Place("apt:x:jw", 2000, 0, {3});  // the prefix ends at the first ":"
    w.Index();
    TriggAnimationData* door = w.all.FindByName("apt:door")->GetModel(0)->GetTriggerableAnimation(3);
    for (const char* name : {"gate", "a:b", "gate", "sock"}) door->AddSyncName(name);
    AddProbe("apt:p0", {"sock", "a:b", "sock"});
    AddProbe("apt:x:p1", {}, true);
    AddProbe("apt2:p2", {"jw"});  // a jetway needs no weather: no client
    Run();

    // The first and the second object of a name in list order.
    auto nth = [this](const std::string& name, int n) -> SimObject* {
        for (int32_t i = 0; i < w.active.Count(); ++i) {
            if (w.active.At(i)->GetName() == name && n-- == 0) return w.active.At(i);
        }
        return nullptr;
    };
    ASSERT_NE(nth("apt:sock", 1), nullptr);
    ASSERT_NE(nth("apt:gate", 1), nullptr);
    ASSERT_NE(nth("apt:jw", 1), nullptr);

    const std::vector<SimObject*>& clients = w.activeProbes.At(0)->GetClients();
    EXPECT_EQ(clients, (std::vector<SimObject*>{nth("apt:sock", 0), nth("apt:a:b", 0), nth("apt:sock", 0)}));
    EXPECT_EQ(nth("apt:sock", 0)->GetLinkedIndex(), 0);
    EXPECT_EQ(nth("apt:sock", 1)->GetLinkedIndex(), -1);
    EXPECT_EQ(w.activeProbes.At(2)->GetClients(), std::vector<SimObject*>{});

    // The all-jetways probe "apt:x:p1" serves every jetway of prefix "apt", both of one name included.
    for (SimObject* jetway : {nth("apt:jw", 0), nth("apt:jw", 1), nth("apt", 0), nth("apt:x:jw", 0)})
        EXPECT_EQ(jetway->GetLinkedIndex(), 1) << jetway->GetName();
    EXPECT_EQ(nth("apt2:jw", 0)->GetLinkedIndex(), -1);

    const TriggAnimationData* active = nth("apt:door", 0)->GetModel(0)->GetTriggerableAnimation(3);
    ASSERT_EQ(active->GetSyncTargetCount(), 4u);
    EXPECT_EQ(active->GetSyncTarget(0), nth("apt:gate", 0));
    EXPECT_EQ(active->GetSyncTarget(1), nth("apt:a:b", 0));
    EXPECT_EQ(active->GetSyncTarget(2), nth("apt:gate", 0));
    EXPECT_EQ(active->GetSyncTarget(3), nth("apt:sock", 0));
    EXPECT_TRUE(nth("apt:gate", 0)->IsSynchronised());
    EXPECT_FALSE(nth("apt:gate", 1)->IsSynchronised());
    EXPECT_FALSE(nth("apt:sock", 1)->IsSynchronised());
}

}  // namespace
