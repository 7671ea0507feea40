#include "guidance/StandTextMenu.h"

#include "guidance/VDGSHandler.h"
#include "jetway/JetwayHandler.h"
#include "objects/SimObject.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <climits>
#include <set>
#include <vector>

namespace {

log4cpp::Category& MenuLog() { return log4cpp::Category::getRoot(); }

const char* const kNone = "NONE";
const char* const kOccupiedSuffix = " [Already occupied by AI]";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The leading decimal number of text as strtol reads it. False when the text does not begin with digits
// (after blanks and a sign) or the number is outside the int32 range.
bool ReadLeadingInt(const std::string& text, int32_t& value, bool& outOfRange)
{
    outOfRange = false;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t digits = i;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        // Past this bound the value can only grow out of range: stop accumulating, keep reading.
        if (magnitude <= int64_t{INT32_MAX} + 1) magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (i == digits) return false;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) {
        outOfRange = true;
        value = negative ? INT32_MIN : INT32_MAX;
        return false;
    }
    value = static_cast<int32_t>(signedValue);
    return true;
}

// The object that stands for a key of the jetway stand list: the first one under its smallest number.
const SimObject* FirstJetwayObject(const JetwayHandler::StandNumbers& numbers)
{
    if (numbers.empty() || numbers.begin()->second.empty()) return nullptr;
    return numbers.begin()->second.front();
}

const VDGSDisplayObject* FirstVdgsObject(const VDGSHandler::StandNumberMap& numbers)
{
    return numbers.empty() ? nullptr : numbers.begin()->second;
}

// Jetway stand numbers are unsigned; a number that no int32 holds is no stand of the menus.
bool ToMenuNumber(uint32_t number, int32_t& out)
{
    if (number > static_cast<uint32_t>(INT32_MAX)) return false;
    out = static_cast<int32_t>(number);
    return true;
}

VDGSDisplayObject* FindVdgs(const VDGSHandler& vdgs, const std::string& key, int32_t number)
{
    const auto& map = vdgs.GetStandMap();
    const auto k = map.find(key);
    if (k == map.end()) return nullptr;
    const auto n = k->second.find(number);
    return n == k->second.end() ? nullptr : n->second;
}

// The display objects keep their stand record as a plain member; the handler's interface only hands it
// out read-only, so the occupancy mark is written through it here.
void MarkVdgsOccupied(VDGSDisplayObject* display, bool occupied)
{
    if (display) const_cast<StandData&>(display->GetStandData()).SetOccupiedByAI(occupied);
}

// "ICAO:GATE" split at its first ":"; a missing or empty part is "NONE", which no stand has.
void SplitStandKey(const std::string& key, std::string& airport, std::string& gate)
{
    const size_t colon = key.find(':');
    if (colon == std::string::npos) {
        airport = kNone;
        gate = kNone;
        return;
    }
    airport = key.substr(0, colon);
    gate = key.substr(colon + 1);
    if (airport.empty()) airport = kNone;
    if (gate.empty()) gate = kNone;
}

// A stand key: an airport ident of any length (three to five characters are common), ":", the gate.
bool IsStandKey(const std::string& text)
{
    const size_t colon = text.find(':');
    return colon != std::string::npos && colon > 0 && colon + 1 < text.size();
}

}  // namespace

int32_t StandTextMenu::LeadingNumber(const std::string& text)
{
    int32_t value = 0;
    bool outOfRange = false;
    if (ReadLeadingInt(text, value, outOfRange) || outOfRange) return value;
    return 0;
}

void StandTextMenu::Build(const std::string& airportIcao, const JetwayHandler& jetways, const VDGSHandler& vdgs)
{
    ClearBuffer();
    designators_.clear();
    numbers_.clear();
    numberDesignators_.clear();
    SetAnswered(false);
    SetTitle("VELK Stand Selection");

    const auto& jetwayStands = jetways.GetStandList();
    const auto& vdgsStands = vdgs.GetStandMap();
    std::set<std::string> lines;
    std::string noneText;
    std::string exitLabel;

    auto addCategory = [&](const std::string& key, const StandData& stand) {
        if (stand.GetAirportIcao() != airportIcao) return;
        if (stand.HasCustomDesignator()) {
            designators_[stand.GetCustomDesignator()] = key;
            lines.insert(stand.GetCustomDesignator());
        } else {
            lines.insert(key);
        }
    };
    // Each stand is named from its own record: the category line may have named another stand of the key.
    auto setNumberPrompt = [&](const StandData& stand) {
        SetPrompt("Select Stand Number at " +
                  (stand.HasCustomDesignator() ? stand.GetCustomDesignator() : stand.GetGateName()) + ":");
    };
    // The line of one number; enters the custom number into the number map.
    auto numberLine = [&](const StandData& stand, int32_t number) {
        setNumberPrompt(stand);
        if (!stand.HasCustomDesignator()) return std::to_string(number);
        EnterCustomNumber(stand, number);
        return stand.GetCustomNumber();
    };

    if (mode_ == kModeCategory) {
        SetPrompt("Select Stand Category:");
        for (const auto& [key, numbers] : jetwayStands)
            if (const SimObject* object = FirstJetwayObject(numbers)) addCategory(key, object->GetStandData());
        for (const auto& [key, numbers] : vdgsStands) {
            if (jetwayStands.count(key)) continue;
            if (const VDGSDisplayObject* object = FirstVdgsObject(numbers)) addCategory(key, object->GetStandData());
        }
        noneText = "No Stands available!";
        exitLabel = "BACK TO MAIN MENU...";
    } else if (mode_ == kModeNumber) {
        const std::string key = selected_.GetStandKey();
        const auto jetwayKey = jetwayStands.find(key);
        if (jetwayKey != jetwayStands.end()) {
            for (const auto& [rawNumber, objects] : jetwayKey->second) {
                int32_t number = 0;
                if (objects.empty() || !objects.front() || !ToMenuNumber(rawNumber, number)) continue;
                std::string line = numberLine(objects.front()->GetStandData(), number);
                VDGSDisplayObject* display = FindVdgs(vdgs, key, number);
                for (const SimObject* object : objects) {
                    if (!object) continue;
                    if (object->GetStandData().IsOccupiedByAI()) {
                        line += kOccupiedSuffix;
                        MarkVdgsOccupied(display, true);
                        break;
                    }
                    MarkVdgsOccupied(display, false);
                }
                lines.insert(line);
            }
        }
        const auto vdgsKey = vdgsStands.find(key);
        if (vdgsKey != vdgsStands.end()) {
            for (const auto& [number, display] : vdgsKey->second) {
                if (!display || number < 0) continue;
                if (jetwayKey != jetwayStands.end() && jetwayKey->second.count(static_cast<uint32_t>(number))) continue;
                const StandData& stand = display->GetStandData();
                std::string line = numberLine(stand, number);
                if (stand.IsOccupiedByAI()) line += kOccupiedSuffix;
                lines.insert(line);
            }
        }
        noneText = "No Stands available at '" +
                   (selected_.HasCustomDesignator() ? selected_.GetCustomDesignator() : selected_.GetGateName()) +
                   "'!";
        exitLabel = "BACK TO STAND CATEGORY SELECTION...";
    }

    // Byte order first, then by leading number: "2" before "10", equal numbers keep byte order.
    std::vector<std::string> items(lines.begin(), lines.end());
    std::vector<std::pair<int32_t, size_t>> order;
    order.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) order.emplace_back(LeadingNumber(items[i]), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> sorted;
    sorted.reserve(items.size());
    for (const auto& entry : order) sorted.push_back(std::move(items[entry.second]));

    BuildPage(sorted, noneText, exitLabel.c_str(), 0, 0);
    builtMode_ = mode_;
}

void StandTextMenu::OnSelect(const std::string& text)
{
    std::string key = text;
    std::string designator = kNone;
    bool custom = false;
    if (!designators_.empty()) {
        const auto found = designators_.find(text);
        if (found != designators_.end()) {
            key = found->second;
            designator = text;
            custom = true;
        } else if (IsStandKey(text)) {
            for (const auto& [name, standKey] : designators_) {
                if (standKey == text) {
                    designator = name;
                    custom = true;
                    break;
                }
            }
            // A plain key beside custom designators (a stand without one at such an airport) selects
            // its stand as it is.
        } else {
            key.clear();
        }
    }
    std::string airport;
    std::string gate;
    SplitStandKey(key, airport, gate);
    selected_.SetStand(airport, gate, designator, custom);
}

void StandTextMenu::ParseStandNumber(const std::string& text)
{
    const auto found = numbers_.find(text);
    if (found != numbers_.end()) {
        // The stand's own designator: the category line may have been a plain key of a stand without one.
        const auto own = numberDesignators_.find(text);
        if (own != numberDesignators_.end() && own->second != selected_.GetCustomDesignator())
            selected_.SetStand(selected_.GetAirportIcao(), selected_.GetGateName(), own->second, true);
        selected_.SetNumber(found->second, text, true);
        return;
    }
    // A plain number: with no custom numbers, or a stand without one under a key that has some.
    int32_t number = 0;
    bool outOfRange = false;
    if (!ReadLeadingInt(text, number, outOfRange)) {
        MenuLog().warn("[STANDMENU] Stand number '%s' is %s; no stand selected", text.c_str(),
                       outOfRange ? "out of range" : "not a number");
        number = 0;
    }
    selected_.SetNumber(number, "0", false);
}

bool StandTextMenu::CollectStands(const std::string& airportIcao, const JetwayHandler& jetways,
                                  const VDGSHandler& vdgs)
{
    designators_.clear();
    numbers_.clear();
    numberDesignators_.clear();
    const auto& jetwayStands = jetways.GetStandList();
    const auto& vdgsStands = vdgs.GetStandMap();

    auto addDesignator = [&](const std::string& key, const StandData& stand) {
        if (stand.GetAirportIcao() == airportIcao && stand.HasCustomDesignator())
            designators_[stand.GetCustomDesignator()] = key;
    };
    for (const auto& [key, numbers] : jetwayStands)
        if (const SimObject* object = FirstJetwayObject(numbers)) addDesignator(key, object->GetStandData());
    for (const auto& [key, numbers] : vdgsStands)
        if (const VDGSDisplayObject* object = FirstVdgsObject(numbers)) addDesignator(key, object->GetStandData());

    const std::string key = selected_.GetStandKey();
    if (const auto k = jetwayStands.find(key); k != jetwayStands.end()) {
        for (const auto& [rawNumber, objects] : k->second) {
            int32_t number = 0;
            if (objects.empty() || !objects.front() || !ToMenuNumber(rawNumber, number)) continue;
            const StandData& stand = objects.front()->GetStandData();
            if (stand.HasCustomDesignator()) EnterCustomNumber(stand, number);
        }
    }
    if (const auto k = vdgsStands.find(key); k != vdgsStands.end()) {
        for (const auto& [number, display] : k->second) {
            if (!display) continue;
            const StandData& stand = display->GetStandData();
            if (stand.HasCustomDesignator()) EnterCustomNumber(stand, number);
        }
    }
    return !designators_.empty() || !numbers_.empty();
}

StandMenuAction StandTextMenu::HandleAnswer(int32_t result)
{
    OnMenuResult(result);
    if (!IsAnswered()) return StandMenuAction::None;

    const int32_t id = GetSelectedId();
    if (id == TextMenuPrevLine || id == TextMenuNextLine) {
        if (id == TextMenuPrevLine) PrevPage();
        else NextPage();
        return StandMenuAction::ShowStandsMenu;
    }
    if (id == TextMenuExitLine || id == TextMenuNoneLine) {
        ResetPage();
        if (mode_ == kModeCategory) {
            if (IsStandSelected()) {
                RestoreSelection();
                mode_ = kModeSelected;
            }
            return StandMenuAction::ShowMainMenu;
        }
        if (mode_ == kModeNumber) {
            mode_ = kModeCategory;
            return StandMenuAction::ShowStandsMenu;
        }
        return StandMenuAction::None;
    }
    if (id < 0) return StandMenuAction::None;

    // The page may be older than the current mode (the stand was taken by AI, a reload): its line is
    // no longer what it named, so show the current page instead.
    if (builtMode_ != mode_) {
        MenuLog().warn("[STANDMENU] Answer for a page of mode %d while in mode %d ignored", builtMode_, mode_);
        return mode_ == kModeSelected ? StandMenuAction::None : StandMenuAction::ShowStandsMenu;
    }
    const std::string text = GetSelectedText();
    if (mode_ == kModeCategory) {
        OnSelect(text);
        mode_ = kModeNumber;
        return StandMenuAction::ShowStandsMenu;
    }
    if (mode_ == kModeNumber) {
        if (text.find("occupied") != std::string::npos) return StandMenuAction::ShowStandsMenu;
        ParseStandNumber(text);
        return StandMenuAction::ActivateStand;
    }
    return StandMenuAction::None;
}

void StandTextMenu::EnterCustomNumber(const StandData& stand, int32_t number)
{
    numbers_[stand.GetCustomNumber()] = number;
    numberDesignators_[stand.GetCustomNumber()] = stand.GetCustomDesignator();
}

void StandTextMenu::Reset()
{
    selected_.Clear();
    previous_.Clear();
    designators_.clear();
    numbers_.clear();
    numberDesignators_.clear();
    mode_ = kModeCategory;
}

void StandTextMenu::RestoreSelection()
{
    if (previous_.IsSet()) selected_ = previous_;
}
