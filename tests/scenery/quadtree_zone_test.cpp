// Protection zones: the list, and the zone test's strict limits of 28000 m and 18000 ft, first zone in
// reading order.
#include "scenery/QuadTree.h"

#include "foundation/GeoMath.h"

#include <gtest/gtest.h>

namespace {

TEST(ProtectionZoneList, AddAtCountClear)
{
    ProtectionZoneList zones;
    EXPECT_EQ(zones.Count(), 0);
    zones.Add(SimBubbleProtectionZone(50.03, 8.57));
    zones.Add(SimBubbleProtectionZone(-33.9, 151.2));
    ASSERT_EQ(zones.Count(), 2);
    EXPECT_DOUBLE_EQ(zones.At(1)->GetLatitude(), -33.9);
    EXPECT_DOUBLE_EQ(zones.At(1)->GetLongitude(), 151.2);
    EXPECT_EQ(zones.At(2), nullptr);
    EXPECT_EQ(zones.At(-1), nullptr);
    zones.Clear();
    EXPECT_EQ(zones.Count(), 0);
    EXPECT_EQ(zones.At(0), nullptr);
}

TEST(ProtectionZoneList, ZoneTest)
{
    ProtectionZoneList zones;
    zones.Add(SimBubbleProtectionZone(50.00, 8.00));  // first
    zones.Add(SimBubbleProtectionZone(50.05, 8.00));  // also near the first test point
    zones.Add(SimBubbleProtectionZone(60.00, 8.00));  // far from the others

    struct Case {
        double lat;
        double lon;
        double altitudeFeet;
        int zone;  // -1 none
    };
    const Case cases[] = {
        {50.01, 8.0, 3000, 0},    // two zones in range: the first in reading order
        {50.30, 8.0, 3000, 1},    // ~33.4 km from zone 0, ~27.8 km from zone 1
        {50.01, 8.0, 17999.9, 0},
        {50.01, 8.0, 18000, -1},  // exactly at the ceiling: none
        {50.01, 8.0, 25000, -1},
        {55.00, 8.0, 1000, -1},   // between them, far from all
        {60.10, 8.0, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << "/" << c.lon << " " << c.altitudeFeet << " ft");
        const SimBubbleProtectionZone* found = zones.FindZone(c.lat, c.lon, c.altitudeFeet);
        if (c.zone < 0) {
            EXPECT_EQ(found, nullptr);
        } else {
            EXPECT_EQ(found, zones.At(c.zone));
        }
    }
    EXPECT_EQ(ProtectionZoneList().FindZone(50.0, 8.0, 0), nullptr);
}

TEST(ProtectionZoneList, RadiusIsStrict)
{
    ProtectionZoneList zones;
    zones.Add(SimBubbleProtectionZone(0.0, 0.0));
    // Find the latitude at which the distance from the zone crosses 28000 m, then test both sides.
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (GeoMath::HaversineDistance(mid, 0.0, 0.0, 0.0) < 28000.0 ? lo : hi) = mid;
    }
    ASSERT_LT(GeoMath::HaversineDistance(lo, 0.0, 0.0, 0.0), 28000.0);
    ASSERT_GE(GeoMath::HaversineDistance(hi, 0.0, 0.0, 0.0), 28000.0);
    EXPECT_NE(zones.FindZone(lo, 0.0, 0), nullptr);
    EXPECT_EQ(zones.FindZone(hi, 0.0, 0), nullptr);
}

}  // namespace
