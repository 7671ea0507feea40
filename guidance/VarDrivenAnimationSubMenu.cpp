// The variable-driven animation submenu: its six lines and its answer. Main thread only.
#include "guidance/VarDrivenAnimationSubMenu.h"

#include "objects/ControllableAnimationData.h"
#include "objects/SimObject.h"

#include <log4cpp/Category.hh>

#include <string>
#include <vector>

namespace {

log4cpp::Category& MenuLog() { return log4cpp::Category::getRoot(); }

}  // namespace

void VarDrivenAnimationSubMenu::Build(const SimObject* object, bool useGroupName)
{
    ClearBuffer();
    SetSelectedIndex(-1);
    SetAnswered(false);
    builtObjectId_ = object ? object->GetObjectId() : 0;

    std::string name;
    const ControllableAnimationData* animation = nullptr;
    if (object) {
        name = useGroupName ? object->GetGroupName() : object->GetNameSuffix();
        const SimObjectModel* model = object->GetCurrentModel();
        animation = model ? model->GetAnimations()->GetControllableAnimation(0) : nullptr;
        if (!animation)
            MenuLog().error("[TEXTMENU] Object '%s' has no controllable animation for its control menu",
                            object->GetName().c_str());
    } else {
        MenuLog().error("[TEXTMENU] Control menu built without an object");
    }
    SetPrompt("Control " + name + ":");

    auto input = [animation](size_t index) { return animation ? animation->GetInputName(index) : std::string(); };
    const std::vector<std::string> items = {input(2), input(3), input(0), input(1), "BACK TO MAIN MENU...",
                                            "EXIT..."};
    BuildSubMenuText(items);
}

SubMenuAction VarDrivenAnimationSubMenu::HandleAnswer(int32_t result)
{
    OnMenuResult(result);
    if (!IsAnswered()) return SubMenuAction::None;
    const int32_t index = GetSelectedIndex();
    if (index < 0 || index >= kLineCount) return SubMenuAction::None;
    return static_cast<SubMenuAction>(index);
}

std::optional<double> VarDrivenAnimationSubMenu::ApplyAction(SubMenuAction action, AnimationData& animation)
{
    switch (action) {
    case SubMenuAction::StepForward: {
        const bool fromZero = animation.GetPosition() == 0.0;
        const double position = animation.StepForward();
        return fromZero ? position + 1.0 : position;
    }
    case SubMenuAction::StepBackward: return animation.StepBackward();
    case SubMenuAction::JumpToEnd: return animation.JumpToEnd();
    case SubMenuAction::JumpToStart: return animation.JumpToStart();
    default: return std::nullopt;
    }
}
