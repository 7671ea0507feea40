#include "guidance/TriggerObjectTextMenu.h"

#include "guidance/StandTextMenu.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <limits>

namespace {

log4cpp::Category& MenuLog() { return log4cpp::Category::getRoot(); }

// The action offered for an on/off item: its first input name while off, its second while on.
std::string ActionName(const ControllableData* data)
{
    if (!data) return {};
    return data->GetInputName(data->GetState() ? 1 : 0);
}

}  // namespace

TriggerObjectTextMenu::TriggerObjectTextMenu() { items_.reserve(10); }

void TriggerObjectTextMenu::ResetAddedCount()
{
    objectItemsAdded_ = 0;
    itemsAdded_ = false;
}

int32_t TriggerObjectTextMenu::GetFirstItemId() const
{
    return items_.size() == 1 ? items_.front().kind : -1;
}

std::string TriggerObjectTextMenu::MakeCommandText(int32_t kind, const int32_t* arg)
{
    if (kind != TriggerMenuStandSub || !arg) return "VOID";
    switch (*arg) {
    case 1: return "Deselect current Stand...";
    case 2: return "Select other Stand...";
    case 3: return "Auto-Dock Jetways";
    case 4: return "Auto-Undock Jetways";
    default: return "VOID";
    }
}

std::string TriggerObjectTextMenu::MakeStandLineText(int32_t kind, const StandTextMenu* standMenu)
{
    if (kind != TriggerMenuStand || !standMenu) return "VOID";
    switch (standMenu->GetMode()) {
    case 0:
    case 1: return "Select Stand...";
    case 2: return "Stand '" + standMenu->GetSelectedStand().GetDisplayName() + "' Options...";
    default: return "VOID";
    }
}

void TriggerObjectTextMenu::AddCommandItem(int32_t kind, const int32_t* arg)
{
    items_.push_back({-1, kind, MakeCommandText(kind, arg), -1});
}

void TriggerObjectTextMenu::AddCommandItem(int32_t kind, const StandTextMenu* standMenu)
{
    items_.push_back({-1, kind, MakeStandLineText(kind, standMenu), -1});
}

std::string TriggerObjectTextMenu::MakeObjectItemText(const std::string& prefix, const SimObject* object,
                                                      int32_t kind)
{
    if (!object) return prefix;
    const bool group = kind == TriggerMenuGroupAnimation || kind == TriggerMenuGroupVisibility ||
                       kind == TriggerMenuGroupControl;
    const std::string name = group ? object->GetGroupName() : object->GetNameSuffix();
    const SimObjectModel* model = object->GetCurrentModel();
    switch (kind) {
    case TriggerMenuVisibility:
    case TriggerMenuGroupVisibility:
        return ActionName(model ? model->GetTriggVisibility() : nullptr) + " " + name + " [V]";
    case TriggerMenuAnimation:
    case TriggerMenuGroupAnimation:
        return ActionName(model ? model->GetAnimations()->GetTriggerableAnimation(3) : nullptr) + " " + name + " [A]";
    case TriggerMenuControl:
    case TriggerMenuGroupControl:
        return "Control " + name + " [A]";
    default:
        return prefix + name;
    }
}

void TriggerObjectTextMenu::AddObjectItem(const std::string& prefix, const SimObject* object, int32_t entryIndex,
                                          int32_t kind)
{
    if (!object) return;
    int32_t value = -1;
    if (kind == TriggerMenuJetway) {
        const SimObjectModel* model = object->GetCurrentModel();
        value = model ? model->GetJetway()->GetMultiIndex() : object->GetMultiIndex();
    }
    items_.push_back({entryIndex, kind, MakeObjectItemText(prefix, object, kind), value});
    if (objectItemsAdded_ < std::numeric_limits<uint16_t>::max()) ++objectItemsAdded_;
    itemsAdded_ = true;
}

void TriggerObjectTextMenu::SortItemsByValue()
{
    std::stable_sort(items_.begin(), items_.end(),
                     [](const TriggerMenuItem& a, const TriggerMenuItem& b) { return a.value < b.value; });
}

void TriggerObjectTextMenu::BuildPage(const std::string& noneText, int32_t head, int32_t tail)
{
    std::vector<std::string> texts;
    texts.reserve(items_.size());
    for (const TriggerMenuItem& item : items_) texts.push_back(item.text);
    const int64_t n = static_cast<int64_t>(texts.size());
    const int64_t fixedHead = std::clamp<int64_t>(head, 0, n);
    const int64_t fixedTail = std::clamp<int64_t>(tail, 0, n - fixedHead);
    FSTextMenu::BuildPage(texts, noneText, nullptr, static_cast<int32_t>(fixedHead),
                          static_cast<int32_t>(fixedTail));
}

TriggerMenuItem TriggerObjectTextMenu::GetSelectedItem()
{
    const int32_t id = GetSelectedId();
    int64_t index = -1;
    if (id >= 0) {
        index = id;
    } else if (id == TextMenuFixedLine) {
        index = int64_t{GetFirstItemIndex()} + GetSelectedIndex();
    }
    // The items may have been rebuilt since the page was shown: the line must still show this item.
    if (index < 0 || index >= static_cast<int64_t>(items_.size()) ||
        items_[static_cast<size_t>(index)].text != GetSelectedText()) {
        MenuLog().warn("[TEXTMENU] Menu answer (line %d, id %d) matches no item of '%s'; ignored",
                       GetSelectedIndex(), id, GetTitle().c_str());
        return {};
    }
    const TriggerMenuItem& item = items_[static_cast<size_t>(index)];
    lastChosenEntry_ = item.entryIndex;
    return item;
}
