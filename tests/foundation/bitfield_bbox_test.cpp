#include "foundation/BBox.h"
#include "foundation/BitField64.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

namespace {

TEST(BitField64Test, SingleBitsAcrossBothHalves) {
    BitField64 word;
    word.SetBit(0);
    word.SetBit(31);
    word.SetBit(32);
    word.SetBit(63);
    EXPECT_EQ(word.GetLow(), 0x80000001u);
    EXPECT_EQ(word.GetHigh(), 0x80000001u);
    EXPECT_TRUE(word.TestBit(63));
    EXPECT_FALSE(word.TestBit(62));

    word.ClearBit(31);
    word.ToggleBit(32);
    word.ToggleBit(33);
    EXPECT_EQ(word.GetLow(), 0x00000001u);
    EXPECT_EQ(word.GetHigh(), 0x80000002u);
}

TEST(BitField64Test, BitsOutsideTheWordChangeNothing) {
    BitField64 word;
    word.SetRaw(0x12345678u, 0x9abcdef0u);
    for (unsigned n : {64u, 65u, 1000u, 0xFFFFFFFFu}) {
        word.SetBit(n);
        word.ClearBit(n);
        word.ToggleBit(n);
        EXPECT_FALSE(word.TestBit(n));
    }
    EXPECT_EQ(word.GetLow(), 0x12345678u);
    EXPECT_EQ(word.GetHigh(), 0x9abcdef0u);
}

TEST(BitField64Test, SetBitsClampsToTheFieldWidth) {
    BitField64 word;
    word.SetRaw(0xFFFFFFFFu, 0xFFFFFFFFu);
    EXPECT_EQ(word.SetBits(16, 19, 20), 1);
    EXPECT_EQ(word.GetBits(16, 19), 15u);
    EXPECT_EQ(word.GetLow(), 0xFFFFFFFFu);

    EXPECT_EQ(word.SetBits(16, 19, 9), 0);
    EXPECT_EQ(word.GetBits(16, 19), 9u);
    // Only bits 16..19 changed: 9 = 1001b there, everything else still set.
    EXPECT_EQ(word.GetLow(), 0xFFF9FFFFu);
    EXPECT_EQ(word.GetHigh(), 0xFFFFFFFFu);

    EXPECT_EQ(word.SetBits(16, 19, 15), 0);  // exactly the largest value fits
    EXPECT_EQ(word.SetBits(0, 0, 2), 1);
    EXPECT_TRUE(word.TestBit(0));
}

TEST(BitField64Test, FieldAcrossThe32BitBoundary) {
    BitField64 word;
    EXPECT_EQ(word.SetBits(30, 35, 63), 0);
    EXPECT_EQ(word.GetLow(), 0xC0000000u);
    EXPECT_EQ(word.GetHigh(), 0x0000000Fu);
    EXPECT_EQ(word.GetBits(30, 35), 63u);

    EXPECT_EQ(word.SetBits(30, 35, 0b100001), 0);
    EXPECT_EQ(word.GetLow(), 0x40000000u);
    EXPECT_EQ(word.GetHigh(), 0x00000008u);
}

TEST(BitField64Test, ConsecutiveSixBitFieldsReachIntoTheHighHalf) {
    BitField64 word;
    for (unsigned item = 0; item < 10; ++item) {
        EXPECT_EQ(word.SetBits(item * 6, item * 6 + 5, item + 1), 0);
    }
    for (unsigned item = 0; item < 10; ++item) {
        EXPECT_EQ(word.GetBits(item * 6, item * 6 + 5), item + 1) << item;
    }
}

TEST(BitField64Test, WideAndInvalidFields) {
    BitField64 word;
    // A full 32-bit field takes every value of the half.
    EXPECT_EQ(word.SetBits(0, 31, 0xFFFFFFFFu), 0);
    EXPECT_EQ(word.GetLow(), 0xFFFFFFFFu);
    EXPECT_EQ(word.GetHigh(), 0u);
    EXPECT_EQ(word.SetBits(0, 63, ~uint64_t{0}), 0);
    EXPECT_EQ(word.GetHigh(), 0xFFFFFFFFu);

    word.SetRaw(1u, 2u);
    EXPECT_EQ(word.SetBits(5, 4, 1), 0);   // hi below lo
    EXPECT_EQ(word.SetBits(60, 64, 1), 0);  // past the top bit
    EXPECT_EQ(word.SetBits(64, 70, 1), 0);
    EXPECT_EQ(word.GetLow(), 1u);
    EXPECT_EQ(word.GetHigh(), 2u);
    EXPECT_EQ(word.GetBits(5, 4), 0u);
    EXPECT_EQ(word.GetBits(64, 64), 0u);
}

TEST(BitField64Test, ToDoubleIsTheWholeUnsignedWord) {
    BitField64 word;
    EXPECT_EQ(word.ToDouble(), 0.0);
    word.SetBit(40);
    EXPECT_EQ(word.ToDouble(), 1099511627776.0);
    word.SetRaw(0xFFFFFFFFu, 0u);
    EXPECT_EQ(word.ToDouble(), 4294967295.0);
    word.SetRaw(0u, 0x80000000u);
    EXPECT_EQ(word.ToDouble(), 9223372036854775808.0);  // unsigned, never negative
}

TEST(BitField64Test, CopyCarriesBothHalves) {
    BitField64 word;
    word.SetRaw(7u, 9u);
    const BitField64 copy(word);
    BitField64 assigned;
    assigned = word;
    EXPECT_EQ(copy.GetLow(), 7u);
    EXPECT_EQ(copy.GetHigh(), 9u);
    EXPECT_EQ(assigned.ToUint64(), word.ToUint64());
}

TEST(BitField64Test, PrintsFieldsOfTheLowHalfMostSignificantFirst) {
    BitField64 word;
    word.SetRaw(0b1011'0100u, 0xFFFFFFFFu);
    std::ostringstream out;
    word.PrintBit(2, out);
    out << ' ';
    word.PrintBits2(4, out);
    out << ' ';
    word.PrintBits4(4, out);
    out << ' ';
    word.PrintBits6(2, out);
    EXPECT_EQ(out.str(), "1 11 1011 101101");

    // Bits past 31 print as 0 even though the high half is all ones.
    std::ostringstream edge;
    word.SetRaw(0x80000000u, 0xFFFFFFFFu);
    word.PrintBits4(30, edge);
    edge << ' ';
    word.PrintBits2(40, edge);
    EXPECT_EQ(edge.str(), "0010 00");
}

TEST(BBoxTest, ContainsIncludesTheBounds) {
    const BBox box(BBoxPoint(10.0, 20.0), BBoxPoint(1.0, 2.0));
    struct Case {
        double lat;
        double lon;
        bool inside;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {10.0, 20.0, true},       {11.0, 22.0, true},  {9.0, 18.0, true},  {11.0, 18.0, true},
        {9.0, 22.0, true},        {11.0000001, 20.0, false}, {8.9999999, 20.0, false},
        {10.0, 22.0000001, false}, {10.0, 17.9999999, false}, {nan, 20.0, false}, {10.0, nan, false},
        {nan, nan, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(box.Contains(c.lat, c.lon), c.inside) << c.lat << ", " << c.lon;
    }
}

TEST(BBoxTest, DefaultAndNegativeHalfSize) {
    const BBox empty;
    EXPECT_TRUE(empty.Contains(0.0, 0.0));
    EXPECT_FALSE(empty.Contains(0.0, 0.1));

    const BBox flipped(BBoxPoint(0.0, 0.0), BBoxPoint(-1.0, -1.0));
    EXPECT_TRUE(flipped.Contains(0.5, -0.5));
    EXPECT_EQ(flipped.GetHalfSize().latitude, 1.0);
}

TEST(BBoxTest, IntersectsWhenOverlappingOrTouching) {
    const BBox box(BBoxPoint(10.0, 20.0), BBoxPoint(1.0, 2.0));
    struct Case {
        BBox other;
        bool overlaps;
        const char* what;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {BBox(BBoxPoint(12.0, 20.0), BBoxPoint(1.0, 1.0)), true, "touches at latitude 11"},
        {BBox(BBoxPoint(12.5, 20.0), BBoxPoint(1.0, 1.0)), false, "gap in latitude"},
        {BBox(BBoxPoint(10.0, 30.0), BBoxPoint(1.0, 1.0)), false, "gap in longitude only"},
        {BBox(BBoxPoint(10.0, 23.0), BBoxPoint(1.0, 1.0)), true, "touches at longitude 22"},
        {BBox(BBoxPoint(10.0, 20.0), BBoxPoint(0.1, 0.1)), true, "inside"},
        {BBox(BBoxPoint(0.0, 0.0), BBoxPoint(90.0, 180.0)), true, "whole globe"},
        {BBox(BBoxPoint(nan, 20.0), BBoxPoint(1.0, 1.0)), false, "NaN centre"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(box.Intersects(c.other), c.overlaps) << c.what;
        EXPECT_EQ(c.other.Intersects(box), c.overlaps) << c.what << " (reversed)";
    }
}

}  // namespace
