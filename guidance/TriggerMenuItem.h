// One line of the main menu and of the stand operations menu: what the line operates and its text.
#pragma once

#include <cstdint>
#include <string>

// Kinds of command and message lines; any other kind is the feature number of the object the line operates.
enum TriggerMenuKind : int32_t {
    TriggerMenuMessage = -1,
    TriggerMenuNothing = 0,  // an empty item: a stale answer, nothing to act on
    TriggerMenuJetway = 3,
    TriggerMenuGuidance = 4,
    TriggerMenuVisibility = 22,
    TriggerMenuAnimation = 25,
    TriggerMenuControl = 26,
    TriggerMenuGroupAnimation = 27,
    TriggerMenuGroupVisibility = 28,
    TriggerMenuGroupControl = 29,
    TriggerMenuStand = 31,
    TriggerMenuStandSub = 32,
};

struct TriggerMenuItem {
    // Index in the distance-sorted object entry list; -1 for command and message lines.
    int32_t entryIndex = -1;
    int32_t kind = TriggerMenuNothing;
    std::string text;
    // A jetway line's multi-index (the sort key); -1 for command lines.
    int32_t value = -1;
};
