// The docking guidance handler: the aircraft type table, the display objects by stand, the active
// display, the stand list answer and reset.
#include "VDGSTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using vdgstest::FakeDisplay;

TEST(VDGSHandlerTypesTest, TableHoldsEveryDesignatorWithItsCode)
{
    const VDGSHandler handler;
    EXPECT_EQ(handler.GetAircraftTypes().size(), 82u);
    std::set<int32_t> codes;
    for (const auto& [designator, code] : handler.GetAircraftTypes()) codes.insert(code);
    // Codes 0, 1, 3, 10, 11 and 26 have no designator.
    for (const int32_t missing : {0, 1, 3, 10, 11, 26}) EXPECT_EQ(codes.count(missing), 0u) << missing;
    EXPECT_EQ(codes.size(), 42u);
    EXPECT_EQ(*codes.rbegin(), 47);
}

TEST(VDGSHandlerTypesTest, TypeCodeOfExactDesignators)
{
    struct Case {
        const char* designator;
        int32_t code;
    };
    const VDGSHandler handler;
    for (const Case& c : {Case{"B737", 4}, Case{"B712", 2}, Case{"B74S", 5}, Case{"B781", 9}, Case{"A320", 14},
                          Case{"A35K", 18}, Case{"A388", 19}, Case{"CRJ700", 28}, Case{"CRJ1000", 30},
                          Case{"CONCORDE", 40}, Case{"DHC8D", 43}, Case{"AT76", 44}, Case{"SU95", 47},
                          Case{"b737", 0}, Case{"B737-800", 0}, Case{" B737", 0}, Case{"", 0}, Case{"NONE", 0},
                          Case{"B737\0", 4}}) {
        EXPECT_EQ(handler.GetAircraftTypeCode(c.designator), c.code) << c.designator;
    }
    EXPECT_EQ(handler.GetAircraftTypeCode(std::string("B737\0X", 6)), 0);
}

TEST(VDGSHandlerTypesTest, FindAircraftTypeInFreeText)
{
    struct Case {
        std::string text;
        const char* type;
    };
    const VDGSHandler handler;
    for (const Case& c : {Case{"Bombardier CRJ700 ER", "CRJ7"}, Case{"Aerospatiale CONCORDE", "CONC"},
                          Case{"B738 and A320 livery pack", "A320"}, Case{"B737-800", "B737"},
                          Case{"Airbus 320", "NONE"}, Case{"", "NONE"}, Case{"a320", "NONE"},
                          Case{std::string(5000, 'X') + "MD11", "MD11"}, Case{std::string("\0A318", 5), "A318"}}) {
        EXPECT_EQ(handler.FindAircraftType(c.text), c.type) << c.text.substr(0, 40);
    }
}

TEST(VDGSHandlerStandTest, RegisteringAndFindingDisplays)
{
    VDGSHandler handler;
    FakeDisplay a12("LSZH", "GATE_A", 12, 501);
    FakeDisplay a12Again("LSZH", "GATE_A", 12, 502);
    FakeDisplay a14("LSZH", "GATE_A", 14, 503);
    FakeDisplay unnamed("LSZH", "NONE", 3, 504);
    FakeDisplay lowerCase("LSZH", "gate_b", 1, 505);
    handler.RegisterVDGS(&a12);
    handler.RegisterVDGS(&a14);
    handler.RegisterVDGS(&unnamed);
    handler.RegisterVDGS(&lowerCase);
    handler.RegisterVDGS(nullptr);

    EXPECT_EQ(handler.FindStandVDGS("LSZH", "GATE_A", 12), std::make_pair(1u, 501u));
    // The second registration for the same stand replaces the first.
    handler.RegisterVDGS(&a12Again);
    EXPECT_EQ(handler.FindStandVDGS("LSZH", "GATE_A", 12), std::make_pair(1u, 502u));

    struct Case {
        const char* icao;
        const char* gate;
        int32_t number;
        uint32_t found;
        uint32_t id;
    };
    for (const Case& c : {Case{"LSZH", "gate a", 14, 1, 503}, Case{"LSZH", "Gate_A", 14, 1, 503},
                          Case{"LSZH", "GATE_A", 13, 0, 0}, Case{"LSZH", "NONE", 3, 0, 0},
                          Case{"lszh", "GATE_A", 14, 0, 0}, Case{"EDDF", "GATE_A", 14, 0, 0},
                          Case{"LSZH", "gate_b", 1, 0, 0}, Case{"", "", 0, 0, 0}}) {
        EXPECT_EQ(handler.FindStandVDGS(c.icao, c.gate, c.number), std::make_pair(c.found, c.id))
            << c.icao << ":" << c.gate << " " << c.number;
    }
    // Stored names are taken as they are.
    EXPECT_EQ(handler.GetStandMap().count("LSZH:gate_b"), 1u);
    EXPECT_EQ(handler.GetStandMap().count("LSZH:NONE"), 0u);
}

TEST(VDGSHandlerStandTest, CurrentStandBindsTheActiveDisplay)
{
    VDGSHandler handler;
    FakeDisplay a12("LSZH", "GATE_A", 12, 501);
    FakeDisplay b3("LSZH", "GATE_B", 3, 502);
    handler.RegisterVDGS(&a12);
    handler.RegisterVDGS(&b3);

    handler.SetCurrentStand(a12.stand);
    EXPECT_EQ(handler.GetActiveVDGS(), &a12);
    EXPECT_TRUE(handler.GetCurrentStand().IsSameStand(a12.stand));

    // Activation only from standby.
    handler.RequestActivation();
    EXPECT_TRUE(a12.vdgs.IsActivationRequested());
    b3.vdgs.SetStateGuidance();
    handler.SetCurrentStand(b3.stand);
    EXPECT_EQ(handler.GetActiveVDGS(), &b3);
    handler.RequestActivation();
    EXPECT_FALSE(b3.vdgs.IsActivationRequested());
    // The previous display is not touched.
    EXPECT_TRUE(a12.vdgs.IsActivationRequested());

    StandData other;
    other.Set("LSZH", "GATE_A", 99, "", "", false);
    handler.SetCurrentStand(other);
    EXPECT_EQ(handler.GetActiveVDGS(), nullptr);
    handler.RequestActivation();  // nothing active: nothing happens

    handler.SetCurrentStand(a12.stand);
    a12.hasModel = false;
    handler.RequestActivation();  // no current model: nothing happens
    handler.ClearActiveVDGS();
    EXPECT_EQ(handler.GetActiveVDGS(), nullptr);
}

TEST(VDGSHandlerStandTest, ResetPutsTheActiveDisplayToStandbyAndForgetsEverything)
{
    VDGSHandler handler;
    FakeDisplay a12("LSZH", "GATE_A", 12, 501);
    handler.RegisterVDGS(&a12);
    handler.SetCurrentStand(a12.stand);
    a12.vdgs.SetStateActivated();
    a12.vdgs.WaitSeconds(3);
    a12.vdgs.SetStateStop();

    handler.Reset();
    EXPECT_EQ(a12.vdgs.GetState(), VDGSStandby);
    EXPECT_FALSE(a12.vdgs.IsWaitRunning());
    EXPECT_EQ(handler.GetActiveVDGS(), nullptr);
    EXPECT_TRUE(handler.GetStandMap().empty());
    EXPECT_EQ(handler.GetCurrentStand().GetGateName(), "NONE");
    EXPECT_EQ(handler.FindStandVDGS("LSZH", "GATE_A", 12), std::make_pair(0u, 0u));
    handler.Reset();  // nothing active: fine
}

std::vector<std::pair<int32_t, int32_t>> List(const VDGSHandler& handler, const std::string& icao,
                                              std::size_t capacity = VDGSHandler::kMaxStandEntries)
{
    std::vector<VDGSStandEntry> entries(capacity + 1, VDGSStandEntry{-7, -7});
    int32_t count = -1;
    handler.ListStandsAt(icao, entries.data(), capacity, count);
    EXPECT_EQ(entries[capacity].category, -7) << "written past the capacity";
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (int32_t i = 0; i < count; ++i) pairs.emplace_back(entries[i].category, entries[i].parkingNumber);
    return pairs;
}

TEST(VDGSHandlerStandTest, ListStandsAtAnAirport)
{
    VDGSHandler handler;
    std::vector<FakeDisplay> displays;
    displays.reserve(8);
    displays.emplace_back("LSZH", "GATE_B", 7, 1);
    displays.emplace_back("LSZH", "GATE_A", 12, 2);
    displays.emplace_back("LSZH", "GATE_A", 3, 3);
    displays.emplace_back("LSZH", "PARKING", 40, 4);
    displays.emplace_back("LSZHX", "GATE_A", 1, 5);  // a five-letter code beginning with the four
    displays.emplace_back("LSZ", "GATE_C", 2, 6);
    displays.emplace_back("LSZH", "gate_z", 5, 7);   // no category
    for (FakeDisplay& display : displays) handler.RegisterVDGS(&display);

    using P = std::pair<int32_t, int32_t>;
    EXPECT_EQ(List(handler, "LSZH"), (std::vector<P>{{4, 3}, {4, 12}, {5, 7}, {1, 40}, {0, 5}}));
    EXPECT_EQ(List(handler, "LSZHX"), (std::vector<P>{{4, 1}}));
    EXPECT_EQ(List(handler, "LSZ"), (std::vector<P>{{6, 2}}));
    EXPECT_TRUE(List(handler, "EDDF").empty());
    EXPECT_TRUE(List(handler, "").empty());

    // The first slot is cleared even when nothing matches.
    VDGSStandEntry entry{9, 9};
    int32_t count = -1;
    handler.ListStandsAt("EDDF", &entry, 1, count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(entry.category, 0);
    handler.ListStandsAt("LSZH", nullptr, 10, count);
    EXPECT_EQ(count, 0);
}

TEST(VDGSHandlerStandTest, ListStandsStopsAtTheCapacity)
{
    VDGSHandler handler;
    std::vector<FakeDisplay> displays;
    displays.reserve(600);
    for (int32_t n = 1; n <= 600; ++n) displays.emplace_back("LSZH", "GATE_A", n, static_cast<uint32_t>(n));
    for (FakeDisplay& display : displays) handler.RegisterVDGS(&display);

    const auto full = List(handler, "LSZH");
    ASSERT_EQ(full.size(), VDGSHandler::kMaxStandEntries);
    EXPECT_EQ(full.front().second, 1);
    EXPECT_EQ(full.back().second, 512);
    EXPECT_EQ(List(handler, "LSZH", 3).size(), 3u);
}

}  // namespace
