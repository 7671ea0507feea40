#include "guidance/StandFacilitiesTextMenu.h"

#include "MenuTestSupport.h"
#include "VDGSTestSupport.h"
#include "guidance/VDGSHandler.h"
#include "jetway/JetwayHandler.h"
#include "objects/SimObjectList.h"
#include "objects/StandData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using menutest::MakeGuidance;
using menutest::MakeJetway;
using menutest::PageLines;
using Lines = std::vector<std::string>;

constexpr uint32_t kJetwayA1 = 101;  // multi-index 2
constexpr uint32_t kJetwayA2 = 102;  // multi-index 1
constexpr uint32_t kGuidance = 201;
constexpr const char* kPrompt = "Select Option for Stand 'GATE_A 12': [Page 1 of 1]:";

// The selected stand GATE_A 12 at EDDF with two jetways and a docking guidance display, and the user
// aircraft with doors 1L and 2L. The nearby candidates list A1, the display, then A2 (distance order).
class StandOpsMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stand.Set("EDDF", "GATE_A", 12, "", "", false);
        list.Add(MakeJetway("EDDF:Gate A1 Jetway", kJetwayA1, 2));
        list.Add(MakeGuidance("EDDF:VDGS A", kGuidance));
        list.Add(MakeJetway("EDDF:Gate A2 Jetway", kJetwayA2, 1));
        for (int32_t i = 0; i < list.Count(); ++i) list.GetNearbyCandidates().push_back({{i}, 10.0 * i});
        jetways.count = 2;
        jetways.objectIds[0] = kJetwayA2;
        jetways.objectIds[1] = kJetwayA1;
        SetExits(2);
    }

    void SetExits(int32_t count)
    {
        UserAircraft& aircraft = list.GetUserAircraft();
        aircraft.ClearExits();
        for (int32_t n = 1; n <= count; ++n) {
            ExitData exit;
            exit.x = 20.0 - 10.0 * n;
            aircraft.AddExit(exit, n);
        }
    }
    Jetway& JetwayOf(int32_t index) { return *list.At(index)->GetCurrentModel()->GetJetway(); }
    void Dock(int32_t index, uint32_t id, const std::string& door)
    {
        JetwayOf(index).SetDocked(true);
        list.GetUserAircraft().AssignJetwayToExit(door, static_cast<int32_t>(id));
    }
    Lines Build(int32_t configuration = -1)
    {
        menu.Build(stand, list, configuration, jetways, facilities, vdgs, handler);
        return PageLines(menu);
    }
    // The answer that picks the built page's line with this text.
    int32_t Line(const std::string& text)
    {
        const Lines lines = PageLines(menu);
        for (size_t i = 2; i < lines.size(); ++i)
            if (lines[i] == text) return static_cast<int32_t>(i - 2);
        ADD_FAILURE() << "no line '" << text << "' on " << ::testing::PrintToString(lines);
        return 65535;
    }
    static Lines Page(Lines lines, const char* prompt = kPrompt)
    {
        lines.insert(lines.begin(), {"VELK Stand Operations", prompt});
        return lines;
    }

    StandData stand;
    SimObjectList list;
    StandJetwayInfo jetways;
    std::pair<uint32_t, uint32_t> facilities{1, kGuidance};
    VDGSHandler vdgs;
    JetwayHandler handler;
    StandFacilitiesTextMenu menu;
};

TEST_F(StandOpsMenuTest, ParkedJetwaysOfferDockingAndTheStandLines)
{
    EXPECT_EQ(Build(), Page({"Auto-Dock Jetways", "Dock Gate A2 Jetway", "Dock Gate A1 Jetway", "Activate VDGS A",
                             "Select other Stand...", "Deselect current Stand...", "EXIT..."}));
    EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{-5, 1, 2, 3, -5, -5, -2}));
    EXPECT_EQ(menu.GetJetwayLineStatus(), StandFacilitiesTextMenu::kJetwayLinesOffered);
    // Jetway lines carry their multi-index, the others -1.
    std::vector<int32_t> values;
    for (const TriggerMenuItem& item : menu.GetItems()) values.push_back(item.value);
    EXPECT_EQ(values, (std::vector<int32_t>{-1, 1, 2, -1, -1, -1}));
}

TEST_F(StandOpsMenuTest, PagesByJetwayStateAndAutoDockState)
{
    struct Case {
        const char* name;
        int32_t state;
        bool a1Docked;  // A1 docked at 1L
        bool a2Moving;
        bool queued;
        Lines lines;
        int32_t stateAfter;
    };
    const Case cases[] = {
        {"one docked: undock offered, stand kept", 0, true, false, false,
         {"Auto-Undock Jetways", "Dock Gate A2 Jetway", "Undock Gate A1 Jetway", "Activate VDGS A", "EXIT..."}, 0},
        {"moving jetway: no line for it, no stand lines", 0, false, true, false,
         {"Auto-Dock Jetways", "Dock Gate A1 Jetway", "Activate VDGS A", "EXIT..."}, 0},
        {"automatic undocking runs", 2, true, false, true,
         {"Automatic Undocking in progress...", "Activate VDGS A", "EXIT..."}, 2},
        {"automatic docking runs", 2, false, true, true,
         {"Automatic Docking in progress...", "Activate VDGS A", "EXIT..."}, 2},
        {"automatic run with nothing queued", 2, true, false, false,
         {"Unable to perform automatic docking!", "Dock Gate A2 Jetway", "Undock Gate A1 Jetway",
          "Activate VDGS A", "EXIT..."},
         0},
        {"single operation under way: no automatic line", 1, true, false, false,
         {"Dock Gate A2 Jetway", "Undock Gate A1 Jetway", "Activate VDGS A", "EXIT..."}, 1},
        {"single operation finished: back to idle", 1, false, false, false,
         {"Auto-Dock Jetways", "Dock Gate A2 Jetway", "Dock Gate A1 Jetway", "Activate VDGS A",
          "Select other Stand...", "Deselect current Stand...", "EXIT..."},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        list.Reset();
        SetUp();
        StandFacilitiesTextMenu fresh;
        menu = fresh;
        if (c.a1Docked) Dock(0, kJetwayA1, "1L");
        JetwayOf(2).SetMoving(c.a2Moving);
        JetwayHandler queued;
        if (c.queued) queued.AddPendingDoor(kJetwayA2);
        menu.SetAutoDockState(c.state);
        menu.Build(stand, list, -1, jetways, facilities, vdgs, queued);
        EXPECT_EQ(PageLines(menu), Page(c.lines));
        EXPECT_EQ(menu.GetAutoDockState(), c.stateAfter);
    }
}

TEST_F(StandOpsMenuTest, MessagesWhenNoJetwayCanBeOffered)
{
    // No exits: no automatic line, the message is a head line.
    SetExits(0);
    EXPECT_EQ(Build(), Page({"Selected aircraft has no exits defined!", "Activate VDGS A", "Select other Stand...",
                             "Deselect current Stand...", "EXIT..."}));
    EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{-5, 1, -5, -5, -2}));
    EXPECT_EQ(menu.GetJetwayLineStatus(), StandFacilitiesTextMenu::kNoJetwayLineOffered);

    // Every door served by other jetways while A1 moves (single operation under way).
    SetExits(2);
    list.GetUserAircraft().AssignJetwayToExit("1L", 900);
    list.GetUserAircraft().AssignJetwayToExit("2L", 901);
    JetwayOf(0).SetMoving(true);
    menu.SetAutoDockState(1);
    EXPECT_EQ(Build(), Page({"All available Aircraft Doors already served!", "Activate VDGS A", "EXIT..."}));
}

TEST_F(StandOpsMenuTest, StandWithoutFacilities)
{
    jetways = StandJetwayInfo{};
    facilities = {0, 0};
    EXPECT_EQ(Build(), Page({"Select other Stand...", "Deselect current Stand...",
                             "No available Service Facilities found..."}));
    EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{-5, -5, -1}));
    EXPECT_EQ(menu.GetJetwayLineStatus(), StandFacilitiesTextMenu::kNoStandJetwayFound);

    // Jetways listed for the stand but not in the bubble, guidance found: only its line.
    jetways.count = 1;
    jetways.objectIds[0] = 555;
    facilities = {1, kGuidance};
    EXPECT_EQ(Build(), Page({"Auto-Dock Jetways", "Activate VDGS A", "Select other Stand...",
                             "Deselect current Stand...", "EXIT..."}));
    EXPECT_EQ(menu.GetJetwayLineStatus(), StandFacilitiesTextMenu::kNoStandJetwayFound);
}

TEST_F(StandOpsMenuTest, LinesOnlyForTheMenuConfigurationAndConfiguredJetways)
{
    list.At(0)->SetStandMembership(true, 3);  // A1 read from custom configuration 3
    JetwayOf(2).SetConfig(false);             // A2 without "jetway.cfg"
    EXPECT_EQ(Build(), Page({"Auto-Dock Jetways", "Activate VDGS A", "Select other Stand...",
                             "Deselect current Stand...", "EXIT..."}));
    EXPECT_EQ(menu.GetJetwayLineStatus(), StandFacilitiesTextMenu::kNoJetwayLineOffered);
    // In configuration 3 the A1 line shows; the display belongs to the default menu only.
    EXPECT_EQ(Build(3), Page({"Auto-Dock Jetways", "Dock Gate A1 Jetway", "Select other Stand...",
                              "Deselect current Stand...", "EXIT..."}));
}

TEST_F(StandOpsMenuTest, ActiveGuidanceAndCustomDesignator)
{
    vdgstest::FakeDisplay display("EDDF", "GATE_A", 12, kGuidance);
    vdgs.RegisterVDGS(&display);
    vdgs.SetCurrentStand(display.stand);
    stand.Set("EDDF", "GATE_A", 12, "Pier B", "12B", true);
    const Lines lines = Build();
    EXPECT_EQ(lines[1], "Select Option for Stand 'Pier B 12B': [Page 1 of 1]:");
    EXPECT_EQ(lines[5], "Deactivate VDGS A");
}

TEST_F(StandOpsMenuTest, BadInputIsSkipped)
{
    // Ids 0 and counts beyond the four slots; a record without indices, one with a stale index, and the
    // same jetway named by a second record, which gets one line only.
    jetways.count = 99;
    jetways.objectIds[2] = 0;
    std::vector<CandidateRecord>& candidates = list.GetNearbyCandidates();
    candidates = {{{}, 1.0}, {{77}, 1.0}, {{0}, 1.0}, {{0}, 1.0}, {{1}, 1.0}, {{2}, 1.0}};
    EXPECT_EQ(Build(), Page({"Auto-Dock Jetways", "Dock Gate A2 Jetway", "Dock Gate A1 Jetway", "Activate VDGS A",
                             "Select other Stand...", "Deselect current Stand...", "EXIT..."}));

    // A display id without its found flag is no display.
    facilities = {0, kGuidance};
    EXPECT_EQ(Build()[5], "Select other Stand...");

    menu.SetAutoDockState(2);
    menu.SetAutoDockState(3);
    menu.SetAutoDockState(-1);
    EXPECT_EQ(menu.GetAutoDockState(), 2);

    menu.AddPlainItem("Note");
    const TriggerMenuItem& note = menu.GetItems().back();
    EXPECT_EQ(note.entryIndex, -1);
    EXPECT_EQ(note.kind, -1);
    EXPECT_EQ(note.text, "Note");
    EXPECT_EQ(note.value, -1);
}

TEST_F(StandOpsMenuTest, AnswersOfFixedLines)
{
    constexpr int32_t kNamed = -1;  // the line whose text is the row's name
    struct Case {
        const char* name;
        int32_t line;
        StandOpsAction action;
        int32_t state;
        int32_t eventCode;
    };
    const Case cases[] = {
        {"Auto-Dock Jetways", kNamed, StandOpsAction::AutoDock, 2, 0},
        {"Select other Stand...", kNamed, StandOpsAction::SelectOtherStand, 0, 2},
        {"Deselect current Stand...", kNamed, StandOpsAction::DeselectStand, 0, 0},
        {"EXIT...", kNamed, StandOpsAction::None, 0, 0},
        {"a line the page does not have", 7, StandOpsAction::None, 0, 0},
        {"menu shown", 65536, StandOpsAction::None, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandFacilitiesTextMenu fresh;
        menu = fresh;
        Build();
        const int32_t line = c.line == kNamed ? Line(c.name) : c.line;
        const StandOpsAnswer answer = menu.HandleAnswer(line, list, vdgs);
        EXPECT_EQ(answer.action, c.action);
        EXPECT_EQ(answer.object, nullptr);
        EXPECT_EQ(menu.GetAutoDockState(), c.state);
        EXPECT_EQ(menu.GetStandEventCode(), c.eventCode);
    }

    Dock(0, kJetwayA1, "1L");
    Build();
    EXPECT_EQ(menu.HandleAnswer(Line("Auto-Undock Jetways"), list, vdgs).action, StandOpsAction::AutoUndock);
    EXPECT_EQ(menu.GetAutoDockState(), 2);

    // A message line and the none text.
    handler.AddPendingDoor(kJetwayA1);
    Build();
    EXPECT_EQ(menu.HandleAnswer(Line("Automatic Undocking in progress..."), list, vdgs).action,
              StandOpsAction::ShowAgain);
    jetways = StandJetwayInfo{};
    facilities = {0, 0};
    menu.SetAutoDockState(0);
    JetwayOf(0).SetDocked(false);
    Build();
    EXPECT_EQ(menu.HandleAnswer(Line("No available Service Facilities found..."), list, vdgs).action,
              StandOpsAction::None);
}

TEST_F(StandOpsMenuTest, AnswersOfJetwayLines)
{
    // Two doors, A2 parked: the jetway menu picks the door.
    Build();
    StandOpsAnswer answer = menu.HandleAnswer(Line("Dock Gate A2 Jetway"), list, vdgs);
    EXPECT_EQ(answer.action, StandOpsAction::OpenJetwayMenu);
    EXPECT_EQ(answer.object, list.At(2));
    EXPECT_EQ(menu.GetAutoDockState(), 1);

    // Two doors, A1 docked at 2L: undock it from there.
    menu.SetAutoDockState(0);
    Dock(0, kJetwayA1, "2L");
    Build();
    const int32_t undockA1 = Line("Undock Gate A1 Jetway");
    answer = menu.HandleAnswer(undockA1, list, vdgs);
    EXPECT_EQ(answer.action, StandOpsAction::OperateJetway);
    EXPECT_EQ(answer.object, list.At(0));
    EXPECT_EQ(answer.door, "2L");

    // The door was freed since the page was built: nothing to undock.
    list.GetUserAircraft().ResetExitStates();
    EXPECT_EQ(menu.HandleAnswer(undockA1, list, vdgs).action, StandOpsAction::None);
    EXPECT_EQ(menu.GetAutoDockState(), 1);

    // One door: operate at once.
    SetExits(1);
    JetwayOf(0).SetDocked(false);
    menu.SetAutoDockState(0);
    Build();
    const int32_t dockA2 = Line("Dock Gate A2 Jetway");
    answer = menu.HandleAnswer(dockA2, list, vdgs);
    EXPECT_EQ(answer.action, StandOpsAction::OperateJetway);
    EXPECT_EQ(answer.door, "1L");

    // The doors went away since the build.
    SetExits(0);
    EXPECT_EQ(menu.HandleAnswer(dockA2, list, vdgs).action, StandOpsAction::None);
}

TEST_F(StandOpsMenuTest, AnswersOfGuidanceLines)
{
    Build();
    StandOpsAnswer answer = menu.HandleAnswer(Line("Activate VDGS A"), list, vdgs);
    EXPECT_EQ(answer.action, StandOpsAction::ActivateGuidance);
    EXPECT_EQ(answer.object, list.At(1));

    vdgstest::FakeDisplay display("EDDF", "GATE_A", 12, kGuidance);
    vdgs.RegisterVDGS(&display);
    vdgs.SetCurrentStand(display.stand);
    Build();
    EXPECT_EQ(menu.HandleAnswer(Line("Deactivate VDGS A"), list, vdgs).action, StandOpsAction::DeactivateGuidance);
}

TEST_F(StandOpsMenuTest, StaleAnswersAreRefused)
{
    Build();
    // The candidates were sorted again since the build: the entry holds another object now.
    std::swap(list.GetNearbyCandidates()[0], list.GetNearbyCandidates()[2]);
    EXPECT_EQ(menu.HandleAnswer(Line("Dock Gate A1 Jetway"), list, vdgs).action, StandOpsAction::ShowAgain);
    // The list shrank.
    list.GetNearbyCandidates().resize(1);
    EXPECT_EQ(menu.HandleAnswer(Line("Activate VDGS A"), list, vdgs).action, StandOpsAction::ShowAgain);
    // An entry of more than one object is ignored.
    list.GetNearbyCandidates() = {{{0, 2}, 1.0}};
    Build();
    EXPECT_EQ(menu.HandleAnswer(Line("Dock Gate A1 Jetway"), list, vdgs).action, StandOpsAction::None);
}

TEST_F(StandOpsMenuTest, DockedJetwayWhoseIdReadsAsMinusOneServesNoFreeDoor)
{
    // The exits keep jetway ids as int32 with -1 for "none": such an id must not match the free doors.
    list.At(0)->SetObjectId(0xFFFFFFFFu);
    jetways.objectIds[1] = 0xFFFFFFFFu;
    JetwayOf(0).SetDocked(true);
    EXPECT_EQ(Build(), Page({"Auto-Undock Jetways", "Dock Gate A2 Jetway", "Activate VDGS A", "EXIT..."}));
}

}  // namespace
