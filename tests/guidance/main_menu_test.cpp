#include "guidance/TriggerObjectTextMenu.h"

#include "guidance/StandTextMenu.h"
#include "objects/SimObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SimObject MakeObject(const std::string& name, std::vector<int32_t> features, const std::string& group = "Group")
{
    SimObject object;
    object.SetName(name);
    object.SetGroupName(group);
    SimObjectModel& model = object.AddModel("Title " + name);
    for (int32_t f : features) model.GetFeatures()->Set(f);
    object.SetCurrentModelIndex(0);
    return object;
}

// The selectable lines of the page, in order.
std::vector<std::string> PageLines(const FSTextMenu& menu)
{
    std::vector<std::string> lines;
    const char* p = menu.GetBuffer();
    const char* end = p + menu.GetBufferSize();
    while (p < end && *p) {
        lines.emplace_back(p);
        p += lines.back().size() + 1;
    }
    return lines;
}

TEST(MainMenuItemText, ObjectLinesByKind)
{
    SimObject object = MakeObject("EDDF:Pushback Truck", {22, 25, 26, 27, 28, 29}, "Trucks");
    struct Case {
        int32_t kind;
        bool stateOn;
        std::string text;
    } cases[] = {
        {22, false, "A Pushback Truck [V]"},       {22, true, "B Pushback Truck [V]"},
        {28, false, "A Trucks [V]"},               {25, false, "A Pushback Truck [A]"},
        {25, true, "B Pushback Truck [A]"},        {27, true, "B Trucks [A]"},
        {26, false, "Control Pushback Truck [A]"}, {29, false, "Control Trucks [A]"},
        {4, false, "pre Pushback Truck"},
    };
    for (const Case& c : cases) {
        SimObjectModel* model = object.GetCurrentModel();
        model->GetTriggVisibility()->SetState(c.stateOn);
        model->GetTriggerableAnimation(3)->SetState(c.stateOn);
        EXPECT_EQ(TriggerObjectTextMenu::MakeObjectItemText("pre ", &object, c.kind), c.text) << c.kind;
    }
}

TEST(MainMenuItemText, OwnInputNamesAndMissingOnes)
{
    SimObject object = MakeObject("Door", {22});
    object.GetCurrentModel()->GetTriggVisibility()->SetInputNames({"Open"});
    EXPECT_EQ(TriggerObjectTextMenu::MakeObjectItemText("", &object, 22), "Open Door [V]");
    object.GetCurrentModel()->GetTriggVisibility()->SetState(true);
    // No second name: the action is empty rather than a read past the list.
    EXPECT_EQ(TriggerObjectTextMenu::MakeObjectItemText("", &object, 22), " Door [V]");
    // No current model.
    object.SetCurrentModelIndex(5);
    EXPECT_EQ(TriggerObjectTextMenu::MakeObjectItemText("", &object, 25), " Door [A]");
    EXPECT_EQ(TriggerObjectTextMenu::MakeObjectItemText("x", nullptr, 25), "x");
}

TEST(MainMenuCommandText, Kinds)
{
    struct Case {
        int32_t kind;
        int32_t arg;
        std::string text;
    } cases[] = {
        {32, 1, "Deselect current Stand..."}, {32, 2, "Select other Stand..."}, {32, 3, "Auto-Dock Jetways"},
        {32, 4, "Auto-Undock Jetways"},        {32, 0, "VOID"},                  {32, 5, "VOID"},
        {22, 1, "VOID"},
    };
    for (const Case& c : cases) EXPECT_EQ(TriggerObjectTextMenu::MakeCommandText(c.kind, &c.arg), c.text);
    EXPECT_EQ(TriggerObjectTextMenu::MakeCommandText(32, nullptr), "VOID");

    StandTextMenu stands;
    struct ModeCase {
        int32_t mode;
        std::string text;
    } modes[] = {{0, "Select Stand..."}, {1, "Select Stand..."}, {3, "VOID"}, {-1, "VOID"}};
    for (const ModeCase& c : modes) {
        stands.SetMode(c.mode);
        EXPECT_EQ(TriggerObjectTextMenu::MakeStandLineText(31, &stands), c.text) << c.mode;
    }
    EXPECT_EQ(TriggerObjectTextMenu::MakeStandLineText(31, nullptr), "VOID");
    EXPECT_EQ(TriggerObjectTextMenu::MakeStandLineText(32, &stands), "VOID");

    stands.SetMode(2);
    stands.OnSelect("EDDF:GATE_A");
    stands.SetSelectedStandNumber(12);
    EXPECT_EQ(TriggerObjectTextMenu::MakeStandLineText(31, &stands), "Stand 'GATE_A 12' Options...");

    TriggerObjectTextMenu menu;
    menu.AddCommandItem(31, &stands);
    ASSERT_EQ(menu.GetItemCount(), 1u);
    EXPECT_EQ(menu.GetItems()[0].entryIndex, -1);
    EXPECT_EQ(menu.GetItems()[0].value, -1);
    EXPECT_EQ(menu.GetFirstItemId(), 31);
    EXPECT_FALSE(menu.WasItemAdded());  // a command line is no object line
}

TEST(MainMenuItems, AddedCountsFirstIdAndSort)
{
    TriggerObjectTextMenu menu;
    EXPECT_EQ(menu.GetFirstItemId(), -1);
    menu.AddObjectItem("", nullptr, 0, 22);
    EXPECT_EQ(menu.GetItemCount(), 0u);
    EXPECT_FALSE(menu.WasItemAdded());

    SimObject jetA = MakeObject("Jetway:A", {3});
    jetA.GetCurrentModel()->GetJetway()->SetMultiIndex(2);
    SimObject jetB = MakeObject("Jetway:B", {3});
    jetB.GetCurrentModel()->GetJetway()->SetMultiIndex(1);
    SimObject lamp = MakeObject("Lamp", {22});
    menu.AddObjectItem("", &jetA, 4, 3);
    EXPECT_EQ(menu.GetFirstItemId(), 3);
    menu.AddObjectItem("", &jetB, 7, 3);
    const int32_t deselect = 1;
    menu.AddCommandItem(32, &deselect);
    EXPECT_EQ(menu.GetAddedCount(), 2);
    EXPECT_TRUE(menu.WasItemAdded());
    EXPECT_EQ(menu.GetFirstItemId(), -1);

    menu.SortItemsByValue();
    std::vector<int32_t> entries;
    for (const TriggerMenuItem& item : menu.GetItems()) entries.push_back(item.entryIndex);
    EXPECT_EQ(entries, (std::vector<int32_t>{-1, 7, 4}));

    menu.ResetAddedCount();
    EXPECT_FALSE(menu.WasItemAdded());
    EXPECT_EQ(menu.GetAddedCount(), 0);
    menu.AddObjectItem("", &lamp, 9, 22);
    EXPECT_EQ(menu.GetItems().back().text, "A Lamp [V]");
    menu.ClearItems();
    EXPECT_EQ(menu.GetItemCount(), 0u);
}

class MainMenuPage : public ::testing::Test {
protected:
    // A stand line and n visibility objects named Obj0.. at entries 0..
    void Fill(int n, bool standLine)
    {
        menu.ClearItems();
        objects.clear();
        for (int i = 0; i < n; ++i) objects.push_back(MakeObject("Obj" + std::to_string(i), {22}));
        if (standLine) menu.AddCommandItem(31, &stands);
        for (int i = 0; i < n; ++i) menu.AddObjectItem("", &objects[static_cast<size_t>(i)], i, 22);
        menu.ClearBuffer();
        menu.SetTitle("Orvane 1.0");
        menu.SetPrompt("Choose action");
        menu.BuildPage("none", standLine ? 1 : 0, 0);
    }

    TriggerObjectTextMenu menu;
    StandTextMenu stands;
    std::vector<SimObject> objects;
};

TEST_F(MainMenuPage, Lines)
{
    struct Case {
        int n;
        bool standLine;
        std::vector<std::string> lines;
    } cases[] = {
        {0, false, {"Orvane 1.0", "Choose action [Page 1 of 1]:", "none"}},
        {0, true, {"Orvane 1.0", "Choose action [Page 1 of 1]:", "Select Stand...", "none"}},
        {2, true,
         {"Orvane 1.0", "Choose action [Page 1 of 1]:", "Select Stand...", "A Obj0 [V]", "A Obj1 [V]", "EXIT..."}},
    };
    for (const Case& c : cases) {
        Fill(c.n, c.standLine);
        EXPECT_EQ(PageLines(menu), c.lines) << c.n;
    }
}

TEST_F(MainMenuPage, SelectionToItem)
{
    Fill(12, true);  // 13 items: pages of 8, 5
    ASSERT_EQ(menu.GetPageCount(), 2);
    struct Case {
        int page;
        int line;
        int32_t entry;
        int32_t kind;
    } cases[] = {
        {1, 0, -1, 31},  // the stand line, fixed
        {1, 1, 0, 22},   {1, 7, 6, 22}, {2, 0, 7, 22}, {2, 4, 11, 22},
    };
    for (const Case& c : cases) {
        menu.ResetPage();
        if (c.page == 2) menu.NextPage();
        menu.ClearBuffer();
        menu.BuildPage("none", 1, 0);
        menu.OnMenuResult(c.line);
        const TriggerMenuItem item = menu.GetSelectedItem();
        EXPECT_EQ(item.entryIndex, c.entry) << c.page << "/" << c.line;
        EXPECT_EQ(item.kind, c.kind) << c.page << "/" << c.line;
        if (c.entry >= 0) {
            EXPECT_EQ(item.text, "A Obj" + std::to_string(c.entry) + " [V]");
            EXPECT_EQ(menu.GetLastChosenEntry(), c.entry);
        }
    }
}

TEST_F(MainMenuPage, StaleAndNonItemAnswers)
{
    Fill(3, false);
    menu.OnMenuResult(1);
    ASSERT_EQ(menu.GetSelectedItem().entryIndex, 1);

    // Exit line, a line beyond the page, no answer: empty items.
    for (int32_t line : {3, 9, -1}) {
        menu.SetSelectedIndex(line);
        const TriggerMenuItem item = menu.GetSelectedItem();
        EXPECT_EQ(item.kind, TriggerMenuNothing) << line;
        EXPECT_EQ(item.entryIndex, -1) << line;
        EXPECT_EQ(menu.GetLastChosenEntry(), 1) << line;
    }

    // The items were rebuilt after the page was shown: a shorter list, another object on the line.
    menu.SetSelectedIndex(2);
    menu.ClearItems();
    EXPECT_EQ(menu.GetSelectedItem().kind, TriggerMenuNothing);
    SimObject other = MakeObject("Other", {22});
    menu.AddObjectItem("", &other, 0, 22);
    menu.AddObjectItem("", &other, 1, 22);
    menu.AddObjectItem("", &other, 2, 22);
    EXPECT_EQ(menu.GetSelectedItem().kind, TriggerMenuNothing);
}

TEST_F(MainMenuPage, LongNamesAndHostileHeads)
{
    objects.push_back(MakeObject(std::string(5000, 'x'), {22}));
    menu.AddObjectItem("", &objects[0], 0, 22);
    menu.AddObjectItem("", &objects[0], 1, 22);
    menu.ClearBuffer();
    menu.BuildPage("none", 0, 0);
    EXPECT_LE(menu.GetBytesUsed(), static_cast<int32_t>(FSTextMenu::kBufferSize));
    ASSERT_EQ(PageLines(menu).size(), 5u);
    EXPECT_EQ(PageLines(menu).back(), "EXIT...");
    menu.OnMenuResult(1);
    EXPECT_EQ(menu.GetSelectedItem().entryIndex, 1);

    // Head and tail beyond the list count as the whole list: only the none text follows.
    menu.ClearItems();
    menu.ClearBuffer();
    menu.BuildPage("none", 5, 7);
    EXPECT_EQ(PageLines(menu).back(), "none");
}

}  // namespace
