#include "guidance/JetwayTextMenu.h"

#include "MenuTestSupport.h"
#include "aircraft/UserAircraft.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using menutest::MakeJetway;
using menutest::PageLines;
using Lines = std::vector<std::string>;

constexpr int32_t kDisplayed = 65536;

// Doors at x: 1L 10 (front), 1L Upper 8, 2L -5 (rear); jetway ids as given (-1 free).
UserAircraft MakeAircraft(int32_t jetway1L = -1, int32_t jetway2L = -1, int32_t jetwayUpper = -1)
{
    UserAircraft aircraft;
    auto exit = [](double x, int32_t jetway) {
        ExitData e;
        e.x = x;
        e.SetJetwayId(jetway);
        return e;
    };
    aircraft.AddExit(exit(10.0, jetway1L), 1);
    aircraft.AddExit(exit(-5.0, jetway2L), 2);
    aircraft.AddUpperExit(exit(8.0, jetwayUpper), 1);
    return aircraft;
}

TEST(JetwayMenu, PageByJetwayAndDoors)
{
    struct Case {
        const char* name;
        bool docked;
        bool config;
        uint32_t objectId;
        UserAircraft aircraft;
        Lines lines;  // after title and prompt
        std::vector<int32_t> ids;
    };
    const std::string none = "No dockable Aircraft Door available!";
    const std::string noCfg = "No 'jetway.cfg' found for this Jetway. Unable to operate!";
    const Case cases[] = {
        {"undocked: free doors, front first", false, true, 42, MakeAircraft(-1, 77, -1),
         {"Dock to Door 1L", "Dock to Door 1L Upper", "BACK TO MAIN MENU..."}, {0, 1, -2}},
        {"docked: only the door it serves", true, true, 42, MakeAircraft(-1, 42, 77),
         {"Undock from Door 2L", "BACK TO MAIN MENU..."}, {0, -2}},
        {"docked, no door names it", true, true, 42, MakeAircraft(77, -1, -1), {none}, {-1}},
        {"every door served by others", false, true, 42, MakeAircraft(5, 6, 7), {none}, {-1}},
        {"no jetway.cfg: one line per door", false, false, 42, MakeAircraft(-1, 42, 77),
         {noCfg, noCfg, noCfg, "BACK TO MAIN MENU..."}, {0, 1, 2, -2}},
        {"aircraft without exits", false, true, 42, UserAircraft(), {none}, {-1}},
        // Id 0 names no object: a docked jetway not yet created serves no door, even one marked 0.
        {"docked, object id 0", true, true, 0, MakeAircraft(0, -1, -1), {none}, {-1}},
        // An id that reads as -1 in the exit's field must not match every free door.
        {"docked, id reading as -1", true, true, 0xFFFFFFFFu, MakeAircraft(), {none}, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimObject jetway = MakeJetway("EDDF:Gate A1 Jetway", c.objectId, 1);
        jetway.GetCurrentModel()->GetJetway()->SetDocked(c.docked);
        jetway.GetCurrentModel()->GetJetway()->SetConfig(c.config);
        JetwayTextMenu menu;
        menu.Build(&jetway, false, &c.aircraft);
        Lines expected = {"VELK Jetway Control", "Control Gate A1 Jetway: [Page 1 of 1]:"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(PageLines(menu), expected);
        EXPECT_EQ(menu.GetLineIds(), c.ids);
        EXPECT_EQ(menu.GetBuiltJetwayId(), c.objectId);
    }
}

TEST(JetwayMenu, StandOpsTitleBackLineAndGroupName)
{
    SimObject jetway = MakeJetway("EDDF:Gate A1 Jetway", 42, 1, "Pier A");
    UserAircraft aircraft = MakeAircraft(-1, 9, 9);
    JetwayTextMenu menu;
    EXPECT_FALSE(menu.IsFromStandOps());
    menu.SetFromStandOps(true);
    EXPECT_TRUE(menu.IsFromStandOps());
    menu.Build(&jetway, true, &aircraft);
    EXPECT_EQ(PageLines(menu), (Lines{"VELK Stand Operations // Jetway Control", "Control Pier A: [Page 1 of 1]:",
                                      "Dock to Door 1L", "BACK TO STAND OPTIONS MENU..."}));
}

TEST(JetwayMenu, AnswersNameTheDoorOrTheWayBack)
{
    SimObject jetway = MakeJetway("EDDF:Gate A1 Jetway", 42, 1);
    UserAircraft aircraft = MakeAircraft();
    JetwayTextMenu menu;
    menu.Build(&jetway, false, &aircraft);  // 1L, 1L Upper, 2L, back

    JetwayMenuAnswer shown = menu.HandleAnswer(kDisplayed);
    EXPECT_EQ(shown.action, JetwayMenuAction::None);
    EXPECT_TRUE(menu.IsDisplayed());
    EXPECT_FALSE(menu.IsAnswered());

    JetwayMenuAnswer door = menu.HandleAnswer(1);
    EXPECT_EQ(door.action, JetwayMenuAction::OperateDoor);
    EXPECT_EQ(door.door, "1L Upper");
    EXPECT_EQ(menu.HandleAnswer(2).door, "2L");
    EXPECT_EQ(menu.HandleAnswer(3).action, JetwayMenuAction::Back);
    // A line the page does not have (an answer to an older page) is no choice.
    EXPECT_EQ(menu.HandleAnswer(4).action, JetwayMenuAction::None);
    EXPECT_FALSE(menu.IsAnswered());
    EXPECT_EQ(menu.HandleAnswer(9).action, JetwayMenuAction::None);
    EXPECT_EQ(menu.HandleAnswer(-7).action, JetwayMenuAction::None);

    // The none text leads back as the back line does.
    UserAircraft noExits;
    menu.Build(&jetway, false, &noExits);
    EXPECT_EQ(menu.HandleAnswer(0).action, JetwayMenuAction::Back);

    // A line without configuration still names its door: the operation itself refuses the jetway.
    jetway.GetCurrentModel()->GetJetway()->SetConfig(false);
    menu.Build(&jetway, false, &aircraft);
    EXPECT_EQ(menu.HandleAnswer(0).door, "1L");
}

TEST(JetwayMenu, MoreThanNineDoorsArePaged)
{
    UserAircraft aircraft;
    for (int32_t n = 1; n <= 10; ++n) {
        ExitData exit;
        exit.x = 100.0 - n;
        aircraft.AddExit(exit, n);
    }
    SimObject jetway = MakeJetway("EDDF:Gate A1 Jetway", 42, 1);
    JetwayTextMenu menu;
    menu.Build(&jetway, false, &aircraft);
    Lines page1 = PageLines(menu);
    ASSERT_EQ(page1.size(), 12u);
    EXPECT_EQ(page1[1], "Control Gate A1 Jetway: [Page 1 of 2]:");
    EXPECT_EQ(page1[2], "Dock to Door 1L");
    EXPECT_EQ(page1[9], "Dock to Door 8L");
    EXPECT_EQ(page1[10], "NEXT...");
    EXPECT_EQ(page1[11], "BACK TO MAIN MENU...");

    EXPECT_EQ(menu.HandleAnswer(8).action, JetwayMenuAction::ShowAgain);
    menu.Build(&jetway, false, &aircraft);
    EXPECT_EQ(PageLines(menu), (Lines{"VELK Jetway Control", "Control Gate A1 Jetway: [Page 2 of 2]:",
                                      "Dock to Door 9L", "Dock to Door 10L", "PREV...", "BACK TO MAIN MENU..."}));
    // Items on page 2 keep their list index: the door is the right one.
    EXPECT_EQ(menu.HandleAnswer(1).door, "10L");
    EXPECT_EQ(menu.GetCurrentPage(), 1);

    // Back to page 2, then the page of another jetway starts on page 1.
    menu.NextPage();
    menu.Build(&jetway, false, &aircraft);
    EXPECT_EQ(menu.HandleAnswer(2).action, JetwayMenuAction::ShowAgain);  // PREV...
    EXPECT_EQ(menu.GetCurrentPage(), 1);
    menu.NextPage();
    SimObject other = MakeJetway("EDDF:Gate A2 Jetway", 43, 2);
    menu.Build(&other, false, &aircraft);
    EXPECT_EQ(menu.GetCurrentPage(), 1);
}

TEST(JetwayMenu, MissingObjectOrAircraftGivesTheNonePage)
{
    UserAircraft aircraft = MakeAircraft();
    SimObject jetway = MakeJetway("EDDF:Gate A1 Jetway", 42, 1);
    JetwayTextMenu menu;
    menu.Build(nullptr, false, &aircraft);
    EXPECT_EQ(PageLines(menu), (Lines{"VELK Jetway Control", "Control : [Page 1 of 1]:",
                                      "No dockable Aircraft Door available!"}));
    EXPECT_EQ(menu.GetBuiltJetwayId(), 0u);
    menu.Build(&jetway, false, nullptr);
    EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{-1}));

    // An object without a current model has no jetway: treated as one without configuration.
    jetway.SetCurrentModelIndex(3);
    menu.Build(&jetway, false, &aircraft);
    EXPECT_EQ(PageLines(menu)[2], "No 'jetway.cfg' found for this Jetway. Unable to operate!");
}

}  // namespace
