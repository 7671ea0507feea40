#include "guidance/StandTextMenu.h"

#include "guidance/VDGSHandler.h"
#include "jetway/JetwayHandler.h"
#include "objects/SimObject.h"
#include "platform/simconnect/SimConnect.h"
#include "VDGSTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

using vdgstest::FakeDisplay;

// Jetway objects and guidance displays at stands, entered into the two handlers as the program does.
struct Airport {
    std::deque<SimObject> objects;
    std::deque<FakeDisplay> displays;
    JetwayHandler jetways;
    VDGSHandler vdgs;
    uint32_t nextId = 100;

    SimObject& Jetway(const std::string& icao, const std::string& gate, int32_t number,
                      const std::string& designator = "", const std::string& customNumber = "")
    {
        SimObject& o = objects.emplace_back();
        o.SetName("JW:" + std::to_string(nextId));
        o.SetObjectId(nextId++);
        o.SetStandData(icao, gate, number, designator, customNumber, !designator.empty());
        jetways.AddStandJetway(&o);
        return o;
    }

    FakeDisplay& Vdgs(const std::string& icao, const std::string& gate, int32_t number,
                      const std::string& designator = "", const std::string& customNumber = "")
    {
        FakeDisplay& d = displays.emplace_back(icao, gate, number, nextId++);
        d.stand.Set(icao, gate, number, designator, customNumber, !designator.empty());
        vdgs.RegisterVDGS(&d);
        return d;
    }

    void Build(StandTextMenu& menu, const std::string& icao = "LSZH") { menu.Build(icao, jetways, vdgs); }
};

// Every entry of the menu text: title, prompt, then the lines.
std::vector<std::string> Entries(const StandTextMenu& menu)
{
    std::vector<std::string> out;
    const char* p = menu.GetBuffer();
    const char* end = p + menu.GetBufferSize();
    while (p < end && *p != '\0') {
        const size_t len = strnlen(p, static_cast<size_t>(end - p));
        out.emplace_back(p, len);
        p += len + 1;
    }
    return out;
}

// The index of the page line with this text; -1 when the page has none.
int32_t LineOf(const StandTextMenu& menu, const std::string& text)
{
    const std::vector<std::string> entries = Entries(menu);
    for (size_t i = 2; i < entries.size(); ++i)
        if (entries[i] == text) return static_cast<int32_t>(i - 2);
    return -1;
}

// Jetways and displays of a small airport, with a second airport that must never show.
void SmallAirport(Airport& a)
{
    a.Jetway("LSZH", "GATE_A", 1);
    a.Jetway("LSZH", "GATE_A", 2);
    a.Jetway("LSZH", "GATE_A", 2).GetStandData().SetOccupiedByAI(true);  // second jetway of stand 2
    a.Jetway("LSZH", "GATE_A", 10);
    a.Vdgs("LSZH", "GATE_A", 1).stand.SetOccupiedByAI(true);  // stale mark, cleared by the build
    a.Vdgs("LSZH", "GATE_A", 2);
    a.Vdgs("LSZH", "GATE_A", 7).stand.SetOccupiedByAI(true);  // guidance only
    a.Vdgs("LSZH", "GATE_B", 3);                               // category from guidance only
    a.Jetway("LSZH", "PARKING", 40, "Apron 5", "12");
    a.Jetway("LSZH", "PARKING", 41, "Apron 5", "3");
    a.Jetway("EDDF", "GATE_C", 1);
}

TEST(StandMenuPages, CategoryPageListsEachKeyOnceByDesignatorOrKey)
{
    Airport a;
    SmallAirport(a);
    StandTextMenu menu;
    a.Build(menu);
    EXPECT_EQ(Entries(menu), (std::vector<std::string>{"VELK Stand Selection", "Select Stand Category: [Page 1 of 1]:",
                                                       "Apron 5", "LSZH:GATE_A", "LSZH:GATE_B",
                                                       "BACK TO MAIN MENU..."}));
    EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{0, 1, 2, TextMenuExitLine}));
    EXPECT_EQ(menu.GetDesignatorMap(), (std::map<std::string, std::string>{{"Apron 5", "LSZH:PARKING"}}));
}

TEST(StandMenuPages, NumberPageSortsNumericallyAndMarksOccupiedStands)
{
    Airport a;
    SmallAirport(a);
    StandTextMenu menu;
    a.Build(menu);
    menu.OnSelect("LSZH:GATE_A");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    EXPECT_EQ(Entries(menu),
              (std::vector<std::string>{"VELK Stand Selection", "Select Stand Number at GATE_A: [Page 1 of 1]:", "1",
                                        "2 [Already occupied by AI]", "7 [Already occupied by AI]", "10",
                                        "BACK TO STAND CATEGORY SELECTION..."}));
    // A number in both sources takes the jetways' occupancy onto its guidance display.
    EXPECT_FALSE(a.displays[0].stand.IsOccupiedByAI());
    EXPECT_TRUE(a.displays[1].stand.IsOccupiedByAI());
    EXPECT_TRUE(menu.GetNumberMap().empty());
}

TEST(StandMenuPages, CustomDesignatorPageListsCustomNumbers)
{
    Airport a;
    SmallAirport(a);
    a.Jetway("LSZH", "PARKING", 42, "Apron 5", "12");  // same custom number again: one line
    StandTextMenu menu;
    a.Build(menu);
    menu.OnSelect("Apron 5");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    EXPECT_EQ(Entries(menu), (std::vector<std::string>{"VELK Stand Selection",
                                                       "Select Stand Number at Apron 5: [Page 1 of 1]:", "3", "12",
                                                       "BACK TO STAND CATEGORY SELECTION..."}));
    menu.ParseStandNumber("3");
    const StandData s = menu.GetSelectedStand();
    EXPECT_EQ(s.GetStandKey(), "LSZH:PARKING");
    EXPECT_EQ(s.GetParkingNumber(), 41);
    EXPECT_EQ(s.GetCustomNumber(), "3");
    EXPECT_TRUE(s.HasCustomDesignator());
    EXPECT_TRUE(menu.IsStandSelected());
}

// A key whose first stand has no custom designator is listed by its plain key; its stands with one are
// still named by their own designator, on the number page and once chosen. No line names "NONE".
TEST(StandMenuPages, MixedKeyNamesEachStandFromItsOwnRecord)
{
    Airport a;
    a.Jetway("LSZH", "PARKING", 8);
    a.Jetway("LSZH", "PARKING", 40, "Apron 5", "12");
    a.Vdgs("LSZH", "PARKING", 41, "Apron 5", "3");
    StandTextMenu menu;
    a.Build(menu);
    ASSERT_EQ(menu.HandleAnswer(LineOf(menu, "LSZH:PARKING")), StandMenuAction::ShowStandsMenu);
    a.Build(menu);
    EXPECT_EQ(Entries(menu), (std::vector<std::string>{"VELK Stand Selection",
                                                       "Select Stand Number at Apron 5: [Page 1 of 1]:", "3", "8",
                                                       "12", "BACK TO STAND CATEGORY SELECTION..."}));
    ASSERT_EQ(menu.HandleAnswer(LineOf(menu, "12")), StandMenuAction::ActivateStand);
    const StandData s = menu.GetSelectedStand();
    EXPECT_EQ(s.GetParkingNumber(), 40);
    EXPECT_EQ(s.GetCustomDesignator(), "Apron 5");
    EXPECT_EQ(s.GetDisplayName(), "Apron 5 12");
    EXPECT_EQ(s.Describe(), "[VELK] You have selected following Stand: Apron 5 12.");
}

TEST(StandMenuPages, EmptyPagesShowTheirNoneText)
{
    struct Case {
        const char* name;
        int32_t mode;
        bool customSelected;
        std::string noneText;
    };
    const Case cases[] = {
        {"category", 0, false, "No Stands available!"},
        {"number", 1, false, "No Stands available at 'GATE_Z'!"},
        {"number custom", 1, true, "No Stands available at 'West'!"},
        {"selected", 2, false, " "},  // an empty entry is written as a blank
        {"unknown mode", 9, false, " "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Airport a;
        a.Jetway("EDDF", "GATE_Z", 1);
        StandTextMenu menu;
        if (c.customSelected) {
            Airport west;
            west.Jetway("LSZH", "GATE_Z", 1, "West", "1");
            west.Build(menu);
            menu.OnSelect("West");
        } else {
            menu.OnSelect("LSZH:GATE_Z");
        }
        menu.SetMode(c.mode);
        a.Build(menu);
        const std::vector<std::string> entries = Entries(menu);
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[2], c.noneText);
        EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{TextMenuNoneLine}));
    }
}

TEST(StandMenuPages, ManyStandsArePagedAndStayInsideTheBuffer)
{
    Airport a;
    for (int32_t n = 1; n <= 600; ++n) a.Jetway("LSZH", "GATE_A", n);
    for (int32_t n = 1; n <= 600; ++n) a.Vdgs("LSZH", "GATE_K" + std::to_string(n), 1);  // 601 categories
    StandTextMenu menu;
    a.Build(menu);
    EXPECT_EQ(menu.GetPageCount(), FSTextMenu::CountPages(601));

    menu.OnSelect("LSZH:GATE_A");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    ASSERT_EQ(menu.GetPageCount(), FSTextMenu::CountPages(600));
    std::vector<std::string> entries = Entries(menu);
    EXPECT_EQ(std::vector<std::string>(entries.begin() + 2, entries.end()),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "NEXT...",
                                        "BACK TO STAND CATEGORY SELECTION..."}));
    for (int32_t p = 1; p < menu.GetPageCount(); ++p) menu.NextPage();
    a.Build(menu);
    entries = Entries(menu);
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[entries.size() - 3], "600");
    EXPECT_EQ(menu.GetLineIds()[menu.GetLineIds().size() - 3], 599);
    EXPECT_LE(menu.GetBytesUsed(), static_cast<int32_t>(FSTextMenu::kBufferSize));
}

TEST(StandMenuPages, HostileNamesNeverOverrunTheBuffer)
{
    Airport a;
    const std::string longGate(3000, 'G');
    const std::string longDesignator(3000, 'D');
    for (int32_t n = 1; n <= 9; ++n) a.Jetway("LSZH", longGate + std::to_string(n), n);
    a.Jetway("LSZH", "GATE_A", 1, longDesignator, std::string(2000, '7'));
    StandTextMenu menu;
    a.Build(menu);
    EXPECT_LE(menu.GetBytesUsed(), static_cast<int32_t>(FSTextMenu::kBufferSize));
    EXPECT_EQ(menu.GetBuffer()[FSTextMenu::kBufferSize - 1], '\0');
    EXPECT_EQ(menu.GetLineIds().back(), TextMenuExitLine);

    menu.OnSelect(longDesignator);
    EXPECT_EQ(menu.GetSelectedStand().GetStandKey(), "LSZH:GATE_A");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    EXPECT_LE(menu.GetBytesUsed(), static_cast<int32_t>(FSTextMenu::kBufferSize));
    // The custom number is out of the int32 range as a number, but still a key of the number map.
    menu.ParseStandNumber(std::string(2000, '7'));
    EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 1);
}

TEST(StandMenuPages, BrokenStandListsAreSkipped)
{
    Airport a;
    a.Jetway("LSZH", "GATE_A", 1);
    // A key with an empty list and one with a null object, as a damaged list could hold.
    auto& list = const_cast<JetwayHandler::StandList&>(a.jetways.GetStandList());
    list["LSZH:GATE_B"][1];
    list["LSZH:GATE_C"][1].push_back(nullptr);
    list["LSZH:GATE_A"][2].push_back(nullptr);
    list["LSZH:GATE_A"][0x80000000u].push_back(&a.objects.front());  // no int32 stand number
    StandTextMenu menu;
    a.Build(menu);
    EXPECT_EQ(menu.GetLineTexts(), (std::vector<std::string>{"LSZH:GATE_A"}));
    menu.OnSelect("LSZH:GATE_A");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    EXPECT_EQ(menu.GetLineTexts(), (std::vector<std::string>{"1"}));
    EXPECT_FALSE(menu.CollectStands("LSZH", a.jetways, a.vdgs));
}

TEST(StandMenuSelection, OnSelectResolvesCategoryTexts)
{
    struct Case {
        const char* text;
        bool withDesignators;
        std::string key;
        std::string designator;
        bool custom;
    };
    const Case cases[] = {
        {"LSZH:GATE_A", false, "LSZH:GATE_A", "NONE", false},
        {"LSZH:GATE_A", true, "LSZH:GATE_A", "NONE", false},  // plain key beside designators
        {"Apron 5", true, "LSZH:PARKING", "Apron 5", true},
        {"LSZH:PARKING", true, "LSZH:PARKING", "Apron 5", true},  // the key of a designator
        {"Unknown", true, "NONE:NONE", "NONE", false},
        {"Unknown", false, "NONE:NONE", "NONE", false},
        {"", false, "NONE:NONE", "NONE", false},
        {":", false, "NONE:NONE", "NONE", false},
        {"EDDFX:GATE_B", false, "EDDFX:GATE_B", "NONE", false},
        {"EDDFX:GATE_B", true, "EDDFX:GATE_B", "NONE", false},  // idents of any length
        {"YBA:GATE_B", true, "YBA:GATE_B", "NONE", false},
        {"LSZH:", true, "NONE:NONE", "NONE", false},
        {":GATE_B", true, "NONE:NONE", "NONE", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Airport a;
        a.Jetway("LSZH", "GATE_A", 1);
        if (c.withDesignators) a.Jetway("LSZH", "PARKING", 40, "Apron 5", "12");
        StandTextMenu menu;
        a.Build(menu);
        menu.SetSelectedStandNumber(4);
        menu.OnSelect(c.text);
        const StandData s = menu.GetSelectedStand();
        EXPECT_EQ(s.GetStandKey(), c.key);
        EXPECT_EQ(s.GetCustomDesignator(), c.designator);
        EXPECT_EQ(s.HasCustomDesignator(), c.custom);
        EXPECT_EQ(s.GetParkingNumber(), 4);  // the number stays
    }
}

TEST(StandMenuSelection, ParseStandNumberReadsNumbersAndRefusesTheRest)
{
    struct Case {
        const char* text;
        bool withCustomNumbers;
        int32_t number;
        std::string customNumber;
        bool custom;
        std::string name;  // as the menus name the selected stand
    };
    // The key's category line is its plain key (its first stand has no custom designator): a custom
    // number still names its stand by that stand's own designator.
    const Case cases[] = {
        {"12", false, 12, "0", false, "PARKING 12"},
        {"  7 [Already occupied by AI]", false, 7, "0", false, "PARKING 7"},
        {"+9", false, 9, "0", false, "PARKING 9"},
        {"abc", false, 0, "0", false, "PARKING 0"},
        {"", false, 0, "0", false, "PARKING 0"},
        {"-", false, 0, "0", false, "PARKING 0"},
        {"2147483647", false, 2147483647, "0", false, "PARKING 2147483647"},
        {"2147483648", false, 0, "0", false, "PARKING 0"},
        {"-99999999999999999999", false, 0, "0", false, "PARKING 0"},
        {"12", true, 40, "12", true, "Apron 5 12"},
        {"3", true, 41, "3", true, "Apron 5 3"},
        {"8", true, 8, "0", false, "PARKING 8"},  // a stand without custom number under the same key
        {"B", true, 0, "0", false, "PARKING 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Airport a;
        a.Jetway("LSZH", "PARKING", 8);
        a.Jetway("LSZH", "PARKING", 40, "Apron 5", "12");
        a.Jetway("LSZH", "PARKING", 41, "Apron 5", "3");
        StandTextMenu menu;
        menu.OnSelect("LSZH:PARKING");
        menu.SetMode(c.withCustomNumbers ? StandTextMenu::kModeNumber : StandTextMenu::kModeSelected);
        a.Build(menu);
        menu.ParseStandNumber(c.text);
        const StandData s = menu.GetSelectedStand();
        EXPECT_EQ(s.GetParkingNumber(), c.number);
        EXPECT_EQ(s.GetCustomNumber(), c.customNumber);
        EXPECT_EQ(s.HasCustomDesignator(), c.custom);
        EXPECT_EQ(s.GetDisplayName(), c.name);
        EXPECT_EQ(menu.IsStandSelected(), c.number != 0);
    }
}

TEST(StandMenuSelection, CollectStandsFillsMapsForTheAutomaticSelection)
{
    Airport a;
    SmallAirport(a);
    a.Vdgs("LSZH", "PARKING", 43, "Apron 5", "12");  // later entry for the same custom number wins
    a.Vdgs("EDDF", "GATE_D", 1, "North", "1");         // other airport
    StandTextMenu menu;
    menu.OnSelect("LSZH:PARKING");
    EXPECT_TRUE(menu.CollectStands("LSZH", a.jetways, a.vdgs));
    EXPECT_EQ(menu.GetDesignatorMap(), (std::map<std::string, std::string>{{"Apron 5", "LSZH:PARKING"}}));
    EXPECT_EQ(menu.GetNumberMap(), (std::map<std::string, int32_t>{{"12", 43}, {"3", 41}}));
    // The automatic selection then chooses by designator and custom number.
    menu.OnSelect("Apron 5");
    menu.ParseStandNumber("3");
    EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 41);

    StandTextMenu plain;
    plain.OnSelect("LSZH:GATE_A");
    EXPECT_TRUE(plain.CollectStands("LSZH", a.jetways, a.vdgs));  // the airport has designators
    EXPECT_TRUE(plain.GetNumberMap().empty());                     // its stand has no custom numbers
    Airport empty;
    EXPECT_FALSE(plain.CollectStands("LSZH", empty.jetways, empty.vdgs));
    EXPECT_TRUE(plain.GetDesignatorMap().empty());
}

TEST(StandMenuSelection, BackupRestoreAndReset)
{
    StandTextMenu menu;
    menu.RestoreSelection();  // nothing to restore
    EXPECT_FALSE(menu.IsStandSelected());

    menu.OnSelect("LSZH:GATE_A");
    menu.SetSelectedStandNumber(5);
    menu.MarkSelectedStand();
    menu.BackupSelection();
    EXPECT_TRUE(menu.IsSameAsPrevious());
    EXPECT_TRUE(menu.GetPreviousStand().IsSelectedByApi());

    menu.OnSelect("LSZH:GATE_B");
    menu.SetSelectedStandNumber(0);
    EXPECT_FALSE(menu.IsSameAsPrevious());
    menu.RestoreSelection();
    EXPECT_EQ(menu.GetSelectedStand().GetStandKey(), "LSZH:GATE_A");
    EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 5);

    StandData other;
    other.Set("LSZH", "GATE_A", 5, "Other", "9", true);  // designator takes no part
    EXPECT_TRUE(menu.IsSelectedStand(other));
    other.Set("LSZX", "GATE_A", 5, "", "", false);
    EXPECT_FALSE(menu.IsSelectedStand(other));

    menu.SetMode(StandTextMenu::kModeSelected);
    menu.Reset();
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeCategory);
    EXPECT_FALSE(menu.IsStandSelected());
    EXPECT_FALSE(menu.GetPreviousStand().IsSet());
    EXPECT_FALSE(menu.GetSelectedStand().IsSelectedByApi());
    menu.RestoreSelection();
    EXPECT_FALSE(menu.IsStandSelected());
}

TEST(StandMenuAnswers, SelectionFlowAcrossModes)
{
    Airport a;
    SmallAirport(a);
    StandTextMenu menu;
    EXPECT_EQ(menu.HandleAnswer(0), StandMenuAction::None);  // nothing shown yet: no line 0

    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(SIMCONNECT_TEXT_RESULT_DISPLAYED), StandMenuAction::None);
    EXPECT_TRUE(menu.IsDisplayed());
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "LSZH:GATE_A")), StandMenuAction::ShowStandsMenu);
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeNumber);
    EXPECT_EQ(menu.GetSelectedStand().GetStandKey(), "LSZH:GATE_A");

    a.Build(menu);
    // An occupied stand cannot be chosen: the page stays.
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "2 [Already occupied by AI]")), StandMenuAction::ShowStandsMenu);
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeNumber);
    EXPECT_FALSE(menu.IsStandSelected());

    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "10")), StandMenuAction::ActivateStand);
    EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 10);
    // The caller's activation and backup.
    menu.SetMode(StandTextMenu::kModeSelected);
    menu.BackupSelection();

    // "Select other Stand...", then back to the main menu: the stand comes back.
    menu.BackupSelection();
    menu.SetMode(StandTextMenu::kModeCategory);
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "LSZH:GATE_B")), StandMenuAction::ShowStandsMenu);
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "BACK TO STAND CATEGORY SELECTION...")), StandMenuAction::ShowStandsMenu);
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeCategory);
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "BACK TO MAIN MENU...")), StandMenuAction::ShowMainMenu);
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeSelected);
    EXPECT_EQ(menu.GetSelectedStand().GetStandKey(), "LSZH:GATE_A");
    EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 10);
}

// Airports whose ident is not four characters long: a plain stand beside a custom designator is chosen
// through both pages like any other.
TEST(StandMenuAnswers, StandsAreSelectedAtIdentsOfAnyLength)
{
    for (const std::string icao : {"K3", "YBA", "LSZH", "EDDFX", "ZZ-123"}) {
        SCOPED_TRACE(icao);
        Airport a;
        a.Jetway(icao, "GATE_A", 7);
        a.Jetway(icao, "PARKING", 40, "Apron 5", "12");
        StandTextMenu menu;
        a.Build(menu, icao);
        ASSERT_NE(LineOf(menu, icao + ":GATE_A"), -1);
        EXPECT_EQ(menu.HandleAnswer(LineOf(menu, icao + ":GATE_A")), StandMenuAction::ShowStandsMenu);
        EXPECT_EQ(menu.GetSelectedStand().GetStandKey(), icao + ":GATE_A");
        a.Build(menu, icao);
        EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "7")), StandMenuAction::ActivateStand);
        EXPECT_TRUE(menu.IsStandSelected());
        EXPECT_EQ(menu.GetSelectedStand().GetAirportIcao(), icao);
        EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 7);

        // The custom designator of the same airport.
        menu.SetMode(StandTextMenu::kModeCategory);
        a.Build(menu, icao);
        EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "Apron 5")), StandMenuAction::ShowStandsMenu);
        a.Build(menu, icao);
        EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "12")), StandMenuAction::ActivateStand);
        EXPECT_EQ(menu.GetSelectedStand().GetStandKey(), icao + ":PARKING");
        EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 40);
    }
}

TEST(StandMenuAnswers, ExitWithoutSelectionAndNoneText)
{
    Airport a;
    StandTextMenu menu;
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(0), StandMenuAction::ShowMainMenu);  // "No Stands available!"
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeCategory);

    menu.OnSelect("LSZH:GATE_Q");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(0), StandMenuAction::ShowStandsMenu);  // none text acts as the exit line
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeCategory);
}

TEST(StandMenuAnswers, PagingLinesTurnPagesAndExitStartsOnPageOne)
{
    Airport a;
    for (int32_t n = 1; n <= 20; ++n) a.Jetway("LSZH", "GATE_A", n);
    StandTextMenu menu;
    menu.OnSelect("LSZH:GATE_A");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "NEXT...")), StandMenuAction::ShowStandsMenu);
    a.Build(menu);
    EXPECT_EQ(menu.GetCurrentPage(), 2);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "NEXT...")), StandMenuAction::ShowStandsMenu);
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "PREV...")), StandMenuAction::ShowStandsMenu);
    a.Build(menu);
    EXPECT_EQ(menu.GetCurrentPage(), 2);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "12")), StandMenuAction::ActivateStand);
    EXPECT_EQ(menu.GetSelectedStand().GetParkingNumber(), 12);

    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(LineOf(menu, "BACK TO STAND CATEGORY SELECTION...")), StandMenuAction::ShowStandsMenu);
    EXPECT_EQ(menu.GetCurrentPage(), 1);
}

TEST(StandMenuAnswers, StaleAnswersAreRefused)
{
    Airport a;
    SmallAirport(a);
    StandTextMenu menu;
    menu.OnSelect("LSZH:GATE_A");
    menu.SetMode(StandTextMenu::kModeNumber);
    a.Build(menu);
    const int32_t line = LineOf(menu, "10");

    // The stand menu was reset (stand taken by AI) while the number page was shown.
    menu.Reset();
    EXPECT_EQ(menu.HandleAnswer(line), StandMenuAction::ShowStandsMenu);
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeCategory);
    EXPECT_FALSE(menu.IsStandSelected());
    EXPECT_EQ(menu.GetSelectedStand().GetGateName(), "NONE");

    // A line the page does not have.
    a.Build(menu);
    EXPECT_EQ(menu.HandleAnswer(9), StandMenuAction::None);
    EXPECT_EQ(menu.HandleAnswer(-7), StandMenuAction::None);
    EXPECT_EQ(menu.GetMode(), StandTextMenu::kModeCategory);
}

TEST(StandMenuOrder, LeadingNumber)
{
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {{"10", 10},  {"  2 x", 2},         {"-4", -4}, {"+", 0}, {"LSZH:GATE_A", 0}, {"", 0},
                          {"12A", 12}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const Case& c : cases) EXPECT_EQ(StandTextMenu::LeadingNumber(c.text), c.value) << c.text;
}

}  // namespace
