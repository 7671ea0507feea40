// The main in-simulator menu: a stand line when the user aircraft stands on a stand, then one line for
// each operable object nearby. The stand operations menu builds on the same items and line texts.
#pragma once

#include "guidance/FSTextMenu.h"
#include "guidance/TriggerMenuItem.h"

#include <cstdint>
#include <string>
#include <vector>

class SimObject;
class StandTextMenu;

class TriggerObjectTextMenu : public FSTextMenu {
public:
    TriggerObjectTextMenu();
    TriggerObjectTextMenu(const TriggerObjectTextMenu&) = default;
    TriggerObjectTextMenu& operator=(const TriggerObjectTextMenu&) = default;
    ~TriggerObjectTextMenu() override = default;

    void ResetAddedCount();
    bool WasItemAdded() const { return itemsAdded_; }
    uint16_t GetAddedCount() const { return objectItemsAdded_; }

    void ClearItems() { items_.clear(); }
    size_t GetItemCount() const { return items_.size(); }
    const std::vector<TriggerMenuItem>& GetItems() const { return items_; }
    // The kind of the only item; -1 unless there is exactly one.
    int32_t GetFirstItemId() const;

    // A command line: kind 32 reads *arg (null reads as no value), every kind but 31 and 32 is "VOID".
    void AddCommandItem(int32_t kind, const int32_t* arg);
    // The stand line (kind 31), its text by the stand selection menu's mode and selected stand.
    void AddCommandItem(int32_t kind, const StandTextMenu* standMenu);
    static std::string MakeCommandText(int32_t kind, const int32_t* arg);
    static std::string MakeStandLineText(int32_t kind, const StandTextMenu* standMenu);

    // Nothing for a null object.
    void AddObjectItem(const std::string& prefix, const SimObject* object, int32_t entryIndex, int32_t kind);
    static std::string MakeObjectItemText(const std::string& prefix, const SimObject* object, int32_t kind);

    // Ascending by value; items of equal value keep their order so that a rebuild shows the same page.
    // Appends an item as it is: a line of free text.
    void AddItem(const TriggerMenuItem& item) { items_.push_back(item); }
    void SortItemsByValue();

    // The page of the item texts with "EXIT..."; head and tail are cut to the item count.
    void BuildPage(const std::string& noneText, int32_t head, int32_t tail);

    // A copy of the item on the chosen line (a fixed line gives the item at its place in the list) and
    // remembers its entry index. An answer that no longer matches the items (no line chosen, a line
    // beyond the list or with another text) gives an empty item of kind 0 and leaves the memory alone.
    TriggerMenuItem GetSelectedItem();
    int32_t GetLastChosenEntry() const { return lastChosenEntry_; }

private:
    int32_t lastChosenEntry_ = 0;
    std::vector<TriggerMenuItem> items_;
    uint16_t objectItemsAdded_ = 0;
    bool itemsAdded_ = false;
};
