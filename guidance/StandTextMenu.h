// The stand selection menu: a category page listing the stand categories of the airport around the user
// aircraft, then a number page listing the stands of the chosen category. It also keeps the selected
// stand and a backup of the last completed selection, which the other menus, the docking guidance, the
// jetway docking and the API read. One instance for the whole run, main thread only.
#pragma once

#include "guidance/FSTextMenu.h"
#include "objects/StandData.h"

#include <cstdint>
#include <map>
#include <string>

class JetwayHandler;
class VDGSHandler;

// What the caller has left to do after an answer of the shown menu.
enum class StandMenuAction {
    None,              // nothing
    ShowStandsMenu,    // send "VELK.ShowStandsMenu" again (low priority)
    ShowMainMenu,      // send "VELK.ShowMainMenu"
    ActivateStand,     // activate the selected stand (message printed), BackupSelection, re-show the menu
};

class StandTextMenu : public FSTextMenu {
public:
    static constexpr int32_t kModeCategory = 0;
    static constexpr int32_t kModeNumber = 1;
    static constexpr int32_t kModeSelected = 2;

    StandTextMenu() = default;
    ~StandTextMenu() override = default;

    // Builds the page of the current mode for the airport; the caller shows it with result event 24.
    void Build(const std::string& airportIcao, const JetwayHandler& jetways, const VDGSHandler& vdgs);
    // A chosen category line (or a stand key "ICAO:GATE") sets airport, gate name and designator.
    void OnSelect(const std::string& text);
    // A chosen number line sets the number of the selected stand.
    void ParseStandNumber(const std::string& text);
    // Fills the designator and number maps as a build would, without writing a page. True when any custom
    // designator or custom number was found.
    bool CollectStands(const std::string& airportIcao, const JetwayHandler& jetways, const VDGSHandler& vdgs);

    // Takes the simulator's answer for the shown menu and does the menu's own part of it: paging, mode
    // changes, the category and number choices. The caller does what the action says, then waits 25 ms
    // and marks the menu not displayed when a line was chosen (IsAnswered).
    StandMenuAction HandleAnswer(int32_t result);

    void SetSelectedStandNumber(int32_t number) { selected_.SetNumber(number, "0", false); }
    void MarkSelectedStand() { selected_.SetSelectedByApi(); }
    void Reset();
    bool IsStandSelected() const { return selected_.IsSet(); }
    int32_t GetMode() const { return mode_; }
    void SetMode(int32_t mode) { mode_ = mode; }
    StandData GetSelectedStand() const { return selected_; }
    StandData GetPreviousStand() const { return previous_; }
    void BackupSelection() { previous_ = selected_; }
    void RestoreSelection();
    bool IsSameAsPrevious() const { return selected_.IsSameStand(previous_); }
    bool IsSelectedStand(const StandData& stand) const { return selected_.IsSameStand(stand); }

    const std::map<std::string, std::string>& GetDesignatorMap() const { return designators_; }
    const std::map<std::string, int32_t>& GetNumberMap() const { return numbers_; }

    // The integer value of the leading decimal number of a text (blanks skipped, optional sign), 0 when
    // the text does not begin with one; held to the int32 range. The order of the menu lines.
    static int32_t LeadingNumber(const std::string& text);

private:
    // A stand with a custom designator enters its custom number (a later one overwrites an earlier one).
    void EnterCustomNumber(const StandData& stand, int32_t number);

    int32_t mode_ = kModeCategory;
    StandData selected_;
    StandData previous_;
    // custom designator -> stand key
    std::map<std::string, std::string> designators_;
    // custom number -> parking number, for the stands of the selected stand key
    std::map<std::string, int32_t> numbers_;
    // custom number -> the custom designator of that number's own stand: a key's stands need not share
    // one, and the key's category line may have named none
    std::map<std::string, std::string> numberDesignators_;
    // The mode the shown page was built in: an answer to a page of another mode is stale.
    int32_t builtMode_ = -1;
};
