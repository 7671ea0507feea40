// The stand record: defaults, setters, the derived texts, stand identity and the category words.
#include "objects/StandData.h"

#include <gtest/gtest.h>

namespace {

StandData Stand(const std::string& icao, const std::string& gate, int32_t number, const std::string& designator,
                const std::string& customNumber, bool hasCustom)
{
    StandData s;
    s.Set(icao, gate, number, designator, customNumber, hasCustom);
    return s;
}

void ExpectDefaults(const StandData& s)
{
    EXPECT_EQ(s.GetAirportIcao(), "NONE");
    EXPECT_EQ(s.GetGateName(), "NONE");
    EXPECT_EQ(s.GetParkingNumber(), 0);
    EXPECT_EQ(s.GetCustomDesignator(), "NONE");
    EXPECT_EQ(s.GetCustomNumber(), "0");
    EXPECT_FALSE(s.HasCustomDesignator());
    EXPECT_FALSE(s.IsSelectedByApi());
    EXPECT_FALSE(s.IsOccupiedByAI());
    EXPECT_EQ(s.GetOccupantId(), 0u);
    EXPECT_FALSE(s.IsSet());
}

TEST(StandData, DefaultsAndClearGiveTheSameEmptyStand)
{
    ExpectDefaults(StandData());

    StandData s = Stand("EDDF", "GATE_A", 12, "A", "12", true);
    s.SetSelectedByApi();
    s.SetOccupiedByAI(true);
    s.SetOccupantId(4711);
    s.Clear();
    ExpectDefaults(s);
}

TEST(StandData, SettersWriteOnlyTheirFields)
{
    StandData s = Stand("EDDF", "GATE_A", 12, "Apron West", "W3", true);
    s.SetOccupiedByAI(true);
    s.SetOccupantId(99);

    s.SetStand("LOWW", "GATE_B", "Pier B", false);
    EXPECT_EQ(s.GetAirportIcao(), "LOWW");
    EXPECT_EQ(s.GetGateName(), "GATE_B");
    EXPECT_EQ(s.GetCustomDesignator(), "Pier B");
    EXPECT_FALSE(s.HasCustomDesignator());
    EXPECT_EQ(s.GetParkingNumber(), 12);
    EXPECT_EQ(s.GetCustomNumber(), "W3");

    s.SetNumber(7, "B7", true);
    EXPECT_EQ(s.GetParkingNumber(), 7);
    EXPECT_EQ(s.GetCustomNumber(), "B7");
    EXPECT_TRUE(s.HasCustomDesignator());
    EXPECT_EQ(s.GetGateName(), "GATE_B");
    EXPECT_EQ(s.GetCustomDesignator(), "Pier B");

    // Occupancy belongs to the placed object, not to the stand identity.
    EXPECT_TRUE(s.IsOccupiedByAI());
    EXPECT_EQ(s.GetOccupantId(), 99u);
}

TEST(StandData, ApiMarkSurvivesLaterSelectionsUntilClear)
{
    StandData s = Stand("EDDF", "GATE_A", 12, "", "", false);
    s.SetSelectedByApi();
    s.Set("EDDF", "GATE_B", 3, "", "", false);
    s.SetStand("EDDF", "GATE_C", "", false);
    s.SetNumber(4, "", false);
    EXPECT_TRUE(s.IsSelectedByApi());
    s.Clear();
    EXPECT_FALSE(s.IsSelectedByApi());
}

TEST(StandData, CopiesCarryEveryField)
{
    StandData s = Stand("EDDF", "GATE_A", 12, "A", "12", true);
    s.SetSelectedByApi();
    s.SetOccupiedByAI(true);
    s.SetOccupantId(321);

    StandData copy(s);
    StandData assigned;
    assigned = s;
    for (const StandData* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetAirportIcao(), "EDDF");
        EXPECT_EQ(c->GetGateName(), "GATE_A");
        EXPECT_EQ(c->GetParkingNumber(), 12);
        EXPECT_EQ(c->GetCustomDesignator(), "A");
        EXPECT_EQ(c->GetCustomNumber(), "12");
        EXPECT_TRUE(c->HasCustomDesignator());
        EXPECT_TRUE(c->IsSelectedByApi());
        EXPECT_TRUE(c->IsOccupiedByAI());
        EXPECT_EQ(c->GetOccupantId(), 321u);
    }

    StandData& alias = s;
    s = alias;
    EXPECT_EQ(s.GetCustomDesignator(), "A");
    EXPECT_EQ(s.GetOccupantId(), 321u);
}

TEST(StandData, IsSetNeedsARealGateNameAndANonZeroNumber)
{
    struct Case {
        const char* gate;
        int32_t number;
        bool set;
    } cases[] = {
        {"GATE_A", 12, true},  {"GATE_A", 0, false}, {"NONE", 5, false},
        {"none", 5, true},  // only the exact default word means "no stand"
        {"PARKING", -3, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Stand("EDDF", c.gate, c.number, "", "", false).IsSet(), c.set) << c.gate << " " << c.number;
    }
}

TEST(StandData, StandWithoutCustomDesignatorHasNoneAndZero)
{
    // What the placement reader hands over for a <Stand> without CustomDesignator.
    StandData s = Stand("EDDF", "GATE_A", 12, "", "", false);
    EXPECT_EQ(s.GetCustomDesignator(), "NONE");
    EXPECT_EQ(s.GetCustomNumber(), "0");
    EXPECT_EQ(s.Describe(), "[VELK] You have selected following Stand: GATE_A 12.");

    s.SetStand("EDDF", "GATE_B", "", false);
    s.SetNumber(3, "", false);
    EXPECT_EQ(s.GetCustomDesignator(), "NONE");
    EXPECT_EQ(s.GetCustomNumber(), "0");
    EXPECT_EQ(s.Describe(), "[VELK] You have selected following Stand: GATE_B 3.");
}

TEST(StandData, DerivedTexts)
{
    struct Case {
        const char* label;
        StandData stand;
        const char* key;
        const char* displayName;
        const char* describe;
    } cases[] = {
        {"plain", Stand("EDDF", "GATE_A", 12, "NONE", "0", false), "EDDF:GATE_A", "GATE_A 12",
         "[VELK] You have selected following Stand: GATE_A 12."},
        {"custom", Stand("EDDF", "GATE_A", 12, "Apron 5", "5B", true), "EDDF:GATE_A", "Apron 5 5B",
         "[VELK] You have selected following Stand: Apron 5 5B."},
        // The message looks at the custom texts, the menus at the flag.
        {"custom texts without flag", Stand("LSZH", "PARKING", 40, "E", "40", false), "LSZH:PARKING", "PARKING 40",
         "[VELK] You have selected following Stand: E 40."},
        {"custom number 0", Stand("LSZH", "DOCK", 2, "Dock", "0", true), "LSZH:DOCK", "Dock 0",
         "[VELK] You have selected following Stand: DOCK 2."},
        {"designator NONE with the flag", Stand("LSZH", "DOCK", 2, "NONE", "7", true), "LSZH:DOCK", "DOCK 2",
         "[VELK] You have selected following Stand: DOCK 2."},
        {"lower-case none is a name", Stand("LSZH", "DOCK", 2, "none", "7", false), "LSZH:DOCK", "DOCK 2",
         "[VELK] You have selected following Stand: none 7."},
        {"negative number", Stand("KJFK", "GATE", -4, "", "", false), "KJFK:GATE", "GATE -4",
         "[VELK] You have selected following Stand: GATE -4."},
        {"default", StandData(), "NONE:NONE", "NONE 0", "[VELK] You have selected following Stand: NONE 0."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.stand.GetStandKey(), c.key);
        EXPECT_EQ(c.stand.GetDisplayName(), c.displayName);
        EXPECT_EQ(c.stand.Describe(), c.describe);
    }
}

TEST(StandData, SameStandComparesAirportGateAndNumberOnly)
{
    const StandData base = Stand("EDDF", "GATE_A", 12, "A", "12", true);
    StandData occupied = Stand("EDDF", "GATE_A", 12, "West", "W1", false);
    occupied.SetOccupiedByAI(true);
    occupied.SetOccupantId(5);
    occupied.SetSelectedByApi();

    struct Case {
        const char* label;
        StandData other;
        bool same;
    } cases[] = {
        {"other custom name and flags", occupied, true},
        {"other airport", Stand("EDDM", "GATE_A", 12, "A", "12", true), false},
        {"airport case", Stand("eddf", "GATE_A", 12, "A", "12", true), false},
        {"other gate", Stand("EDDF", "GATE_B", 12, "A", "12", true), false},
        {"gate case", Stand("EDDF", "gate_a", 12, "A", "12", true), false},
        {"other number", Stand("EDDF", "GATE_A", 13, "A", "12", true), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(base.IsSameStand(c.other), c.same) << c.label;
        EXPECT_EQ(c.other.IsSameStand(base), c.same) << c.label;
        EXPECT_EQ(base == c.other, c.same) << c.label;
    }
}

TEST(StandCategory, EveryWordHasItsCode)
{
    const char* gates = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int i = 0; i < 26; ++i) {
        const std::string word = std::string("GATE_") + gates[i];
        EXPECT_EQ(ParseStandCategory(word), 4 + i) << word;
    }
    struct Case {
        const char* word;
        int32_t code;
    } cases[] = {
        {"PARKING", 1},     {"DOCK", 2},        {"GATE", 3},        {"NONE", 30},      {"N_PARKING", 31},
        {"NE_PARKING", 32}, {"NW_PARKING", 33}, {"SE_PARKING", 34}, {"S_PARKING", 35}, {"SW_PARKING", 36},
        {"W_PARKING", 37},  {"E_PARKING", 38},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseStandCategory(c.word), c.code) << c.word;
}

TEST(StandCategory, AnythingElseIsZero)
{
    const std::string others[] = {
        "",          "parking",  "Gate_A",   "GATE_",     "GATE_AA", "GATE A",     " PARKING",
        "PARKING ",  "GATE_1",   "RAMP_GA",  "GATE_a",    "CARGO",   "N_PARKING_", std::string("DOCK\0", 5),
        "GATE_Z\n",
    };
    for (const std::string& word : others) EXPECT_EQ(ParseStandCategory(word), 0) << "'" << word << "'";
}

}  // namespace
