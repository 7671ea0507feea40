#include "guidance/VarDrivenAnimationSubMenu.h"

#include "MenuTestSupport.h"
#include "objects/ControllableAnimationData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using menutest::PageLines;
using Lines = std::vector<std::string>;

SimObject MakeControllable()
{
    SimObject object;
    object.SetName("EDDF:Hangar Door");
    object.SetGroupName("Hangar");
    SimObjectModel& model = object.AddModel("Hangar door");
    model.GetFeatures()->Set(26);
    model.GetControllableAnimation(0)->SetInputNames({"Open fully", "Close fully", "Open a bit", "Close a bit"});
    object.SetCurrentModelIndex(0);
    return object;
}

TEST(AnimationSubMenu, SixLinesWithoutPageCounter)
{
    SimObject object = MakeControllable();
    VarDrivenAnimationSubMenu menu;
    menu.SetSelectedIndex(3);
    menu.Build(&object, false);
    EXPECT_EQ(PageLines(menu), (Lines{"VOID", "Control Hangar Door:", "Open a bit", "Close a bit", "Open fully",
                                      "Close fully", "BACK TO MAIN MENU...", "EXIT..."}));
    EXPECT_EQ(menu.GetSelectedIndex(), -1);
    EXPECT_EQ(menu.GetPageCount(), 1);

    menu.Build(&object, true);
    EXPECT_EQ(PageLines(menu)[1], "Control Hangar:");
}

TEST(AnimationSubMenu, MissingObjectOrNamesKeepSixLines)
{
    VarDrivenAnimationSubMenu menu;
    menu.Build(nullptr, false);
    EXPECT_EQ(PageLines(menu), (Lines{"VOID", "Control :", " ", " ", " ", " ", "BACK TO MAIN MENU...", "EXIT..."}));

    SimObject object = MakeControllable();
    object.GetCurrentModel()->GetControllableAnimation(0)->SetInputNames({"Open", "Close"});
    menu.Build(&object, false);
    EXPECT_EQ(PageLines(menu), (Lines{"VOID", "Control Hangar Door:", " ", " ", "Open", "Close",
                                      "BACK TO MAIN MENU...", "EXIT..."}));
    // Line 4 ("BACK TO MAIN MENU...") is still where the answer expects it.
    EXPECT_EQ(menu.HandleAnswer(4), SubMenuAction::BackToMainMenu);

    object.SetCurrentModelIndex(-1);
    menu.Build(&object, false);
    EXPECT_EQ(PageLines(menu).size(), 8u);
}

TEST(AnimationSubMenu, AnswerByLine)
{
    SimObject object = MakeControllable();
    VarDrivenAnimationSubMenu menu;
    menu.Build(&object, false);
    const SubMenuAction expected[] = {SubMenuAction::StepForward,    SubMenuAction::StepBackward,
                                      SubMenuAction::JumpToEnd,      SubMenuAction::JumpToStart,
                                      SubMenuAction::BackToMainMenu, SubMenuAction::Exit};
    for (int32_t line = 0; line < 6; ++line) EXPECT_EQ(menu.HandleAnswer(line), expected[line]) << line;
    for (int32_t result : {6, 9, -1, 65536}) EXPECT_EQ(menu.HandleAnswer(result), SubMenuAction::None) << result;
    EXPECT_TRUE(menu.IsDisplayed());
}

TEST(AnimationSubMenu, ApplyActionMovesTheAnimation)
{
    ControllableAnimationData animation;
    animation.SetKeyframes(0, 100, 0, 4.0);  // 25 keyframes a second at 25 steps a second: 1 per step
    // From exactly 0 the written position is one more than the animation's.
    EXPECT_EQ(VarDrivenAnimationSubMenu::ApplyAction(SubMenuAction::StepForward, animation), 2.0);
    EXPECT_EQ(animation.GetPosition(), 1.0);
    EXPECT_EQ(VarDrivenAnimationSubMenu::ApplyAction(SubMenuAction::StepForward, animation), 2.0);
    EXPECT_EQ(VarDrivenAnimationSubMenu::ApplyAction(SubMenuAction::StepBackward, animation), 1.0);
    EXPECT_EQ(VarDrivenAnimationSubMenu::ApplyAction(SubMenuAction::JumpToEnd, animation), 100.0);
    EXPECT_EQ(VarDrivenAnimationSubMenu::ApplyAction(SubMenuAction::JumpToStart, animation), 0.0);
    for (SubMenuAction action : {SubMenuAction::BackToMainMenu, SubMenuAction::Exit, SubMenuAction::None})
        EXPECT_FALSE(VarDrivenAnimationSubMenu::ApplyAction(action, animation).has_value());
    EXPECT_EQ(animation.GetPosition(), 0.0);  // "EXIT..." changes nothing
}

}  // namespace
