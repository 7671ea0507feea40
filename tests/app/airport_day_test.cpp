// orvane over the sample machine at pier B of XVLK, start to finish in one process: a stand chosen in the
// text menus, the docking guidance from activation to its verdict, the user's jetways docked and undocked
// by the aircraft's state and from the menus, and menu answers that arrive after the list changed.
#include "tests/app/ProgramHarness.h"

#include "guidance/JetwayTextMenu.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/StandTextMenu.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "guidance/VarDrivenAnimationSubMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/JetwayControl.h"
#include "objects/SimObjectList.h"
#include "objects/Jetway.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

using namespace programtest;

namespace {

constexpr const char* kExitsFile = "c/ProgramData/Quorvath/VELK/AircraftExits.ini";
// A single jetway is paired with the aircraft's door 2 when it has one, and door 1L otherwise; the
// one-jetway stand B21 reaches only the front door, so there the A320 offers that door alone.
constexpr const char* kA320FrontDoorOnly = "\n[Quorvath Sample Fleet:Quorvath_A320]\nexit.0=0.4, 42.5, -6.2, 1.0, 0\n";

// Pier B's other stand centre lines (the displays' longitudes).
constexpr double kB21Longitude = 11.50340;
constexpr double kB23Longitude = 11.50600;
// South of pier B, where the aircraft starts its roll north to the stands.
constexpr double kApproachLatitude = 48.0990;

constexpr const char* kB744 = "Quorvath B744";
constexpr double kB744NoseWheel = 84.0 * 0.3048;
// At a stand whose single jetway meets the nose door, the guidance leads door 1L (and a little ahead of
// its sill) onto the centre line instead.
constexpr double kA320Door1LAhead = 42.5 * 0.3048 + 0.55;
constexpr double kA320Door1LLeft = 6.2 * 0.3048;
constexpr double kMetresPerDegreeLongitude = kMetresPerDegreeLatitude * 0.667833;  // cos 48.1

std::string Settings(bool stateDocking)
{
    return std::string("[General]\nPrimaryHotkeyDisable=false\nSecondaryTextMenuHotkey=Ctrl+Shift+V\n"
                       "[JetwaySystem]\nJetwaySoundEnable=false\nAircraftStateTriggeredAutoDockingEnable=") +
           (stateDocking ? "true" : "false") + "\n[AISystem]\nDetectionEnable=false\n";
}

class AirportDay : public ::testing::Test {
protected:
    // The text menus live as long as the process: each test starts with fresh ones.
    AirportDay()
    {
        program::StandMenu() = StandTextMenu();
        program::TriggerMenu() = TriggerObjectTextMenu();
        program::StandOpsMenu() = StandFacilitiesTextMenu();
        program::JetwayMenu() = JetwayTextMenu();
        program::AnimationMenu() = VarDrivenAnimationSubMenu();
    }

    // The program started with the scenery loaded and the aircraft of the folder standing still on the
    // ground, nose north, at the latitude and longitude given.
    void StartWith(const std::string& aircraftFolder, double latitude, double longitude, bool stateDocking = false)
    {
        program_.AddFile(kSettingsFile, Settings(stateDocking));
        program_.Sim().SetGroundElevation(kXvlkAltitudeFeet);
        program_.Start();
        program_.ConnectJetwayParts();
        program_.AnswerJetwayJobs();
        simulator::Simulator& sim = program_.Sim();
        sim.SetNumber(0, "SIM ON GROUND", "Bool", 1);
        sim.SetNumber(0, "NUMBER OF ENGINES", "Number", 2);
        sim.SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 0);
        sim.SetNumber(0, "LIGHT BEACON", "Number", 1);
        program_.PlaceUser(latitude, longitude, UserAltitude(aircraftFolder), 0.0);
        program_.Run(3000);
        program_.LoadUserAircraft(aircraftFolder);
        program_.Run(3000);
    }

    // The reference point's altitude with the wheels on the ground (aircraft.cfg, feet).
    static double UserAltitude(const std::string& folder)
    {
        return kXvlkAltitudeFeet + (folder == kB744 ? 17.6 : 10.2);
    }

    void AppendToMachineFile(const std::string& relative, const std::string& text)
    {
        std::ofstream(program_.Root() / relative, std::ios::binary | std::ios::app) << text;
    }

    std::vector<std::string> MenuLines()
    {
        const auto menu = program_.Sim().OpenMenu();
        return menu ? menu->lines : std::vector<std::string>{};
    }

    // Answers the open menu with its first line that holds the text; false when none does.
    bool Choose(const std::string& text)
    {
        const std::vector<std::string> lines = MenuLines();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(text) != std::string::npos) {
                const bool chosen = program_.Sim().ChooseMenuLine(static_cast<int>(i));
                program_.Run(500);
                return chosen;
            }
        return false;
    }

    // The secondary text-menu key: the reserved key's event is in no notification group, and the stand-in
    // simulator hands client events to group members only.
    void PressMenuKey()
    {
        ASSERT_TRUE(program_.Sim().PressKey("Ctrl+Shift+V"));
        program_.Run(500);
    }

    // Main menu, "Select Stand...", the category, the number.
    void SelectStandInMenu(const std::string& number)
    {
        PressMenuKey();
        ASSERT_TRUE(Choose("Select Stand...")) << Dump();
        ASSERT_TRUE(Choose("GATE_B")) << Dump();
        ASSERT_TRUE(Choose(number)) << Dump();
    }

    std::string Dump()
    {
        std::string text;
        if (const auto menu = program_.Sim().OpenMenu()) {
            text = menu->title + " / " + menu->prompt + ":";
            for (const std::string& line : menu->lines) text += "\n  " + line;
        } else {
            text = "no menu open";
        }
        return text;
    }

    size_t Count(const std::string& title)
    {
        const std::vector<std::string> titles = program_.CreatedTitles();
        return static_cast<size_t>(std::count(titles.begin(), titles.end(), title));
    }

    bool Printed(const std::string& part)
    {
        for (const simulator::TextInfo& text : program_.Sim().Texts())
            if (text.text.find(part) != std::string::npos) return true;
        return false;
    }

    // The active guidance; null when none is active.
    VDGS* Guidance()
    {
        VDGSHandler* handler = program::Parts().vdgsHandler.get();
        VDGSDisplayObject* display = handler ? handler->GetActiveVDGS() : nullptr;
        return display ? display->GetCurrentVDGS() : nullptr;
    }

    int32_t State()
    {
        VDGS* guidance = Guidance();
        return guidance ? guidance->GetState() : -1;
    }

    // The title of pier B's display on a stand's centre line, as the simulator holds it.
    std::string DisplayTitle(double longitude)
    {
        for (const simulator::ObjectInfo& info : program_.Sim().Objects()) {
            if (info.createdBy != "Orvane VELK" || info.title.find("VDGS") == std::string::npos) continue;
            const auto lat = program_.Sim().Number(info.id, "PLANE LATITUDE", "degrees");
            const auto lon = program_.Sim().Number(info.id, "PLANE LONGITUDE", "degrees");
            if (lat && lon && std::fabs(*lat - kDisplayLatitude) < 1e-6 && std::fabs(*lon - longitude) < 1e-6)
                return info.title;
        }
        return "";
    }

    // The user's jetways that the program holds as docked.
    size_t DockedJetways()
    {
        size_t docked = 0;
        SimObjectList& active = *program::Parts().activeObjects;
        for (int32_t i = 0; i < active.Count(); ++i) {
            SimObject* object = active.At(i);
            if (!object->HasObjectFeature(FeatureJetway) || !object->IsInSimulation()) continue;
            SimObjectModel* model = object->GetCurrentModel();
            if (model && model->GetJetway()->IsDocked()) ++docked;
        }
        return docked;
    }

    std::string Jobs()
    {
        std::string text = "jobs:";
        for (const auto& job : program_.AnsweredJobs())
            text += " " + std::to_string(job.first) + (job.second ? " docked" : " undocked");
        return text;
    }

    ProgramHarness program_;
};

TEST_F(AirportDay, TheStandChosenInTheMenuSwitchesItsDisplayAndJetwaysOn)
{
    StartWith(kA320, kApproachLatitude, kB22Longitude);
    ASSERT_EQ(DisplayTitle(kB22Longitude), "Quorvath_VELK_VDGS_Static");

    PressMenuKey();
    const auto main = program_.Sim().OpenMenu();
    ASSERT_TRUE(main.has_value());
    EXPECT_EQ(main->title, "Orvane 1.7.1");
    EXPECT_EQ(main->lines.front(), "Select Stand...");
    EXPECT_EQ(main->blockBytes, 1024u);  // the whole menu text, whatever its lines use
    ASSERT_TRUE(Choose("Select Stand..."));
    ASSERT_EQ(program_.Sim().OpenMenu()->title, "VELK Stand Selection") << Dump();
    ASSERT_TRUE(Choose("XVLK:GATE_B")) << Dump();
    EXPECT_EQ(MenuLines(), (std::vector<std::string>{"11", "21", "22", "23", "BACK TO STAND CATEGORY SELECTION..."}));
    // GATE_B's first stand (11) has no designator; 21 to 23 are "Pier B" and are named so.
    EXPECT_EQ(program_.Sim().OpenMenu()->prompt, "Select Stand Number at Pier B: [Page 1 of 1]:");
    ASSERT_TRUE(Choose("22")) << Dump();

    EXPECT_TRUE(Printed("[VELK] You have selected following Stand: Pier B 22.\nA-VDGS is activated..."));
    EXPECT_EQ(DisplayTitle(kB22Longitude), "Quorvath_VELK_VDGS_Honeywell_M");
    EXPECT_EQ(Count("Quorvath_VELK_JetwayH"), 2u);
    EXPECT_EQ(Count("Quorvath_VELK_JetwayH_Static"), 2u);  // B23's two stay static
    EXPECT_NE(Guidance(), nullptr);
    // The stand operations page follows for the selected stand.
    ASSERT_TRUE(program_.Sim().OpenMenu().has_value());
    EXPECT_EQ(program_.Sim().OpenMenu()->title, "VELK Stand Operations");
    EXPECT_EQ(program_.Sim().OpenMenu()->prompt, "Select Option for Stand 'Pier B 22': [Page 1 of 1]:");

    // Another stand: the first one's display and jetways go back to their static models.
    ASSERT_TRUE(Choose("Select other Stand...")) << Dump();
    ASSERT_TRUE(Choose("XVLK:GATE_B")) << Dump();
    ASSERT_TRUE(Choose("23")) << Dump();
    EXPECT_EQ(DisplayTitle(kB22Longitude), "Quorvath_VELK_VDGS_Static");
    EXPECT_EQ(DisplayTitle(kB23Longitude), "Quorvath_VELK_VDGS_Std_M");
    EXPECT_EQ(Count("Quorvath_VELK_JetwayH"), 2u);
    EXPECT_EQ(Count("Quorvath_VELK_JetwayT"), 1u);
}

// Another client sends the menu events as fast as it likes: a show of a menu that is on its way to the
// simulator is not sent again, so the menu opens once, and a later burst closes it and opens it once more.
TEST_F(AirportDay, MenuEventsOfAnotherClientShowEachMenuOnceWhileItsShowIsOnItsWay)
{
    StartWith(kA320, kApproachLatitude, kB22Longitude);
    HANDLE other = nullptr;
    ASSERT_EQ(SimConnect_Open(&other, "Other client", nullptr, 0, nullptr, 0), S_OK);
    constexpr DWORD kShow = 7;
    SimConnect_MapClientEventToSimEvent(other, kShow, "VELK.ShowMainMenu");
    const auto burst = [&] {
        program_.Sim().ClearTimeline();
        for (int i = 0; i < 50; ++i)
            SimConnect_TransmitClientEvent(other, SIMCONNECT_OBJECT_ID_USER, kShow, 0xFFFFFFFFu,
                                           SIMCONNECT_GROUP_PRIORITY_HIGHEST, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        program_.Run(500);
        size_t shows = 0;
        for (const std::string& line : program_.Sim().Timeline())
            if (line.find("menu 'Orvane 1.7.1' from 'Orvane VELK'") != std::string::npos) ++shows;
        return shows;
    };
    EXPECT_EQ(burst(), 1u);
    ASSERT_TRUE(program_.Sim().OpenMenu().has_value());
    EXPECT_EQ(program_.Sim().OpenMenu()->title, "Orvane 1.7.1");
    EXPECT_EQ(burst(), 1u) << "closed by the first, shown again by the second, not by the others";
    SimConnect_Close(other);
}

TEST_F(AirportDay, TheJetwayMenuDocksAndUndocksOneJetwayAtTheChosenDoor)
{
    StartWith(kA320, kDisplayLatitude - (42.0 + kA320NoseWheel) / kMetresPerDegreeLatitude, kB22Longitude);
    program_.Sim().SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 1);
    SelectStandInMenu("22");
    ASSERT_EQ(program_.Sim().OpenMenu()->title, "VELK Stand Operations") << Dump();

    // The jetway's line opens the jetway page; its door line sends the one job.
    ASSERT_TRUE(Choose("Dock B22 Jetway Front")) << Dump();
    ASSERT_EQ(MenuLines(), (std::vector<std::string>{"Dock to Door 1L", "Dock to Door 2L",
                                                     "BACK TO STAND OPTIONS MENU..."}))
        << Dump();
    ASSERT_TRUE(Choose("Dock to Door 1L")) << Dump();
    program_.Run(1000);
    ASSERT_EQ(program_.AnsweredJobs().size(), 1u) << Jobs();
    EXPECT_TRUE(program_.AnsweredJobs()[0].second);
    EXPECT_EQ(DockedJetways(), 1u);
    // Back on the stand operations page, which now offers the undocking.
    ASSERT_EQ(program_.Sim().OpenMenu()->title, "VELK Stand Operations") << Dump();
    ASSERT_TRUE(Choose("Undock B22 Jetway Front")) << Dump();
    program_.Run(1000);
    ASSERT_EQ(program_.AnsweredJobs().size(), 2u) << Jobs();
    EXPECT_EQ(program_.AnsweredJobs()[1].first, program_.AnsweredJobs()[0].first);
    EXPECT_FALSE(program_.AnsweredJobs()[1].second);
    EXPECT_EQ(DockedJetways(), 0u);
}

// Another stand chosen while the first one's display guides: the first display's guidance is reset with
// it, so that choosing the first stand again starts its guidance from standby, not from where it stood.
TEST_F(AirportDay, ChoosingAStandAgainStartsItsGuidanceAfresh)
{
    StartWith(kA320, kApproachLatitude, kB22Longitude);
    SelectStandInMenu("22");
    program_.Run(5000);
    ASSERT_EQ(State(), 3) << "approach";

    ASSERT_TRUE(Choose("Select other Stand...")) << Dump();
    ASSERT_TRUE(Choose("XVLK:GATE_B")) << Dump();
    ASSERT_TRUE(Choose("23")) << Dump();

    ASSERT_TRUE(Choose("Select other Stand...")) << Dump();
    ASSERT_TRUE(Choose("XVLK:GATE_B")) << Dump();
    ASSERT_TRUE(Choose("22")) << Dump();
    program_.Run(1000);
    EXPECT_EQ(State(), 1) << "activated afresh";
}

// "Reload All!" reads the settings file again, and the jobs after it follow the new file: whether the
// jetway turns with its tunnel held level, and whether its sound plays.
TEST_F(AirportDay, ReloadAllChangesTheJetwaySettingsOfTheNextJob)
{
    StartWith(kA320, kDisplayLatitude - (42.0 + kA320NoseWheel) / kMetresPerDegreeLatitude, kB22Longitude);
    program_.Sim().SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 1);
    const JetwayControl& control = *program::Parts().jetwayControl;
    // The file does not say ForceHorizontalJetwayForRotation, and it switches the sound off.
    EXPECT_FALSE(control.GetSettings().forceHorizontalForRotation);
    EXPECT_FALSE(control.GetSettings().jetwaySoundEnabled);
    SelectStandInMenu("22");
    ASSERT_TRUE(Choose("Dock B22 Jetway Front")) << Dump();
    ASSERT_TRUE(Choose("Dock to Door 1L")) << Dump();
    program_.Run(1000);
    ASSERT_EQ(program_.AnsweredJobs().size(), 1u) << Jobs();
    EXPECT_FALSE(program_.LastJob().LevelFirst);

    std::ofstream(program_.Root() / kSettingsFile, std::ios::binary | std::ios::trunc)
        << "[General]\nSecondaryTextMenuHotkey=Ctrl+Shift+V\n[JetwaySystem]\nJetwaySoundEnable=true\n"
           "ForceHorizontalJetwayForRotation=true\n";
    ASSERT_TRUE(program_.Sim().ChooseAddonMenuItem("VELK 1.7.1", "Reload All!"));
    program_.Run(3000);
    EXPECT_TRUE(control.GetSettings().forceHorizontalForRotation);
    EXPECT_TRUE(control.GetSettings().jetwaySoundEnabled);

    PressMenuKey();
    ASSERT_TRUE(Choose("Options...")) << Dump();
    ASSERT_TRUE(Choose("Dock B22 Jetway Front")) << Dump();
    ASSERT_TRUE(Choose("Dock to Door 1L")) << Dump();
    program_.Run(1000);
    ASSERT_EQ(program_.AnsweredJobs().size(), 2u) << Jobs();
    EXPECT_TRUE(program_.LastJob().LevelFirst);
}

// A page built from the objects near the aircraft is answered after the aircraft moved away and the
// bubble was rebuilt: the line names objects that are gone.
TEST_F(AirportDay, AJetwayPageAnsweredAfterTheBubbleChangedShowsTheMainMenuAgain)
{
    StartWith(kA320, kDisplayLatitude - (42.0 + kA320NoseWheel) / kMetresPerDegreeLatitude, kB22Longitude);
    SelectStandInMenu("22");
    ASSERT_TRUE(Choose("Dock B22 Jetway Front")) << Dump();
    ASSERT_EQ(MenuLines().front(), "Dock to Door 1L") << Dump();

    program_.PlaceUser(kXvlkLatitude + 2.0, kXvlkLongitude, kXvlkAltitudeFeet + 3000.0);
    program_.Run(8000);
    ASSERT_TRUE(program_.CreatedTitles().empty());
    ASSERT_EQ(MenuLines().front(), "Dock to Door 1L") << Dump();
    ASSERT_TRUE(Choose("Dock to Door 1L")) << Dump();
    program_.Run(1000);
    EXPECT_TRUE(program_.AnsweredJobs().empty()) << Jobs();
    EXPECT_TRUE(program_.CreatedTitles().empty());
    const auto menu = program_.Sim().OpenMenu();
    ASSERT_TRUE(menu.has_value());
    EXPECT_EQ(menu->title, "Orvane 1.7.1") << Dump();
}

// A rebuild can leave the page's entry in place but put another jetway there: the door line was meant for
// the jetway the page was built for, so it moves nothing.
TEST_F(AirportDay, AJetwayPageAnsweredAfterAnotherJetwayTookItsEntryMovesNothing)
{
    StartWith(kA320, kDisplayLatitude - (42.0 + kA320NoseWheel) / kMetresPerDegreeLatitude, kB22Longitude);
    SelectStandInMenu("22");
    ASSERT_TRUE(Choose("Dock B22 Jetway Rear")) << Dump();
    ASSERT_EQ(MenuLines().front(), "Dock to Door 1L") << Dump();

    // The entry the page came from now names the front jetway, which reaches door 1L.
    SimObjectList& active = *program::Parts().activeObjects;
    const int32_t entry = program::StandOpsMenu().GetSelectedItem().entryIndex;
    ASSERT_GE(entry, 0);
    ASSERT_LT(static_cast<size_t>(entry), active.GetNearbyCandidates().size());
    int32_t front = -1;
    for (int32_t i = 0; i < active.Count(); ++i)
        if (active.At(i)->GetName() == "XVLK_PierB:B22 Jetway Front") front = i;
    ASSERT_GE(front, 0);
    active.GetNearbyCandidates()[static_cast<size_t>(entry)].indices = {front};

    ASSERT_TRUE(Choose("Dock to Door 1L")) << Dump();
    program_.Run(1000);
    EXPECT_TRUE(program_.AnsweredJobs().empty()) << Jobs();
    EXPECT_EQ(DockedJetways(), 0u);
}

TEST_F(AirportDay, AStandPageAnsweredAfterTheBubbleChangedDoesNoHarm)
{
    StartWith(kA320, kApproachLatitude, kB22Longitude);
    PressMenuKey();
    ASSERT_TRUE(Choose("Select Stand...")) << Dump();
    ASSERT_TRUE(Choose("XVLK:GATE_B")) << Dump();

    program_.PlaceUser(kXvlkLatitude + 2.0, kXvlkLongitude, kXvlkAltitudeFeet + 3000.0);
    program_.Run(8000);
    ASSERT_TRUE(program_.CreatedTitles().empty());
    ASSERT_TRUE(Choose("22")) << Dump();
    program_.Run(1000);
    EXPECT_TRUE(program_.CreatedTitles().empty());
    EXPECT_FALSE(program::StandMenu().IsStandSelected());
    EXPECT_EQ(Guidance(), nullptr);
    // The category page again, for no airport.
    ASSERT_TRUE(program_.Sim().OpenMenu().has_value());
    EXPECT_EQ(MenuLines(), std::vector<std::string>{"No Stands available!"}) << Dump();
}

// "Reload All!" rebuilds the bubble while the controllable-animation page is open: the page names an
// object of the old bubble, so the main menu is shown again for the new one.
TEST_F(AirportDay, AReloadWithTheAnimationPageOpenShowsTheMainMenuAgain)
{
    StartWith(kA320, kApproachLatitude, kB22Longitude);
    PressMenuKey();
    ASSERT_TRUE(Choose("Control Remote Stairs")) << Dump();
    ASSERT_EQ(program_.Sim().OpenMenu()->prompt, "Control Remote Stairs:") << Dump();
    ASSERT_TRUE(program_.Sim().ChooseAddonMenuItem("VELK 1.7.1", "Reload All!"));
    program_.Run(8000);
    const auto menu = program_.Sim().OpenMenu();
    ASSERT_TRUE(menu.has_value());
    EXPECT_EQ(menu->title, "Orvane 1.7.1") << Dump();
}

struct GuidanceCase {
    const char* name;
    double overshootMetres;  // where the aircraft comes to rest, past the stop
    int32_t verdict;
};

class AirportGuidance : public AirportDay, public ::testing::WithParamInterface<GuidanceCase> {};

TEST_P(AirportGuidance, TheDisplayLeadsTheAircraftToTheStopAndGivesItsVerdict)
{
    const GuidanceCase& c = GetParam();
    StartWith(kA320, kApproachLatitude, kB22Longitude);
    SelectStandInMenu("22");
    ASSERT_NE(Guidance(), nullptr);

    std::vector<int32_t> states;
    const auto note = [&] {
        const int32_t state = State();
        if (states.empty() || states.back() != state) states.push_back(state);
    };
    // Rolls north along the centre line at 3 m/s to where it comes to rest: the stop (the display's first
    // reading, taken standing, says how far it is) and the overshoot.
    const double target =
        kApproachLatitude + (Guidance()->GetDistanceToStop() + c.overshootMetres) / kMetresPerDegreeLatitude;
    double latitude = kApproachLatitude;
    program_.Sim().SetNumber(0, "GROUND VELOCITY", "Knots", 6.0);
    while (latitude < target) {
        latitude = std::min(target, latitude + 0.15 / kMetresPerDegreeLatitude);
        program_.Sim().SetUserPosition(latitude, kB22Longitude, UserAltitude(kA320), 0, 0, 0);
        program_.Run(50);
        note();
    }
    for (int frame = 0; frame < 4; ++frame) {
        program_.Run(50);
        note();
    }
    ASSERT_EQ(State(), 5) << ::testing::PrintToString(states) << " " << Guidance()->GetDistanceToStop();
    program_.Sim().SetNumber(0, "GROUND VELOCITY", "Knots", 0.0);
    program_.Sim().SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 1);
    for (int frame = 0; frame < 600 && Guidance(); ++frame) {
        program_.Run(50);
        note();
    }
    // Activated, approach, guidance, stop, stop check, the verdict, ending, off.
    EXPECT_EQ(states, (std::vector<int32_t>{1, 3, 4, 5, 6, c.verdict, 10, -1})) << ::testing::PrintToString(states);
    EXPECT_EQ(DisplayTitle(kB22Longitude), "Quorvath_VELK_VDGS_Static");
}

INSTANTIATE_TEST_SUITE_P(Sample, AirportGuidance,
                         ::testing::Values(GuidanceCase{"OnTheStop", 0.0, 7}, GuidanceCase{"TooFar", 2.5, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DockingCase {
    const char* name;
    const char* aircraft;
    double longitude, stopMetres;
    double aimAheadMetres;  // the guided point ahead of the reference point
    double aimLeftMetres;   // and left of it: the aircraft stands that far right of the centre line
    bool frontDoorOnly;     // the aircraft's exits replaced by its front left door alone
    size_t jetways;
    std::vector<std::string> doors;  // the doors the jetways serve
};

class AirportDocking : public AirportDay, public ::testing::WithParamInterface<DockingCase> {};

TEST_P(AirportDocking, TheAircraftsStateDocksAndUndocksTheStandsJetways)
{
    const DockingCase& c = GetParam();
    const double latitude = kDisplayLatitude - (c.stopMetres + c.aimAheadMetres) / kMetresPerDegreeLatitude;
    if (c.frontDoorOnly) AppendToMachineFile(kExitsFile, kA320FrontDoorOnly);
    StartWith(c.aircraft, latitude, c.longitude + c.aimLeftMetres / kMetresPerDegreeLongitude, true);
    // Parked: brake set, engines off; the beacon still on keeps the jetways where they are.
    program_.Sim().SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 1);
    program_.Run(8000);
    EXPECT_TRUE(program_.AnsweredJobs().empty());

    program_.Sim().SetNumber(0, "LIGHT BEACON", "Number", 0);
    program_.Run(8000);
    ASSERT_EQ(program_.AnsweredJobs().size(), c.jetways) << Jobs();
    for (const auto& job : program_.AnsweredJobs()) EXPECT_TRUE(job.second);
    EXPECT_EQ(DockedJetways(), c.jetways);

    // The beacon comes on with an engine running: no undocking yet; it follows once the engine stops.
    program_.Sim().SetNumber(0, "GENERAL ENG RPM:1", "Number", 1500);
    program_.Sim().SetNumber(0, "LIGHT BEACON", "Number", 1);
    program_.Run(8000);
    EXPECT_EQ(program_.AnsweredJobs().size(), c.jetways) << Jobs();
    EXPECT_EQ(DockedJetways(), c.jetways);
    program_.Sim().SetNumber(0, "GENERAL ENG RPM:1", "Number", 0);
    program_.Run(8000);
    ASSERT_EQ(program_.AnsweredJobs().size(), 2 * c.jetways) << Jobs();
    for (size_t i = c.jetways; i < 2 * c.jetways; ++i) EXPECT_FALSE(program_.AnsweredJobs()[i].second);
    EXPECT_EQ(DockedJetways(), 0u);
    // The log names each job's door, the way in and the way back.
    for (const std::string& door : c.doors) {
        SCOPED_TRACE(door);
        EXPECT_EQ(program_.Log().Count("] docking to door " + door + " of the user aircraft"), 1);
        EXPECT_EQ(program_.Log().Count("] undocking from door " + door + " of the user aircraft"), 1);
    }
    EXPECT_EQ(program_.Log().Count("INFO VELK.FSLOOP : [JETWAY JOB] Jetway "), static_cast<int>(2 * c.jetways));
}

// The stand operations page holds the automatic docking back while it is open. A bubble reset takes the
// page away; were it still counted as open, the parked aircraft would never get its jetways.
TEST_F(AirportDay, AfterABubbleResetTheClosedStandPageNoLongerHoldsTheDockingBack)
{
    StartWith(kA320, kDisplayLatitude - (42.0 + kA320NoseWheel) / kMetresPerDegreeLatitude, kB22Longitude, true);
    SelectStandInMenu("22");
    ASSERT_EQ(program_.Sim().OpenMenu()->title, "VELK Stand Operations") << Dump();

    FSProcess::RequestPositionInit(1);
    program_.Run(8000);
    EXPECT_FALSE(program::StandOpsMenu().IsDisplayed());
    program_.Sim().SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 1);
    program_.Sim().SetNumber(0, "LIGHT BEACON", "Number", 0);
    program_.Run(8000);
    EXPECT_EQ(program_.AnsweredJobs().size(), 2u) << Jobs();
    EXPECT_EQ(DockedJetways(), 2u);
}

// A stand whose jetways serve none of the aircraft's doors (here B22's two jetways renumbered 5 and 6)
// docks nothing; the log says why in one INFO line, however often the aircraft's state asks again.
TEST_F(AirportDay, ADockingThatNoJetwayCanServeSaysWhyOnce)
{
    const std::filesystem::path pier = program_.Root() / "c/ProgramData/Quorvath/VELK/xml/XVLK/XVLK_PierB.xml";
    std::string text;
    {
        std::ifstream in(pier, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const size_t b22 = text.find("AfcadParkingNumber=\"22\"");
    ASSERT_NE(b22, std::string::npos);
    for (const char* index : {"1", "2"}) {
        const std::string from = std::string("MultiIndex=\"") + index + "\"";
        const size_t at = text.find(from, b22);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, from.size(), std::string("MultiIndex=\"") + (index[0] == '1' ? "5" : "6") + "\"");
    }
    std::ofstream(pier, std::ios::binary | std::ios::trunc) << text;

    StartWith(kA320, kDisplayLatitude - (42.0 + kA320NoseWheel) / kMetresPerDegreeLatitude, kB22Longitude, true);
    program_.Sim().SetNumber(0, "BRAKE PARKING INDICATOR", "Number", 1);
    program_.Sim().SetNumber(0, "LIGHT BEACON", "Number", 0);
    program_.Run(20000);
    EXPECT_TRUE(program_.AnsweredJobs().empty()) << Jobs();
    EXPECT_EQ(program_.Log().Count("INFO VELK.FSLOOP : [JETWAY CONTROL SYSTEM] No jetway of stand XVLK GATE_B 22 can "
                                   "serve a door of the user aircraft (doors 1L, 2L; jetway MultiIndex 5, 6): nothing "
                                   "docks."),
              1);
}

INSTANTIATE_TEST_SUITE_P(
    Sample, AirportDocking,
    ::testing::Values(DockingCase{"OneJetwayB21", kA320, kB21Longitude, 16.7, kA320Door1LAhead, kA320Door1LLeft, true, 1,
                                  {"1L"}},
                      DockingCase{"TwoJetwaysB22", kA320, kB22Longitude, 42.0, kA320NoseWheel, 0.0, false, 2,
                                  {"1L", "2L"}},
                      DockingCase{"ThreeJetwaysB23", kB744, kB23Longitude, 34.0, kB744NoseWheel, 0.0, false, 3,
                                  {"1L", "2L", "1L Upper"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
