// The variable-driven animation submenu: the unpaged page on which the user moves a controllable
// animation of one object (or of every object of a group) step by step or to its end points.
// One instance for the whole run, main thread only.
#pragma once

#include "guidance/FSTextMenu.h"

#include <cstdint>
#include <optional>

class AnimationData;
class SimObject;

// The line chosen on the page, by its place: the page always has these six lines.
enum class SubMenuAction : int32_t {
    None = -1,         // no line chosen
    StepForward = 0,   // third input name
    StepBackward = 1,  // fourth input name
    JumpToEnd = 2,     // first input name
    JumpToStart = 3,   // second input name
    BackToMainMenu = 4,
    Exit = 5,
};

class VarDrivenAnimationSubMenu : public FSTextMenu {
public:
    static constexpr int32_t kLineCount = 6;

    VarDrivenAnimationSubMenu() = default;
    VarDrivenAnimationSubMenu(const VarDrivenAnimationSubMenu&) = default;
    VarDrivenAnimationSubMenu& operator=(const VarDrivenAnimationSubMenu&) = default;
    ~VarDrivenAnimationSubMenu() override = default;

    // Prompt "Control " + name + ":" (the group name with useGroupName), then the input names of the
    // current model's controllable animation slot 0 in the order third, fourth, first, second, then
    // "BACK TO MAIN MENU..." and "EXIT...". A null object, or one without that animation, is logged and
    // gets blank lines for the missing names: the page keeps its six lines.
    void Build(const SimObject* object, bool useGroupName);
    // The simulator object id of the object the page was last built for; 0 when it was not in the
    // simulation. The answer acts only while the chosen entry still names that object.
    uint32_t GetBuiltObjectId() const { return builtObjectId_; }

    // Takes the simulator's answer: the chosen line, or None. The caller applies a movement to every
    // object of the main menu's chosen entry (ApplyAction), writes each new position to its object, and
    // after the last object shows the submenu again (event 16), or the main menu (event 15) for
    // BackToMainMenu; an entry that no longer names the object the page was built for moves nothing and
    // shows the main menu. In every case it then marks the main menu and this page not displayed.
    SubMenuAction HandleAnswer(int32_t result);

    // Moves the animation as the line says and returns the position to write to the object; a step forward
    // from exactly 0 writes one more than the new position. Nothing (and no movement) for the other lines.
    static std::optional<double> ApplyAction(SubMenuAction action, AnimationData& animation);

private:
    uint32_t builtObjectId_ = 0;
};
