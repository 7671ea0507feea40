// The stand operations menu: the page of the stand the user has selected. Dock or undock each jetway of
// the stand, dock or undock all of them automatically, switch the stand's docking guidance, deselect
// the stand or pick another one. One instance for the whole run, main thread only.
#pragma once

#include "guidance/TriggerObjectTextMenu.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>

class JetwayHandler;
class SimObjectList;
class StandData;
class VDGSHandler;
struct StandJetwayInfo;

// What the caller has left to do after an answer of the shown stand operations menu. "Re-show" is
// "VELK.ShowStandsMenu" (event 19, low priority), which rebuilds this page.
enum class StandOpsAction {
    None,              // nothing (no line chosen, the exit line, the none text, a stale answer)
    ShowAgain,         // re-show
    DeselectStand,     // FSProcess::DeselectStand (true)
    SelectOtherStand,  // stand selection menu: BackupSelection, mode 0; then re-show
    AutoDock,          // dock all jetways of the stand for the user aircraft; then re-show
    AutoUndock,        // undock them; then re-show
    OpenJetwayMenu,    // "VELK.ShowJetwayMenuStandOps" (event 18): the jetway control menu picks the door
    OperateJetway,     // clear the pending doors, operate the jetway for the door; then re-show
    ActivateGuidance,  // VDGSHandler::SetCurrentStand (selected stand), show model 1, re-create the object
                       // ("VDGS Manual Activation"); then re-show
    DeactivateGuidance,  // guidance to standby, show model 0, re-create the object ("VDGS Manual
                         // De-Activation"), forget the active VDGS; then re-show
};

struct StandOpsAnswer {
    StandOpsAction action = StandOpsAction::None;
    SimObject* object = nullptr;  // the jetway or guidance object of the chosen line
    std::string door;             // the door of OperateJetway
};

class StandFacilitiesTextMenu : public TriggerObjectTextMenu {
public:
    static constexpr const char* kTitle = "VELK Stand Operations";
    static constexpr const char* kNoneText = "No available Service Facilities found...";

    // Jetway line status of the last build.
    static constexpr int32_t kJetwayLinesOffered = 0;
    static constexpr int32_t kNoStandJetwayFound = 1;
    static constexpr int32_t kNoJetwayLineOffered = 2;

    // Auto-docking state.
    static constexpr int32_t kAutoDockIdle = 0;
    static constexpr int32_t kAutoDockSingle = 1;  // one jetway was operated from this page
    static constexpr int32_t kAutoDockRunning = 2;  // an automatic docking or undocking runs

    StandFacilitiesTextMenu() = default;
    StandFacilitiesTextMenu(const StandFacilitiesTextMenu&) = default;
    StandFacilitiesTextMenu& operator=(const StandFacilitiesTextMenu&) = default;
    ~StandFacilitiesTextMenu() override = default;

    void SetStandEventCode(int32_t code) { standEventCode_ = code; }
    int32_t GetStandEventCode() const { return standEventCode_; }
    // States other than 0, 1 and 2 are refused (logged; the state stays).
    void SetAutoDockState(int32_t state);
    int32_t GetAutoDockState() const { return autoDockState_; }
    int32_t GetJetwayLineStatus() const { return jetwayLineStatus_; }

    // Appends the message line {-1, -1, text, -1}.
    void AddPlainItem(const std::string& text);

    // Builds the page of the stand. jetways: the stand's jetways from the jetway handler (ids 0 are
    // skipped); facilities: (found, object id) of the stand's guidance display from the VDGS handler. The
    // active list's nearby candidates are walked in their present order (the caller sorts them by
    // distance); only objects of the menu configuration get lines.
    void Build(const StandData& stand, SimObjectList& activeList, int32_t configuration,
               const StandJetwayInfo& jetways, std::pair<uint32_t, uint32_t> facilities, const VDGSHandler& vdgs,
               const JetwayHandler& jetwayHandler);

    // Takes the simulator's answer and does the menu's own part: paging, the auto-docking state, the
    // stand event code. The chosen line's object is found again in the active list and must be the one
    // the page was built with. The caller does what the answer says, then waits 25 ms and marks the menu
    // not displayed when a line was chosen (IsAnswered).
    StandOpsAnswer HandleAnswer(int32_t result, SimObjectList& activeList, const VDGSHandler& vdgs);

private:
    StandOpsAnswer AnswerJetwayLine(SimObject& object, SimObjectList& activeList);

    int32_t jetwayLineStatus_ = kJetwayLinesOffered;
    int32_t standEventCode_ = 0;
    int32_t autoDockState_ = kAutoDockIdle;
    // entry index -> simulator object id of every object line of the last build
    std::map<int32_t, uint32_t> builtEntries_;
};
