// The jetway control menu: the page on which the user docks one jetway to a door of the user aircraft or
// undocks it, opened from a jetway line of the main menu or of the stand operations menu.
// One instance for the whole run, main thread only.
#pragma once

#include "guidance/FSTextMenu.h"

#include <cstdint>
#include <string>
#include <vector>

class SimObject;
class UserAircraft;

// What the caller has left to do after an answer of the shown jetway menu.
enum class JetwayMenuAction {
    None,            // no line chosen, or an answer the page cannot account for
    ShowAgain,       // a page line was chosen: show this menu again (event 18 from stand operations, else 17)
    Back,            // back line or none text: event 19 from stand operations, else event 15 with the menu configuration
    OperateDoor,     // clear the pending doors and operate the jetway for the door; from stand operations then event 19
};

struct JetwayMenuAnswer {
    JetwayMenuAction action = JetwayMenuAction::None;
    std::string door;  // the door of an OperateDoor answer
};

class JetwayTextMenu : public FSTextMenu {
public:
    static constexpr const char* kTitle = "VELK Jetway Control";
    static constexpr const char* kStandOpsTitle = "VELK Stand Operations // Jetway Control";
    static constexpr const char* kNoConfigLine = "No 'jetway.cfg' found for this Jetway. Unable to operate!";
    static constexpr const char* kNoDoorText = "No dockable Aircraft Door available!";

    JetwayTextMenu() = default;
    JetwayTextMenu(const JetwayTextMenu&) = default;
    JetwayTextMenu& operator=(const JetwayTextMenu&) = default;
    ~JetwayTextMenu() override = default;

    // Selects the title, the back line and where the answer returns to.
    void SetFromStandOps(bool fromStandOps) { fromStandOps_ = fromStandOps; }
    bool IsFromStandOps() const { return fromStandOps_; }

    // Builds the page for the jetway object (named by its group with useGroupName) and the doors of the
    // aircraft, front door first: "Undock from Door " for the door a docked jetway serves, "Dock to Door "
    // for every free door of an undocked one, one no-configuration line per door for a jetway without
    // "jetway.cfg". A null object or aircraft is logged and gives the page without door lines. A page for
    // another jetway than the last one starts on page 1.
    void Build(const SimObject* jetwayObject, bool useGroupName, const UserAircraft* aircraft);

    // Takes the simulator's answer and does the menu's own part (paging). The caller does what the answer
    // says, then waits 25 ms and marks the menu not displayed when a line was chosen (IsAnswered).
    JetwayMenuAnswer HandleAnswer(int32_t result);

    // The simulator object id of the jetway the page was built for; 0 when it was built for none. The
    // caller checks it against the jetway it finds again before operating it.
    uint32_t GetBuiltJetwayId() const { return builtJetwayId_; }
    // The door of each item line of the whole list, in list order.
    const std::vector<std::string>& GetDoorNames() const { return doorNames_; }

private:
    bool fromStandOps_ = false;
    uint32_t builtJetwayId_ = 0;
    bool built_ = false;
    std::vector<std::string> doorNames_;
};
