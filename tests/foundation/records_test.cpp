#include "foundation/AltitudeText.h"
#include "foundation/Records.h"
#include "tests/support/CaseNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>

namespace {

void ExpectPlacement(const PlacementData& p, double lat, double lon, double alt, double pitch, double bank,
                     double hdg) {
    EXPECT_EQ(p.GetLatitude(), lat);
    EXPECT_EQ(p.GetLongitude(), lon);
    EXPECT_EQ(p.GetAltitude(), alt);
    EXPECT_EQ(p.GetPitch(), pitch);
    EXPECT_EQ(p.GetBank(), bank);
    EXPECT_EQ(p.GetHeading(), hdg);
}

TEST(Records, DefaultPlacementIsAllZeroAndFlagsClear) {
    const PlacementData p;
    ExpectPlacement(p, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0);
    EXPECT_FALSE(p.IsAltitudeAgl());
    EXPECT_FALSE(p.IsAltitudeZero());
    EXPECT_EQ(p.GetAltitudeOffset(), 0.0);
}

TEST(Records, PlacementSetReturnsZeroFlagAndKeepsOffset) {
    PlacementData p;
    p.SetAltitudeOffset(12.0);
    EXPECT_TRUE(p.Set(47.5, 8.5, 0.0, true, true, 1.0, 2.0, 270.0));
    ExpectPlacement(p, 47.5, 8.5, 0.0, 1.0, 2.0, 270.0);
    EXPECT_TRUE(p.IsAltitudeAgl());
    EXPECT_TRUE(p.IsAltitudeZero());
    EXPECT_EQ(p.GetAltitudeOffset(), 12.0);

    EXPECT_FALSE(p.Set(1.0, 2.0, 300.0, false, false, 0.0, 0.0, 90.0));
    EXPECT_FALSE(p.IsAltitudeAgl());
    EXPECT_FALSE(p.IsAltitudeZero());
    EXPECT_EQ(p.GetAltitudeOffset(), 12.0);
}

TEST(Records, CopyingPlacementCopiesFlagsAndOffset) {
    PlacementData original;
    original.Set(10.0, 20.0, 30.0, true, true, 4.0, 5.0, 6.0);
    original.SetAltitudeOffset(7.5);

    const PlacementData copy(original);
    PlacementData assigned;
    assigned = original;
    for (const PlacementData* p : {&copy, static_cast<const PlacementData*>(&assigned)}) {
        ExpectPlacement(*p, 10.0, 20.0, 30.0, 4.0, 5.0, 6.0);
        EXPECT_TRUE(p->IsAltitudeAgl());
        EXPECT_TRUE(p->IsAltitudeZero());
        EXPECT_EQ(p->GetAltitudeOffset(), 7.5);
    }
    // The copy is independent of its source.
    original.SetAltitudeIsAgl(false);
    EXPECT_TRUE(copy.IsAltitudeAgl());
}

TEST(Records, SettersAndCopiesOfTheSmallRecords) {
    LLAData lla;
    lla.SetLatitude(1.0);
    lla.SetLongitude(2.0);
    lla.SetAltitude(3.0);
    LLAData llaCopy = lla;
    EXPECT_EQ(llaCopy.GetLatitude(), 1.0);
    EXPECT_EQ(llaCopy.GetLongitude(), 2.0);
    EXPECT_EQ(llaCopy.GetAltitude(), 3.0);
    lla.Set(-4.0, -5.0, -6.0);
    EXPECT_EQ(lla.GetLatitude(), -4.0);
    EXPECT_EQ(lla.GetLongitude(), -5.0);
    EXPECT_EQ(lla.GetAltitude(), -6.0);

    PBHData pbh;
    pbh.Set(1.0, 2.0, 3.0);
    pbh.SetHeading(359.0);
    const PBHData pbhCopy(pbh);
    EXPECT_EQ(pbhCopy.GetPitch(), 1.0);
    EXPECT_EQ(pbhCopy.GetBank(), 2.0);
    EXPECT_EQ(pbhCopy.GetHeading(), 359.0);

    XYZData xyz;
    EXPECT_EQ(xyz.x, 0.0);
    xyz.y = 5.0;
    const XYZData xyzCopy = xyz;
    EXPECT_EQ(xyzCopy.y, 5.0);

    static_assert(std::is_copy_constructible_v<PlacementData> && std::is_copy_assignable_v<PlacementData>);
}

TEST(Records, ZeroAltitudeTestHandlesEveryDouble) {
    EXPECT_TRUE(PlacementData::IsZeroAltitude(0.0));
    EXPECT_TRUE(PlacementData::IsZeroAltitude(-0.0));
    EXPECT_TRUE(PlacementData::IsZeroAltitude(0.000009));
    EXPECT_TRUE(PlacementData::IsZeroAltitude(-0.000009));
    EXPECT_FALSE(PlacementData::IsZeroAltitude(0.00001));
    EXPECT_FALSE(PlacementData::IsZeroAltitude(-0.00002));
    // Far beyond what a 32-bit integer holds once multiplied by 100000.
    EXPECT_FALSE(PlacementData::IsZeroAltitude(50000.0));
    EXPECT_FALSE(PlacementData::IsZeroAltitude(1e300));
    EXPECT_FALSE(PlacementData::IsZeroAltitude(-1e300));
    EXPECT_FALSE(PlacementData::IsZeroAltitude(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(PlacementData::IsZeroAltitude(std::numeric_limits<double>::quiet_NaN()));
}

// Altitudes whose hundred-thousandths of a foot are a whole multiple of 2^32 (give or take a fraction):
// kept in 32 bits that count wraps to exactly 0, so only a test done in double precision sees them.
TEST(Records, ZeroAltitudeTestIsNotFooledByA32BitWrap) {
    for (double feet : {42949.67296, 42949.672965, -42949.672965, 85899.345925, 128849.018885}) {
        EXPECT_FALSE(PlacementData::IsZeroAltitude(feet)) << feet;
    }
}

struct AltitudeCase {
    const char* name;
    const char* text;
    double altitude;
    bool isAgl;
    bool isZero;
};

class AltitudeTextCases : public testing::TestWithParam<AltitudeCase> {};

TEST_P(AltitudeTextCases, ReadsValueAndUnit) {
    const AltitudeCase& c = GetParam();
    const std::optional<AltitudeText> parsed = ParseAltitudeText(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_DOUBLE_EQ(parsed->altitude, c.altitude) << c.text;
    EXPECT_EQ(parsed->isAgl, c.isAgl) << c.text;
    EXPECT_EQ(parsed->isZero, c.isZero) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, AltitudeTextCases,
                         testing::Values(AltitudeCase{"TinyAglIsZero", "0.000001#AGL", 0.000001, true, true},
                                         AltitudeCase{"SmallAglIsNotZero", "0.00002#AGL", 0.00002, true, false},
                                         AltitudeCase{"ZeroAgl", "0#AGL", 0.0, true, true},
                                         AltitudeCase{"NumberWithoutUnit", "12.5", 12.5, false, false},
                                         // Without a unit the zero flag stays clear, even for 0.
                                         AltitudeCase{"ZeroWithoutUnit", "0", 0.0, false, false},
                                         AltitudeCase{"LowerCaseUnitIsNotAgl", "12.5#agl", 12.5, false, false},
                                         AltitudeCase{"ZeroMsl", "0#MSL", 0.0, false, true},
                                         AltitudeCase{"NegativeAgl", "-3#AGL", -3.0, true, false},
                                         AltitudeCase{"TextAfterTheUnit", "5#AGL#x", 5.0, true, false},
                                         AltitudeCase{"ZeroWithEmptyUnit", "0#", 0.0, false, true},
                                         // Large altitudes must not overflow the zero test.
                                         AltitudeCase{"LargeAgl", "30000#AGL", 30000.0, true, false},
                                         AltitudeCase{"HugeAgl", "1e30#AGL", 1e30, true, false},
                                         // 2^32 hundred-thousandths of a foot: 0 once wrapped to 32 bits.
                                         AltitudeCase{"WrapsTo32BitZeroMsl", "42949.67296#MSL", 42949.67296, false,
                                                      false}),
                         testsupport::CaseName());

TEST(AltitudeTextTest, RejectsTextWithoutANumber) {
    for (const char* text : {"", "#AGL", "abc", "abc#AGL", "nan#AGL", "inf", "1e999#AGL"}) {
        EXPECT_FALSE(ParseAltitudeText(text).has_value()) << text;
    }
}

}  // namespace
