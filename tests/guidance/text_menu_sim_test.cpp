// A built menu shown through the in-process simulator and answered there, page turning included.
#include "guidance/FSTextMenu.h"

#include "tests/simulator/SimTestSupport.h"

#include <functional>
#include <string>
#include <vector>

using namespace simtest;

namespace {

constexpr DWORD kResultEvent = 24;

std::vector<std::string> Items(int n)
{
    std::vector<std::string> items;
    for (int i = 0; i < n; ++i) items.push_back("Stand " + std::to_string(i + 1));
    return items;
}

class TextMenuSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        h = OpenClient("orvane");
        // The menu's result event is private to the client, and mapped like any other of its events.
        ASSERT_EQ(SimConnect_MapClientEventToSimEvent(h, kResultEvent, ""), S_OK);
    }
    void TearDown() override { SimConnect_Close(h); }

    // Build the current page afresh and show a copy, as the simulator link does.
    void Show(float seconds = 0.0f)
    {
        menu.ClearBuffer();
        menu.SetTitle("VELK Stand Selection");
        menu.SetPrompt("Select Stand");
        menu.BuildPage(Items(12), "No stands", nullptr, 0, 0);
        const FSTextMenu copy(menu);
        ASSERT_EQ(SimConnect_Text(h, SIMCONNECT_TEXT_TYPE_MENU, seconds, kResultEvent, copy.GetBufferSize(),
                                  const_cast<char*>(copy.GetBuffer())),
                  S_OK);
    }

    // Hands every result event of the menu to it, as the dispatcher does.
    void Deliver()
    {
        for (const SIMCONNECT_RECV_EVENT& e : Events(Drain(h)))
            if (e.uEventID == kResultEvent) menu.OnMenuResult(static_cast<int32_t>(e.dwData));
    }

    simulator::Simulator sim;
    HANDLE h = nullptr;
    FSTextMenu menu;
};

TEST_F(TextMenuSimTest, ShownPagedAndAnswered)
{
    Show();
    auto open = sim.OpenMenu();
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->title, "VELK Stand Selection");
    EXPECT_EQ(open->prompt, "Select Stand [Page 1 of 2]:");
    ASSERT_EQ(open->lines.size(), 10u);
    EXPECT_EQ(open->lines[0], "Stand 1");
    EXPECT_EQ(open->lines[8], "NEXT...");
    EXPECT_EQ(open->lines[9], "EXIT...");
    Deliver();
    EXPECT_TRUE(menu.IsDisplayed());
    EXPECT_FALSE(menu.IsAnswered());

    ASSERT_TRUE(sim.ChooseMenuLine(8));
    Deliver();
    ASSERT_TRUE(menu.IsAnswered());
    ASSERT_EQ(menu.GetSelectedId(), TextMenuNextLine);
    menu.NextPage();
    menu.SetDisplayed(false);

    Show();
    open = sim.OpenMenu();
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->prompt, "Select Stand [Page 2 of 2]:");
    EXPECT_EQ(open->lines, (std::vector<std::string>{"Stand 9", "Stand 10", "Stand 11", "Stand 12", "PREV...",
                                                     "EXIT..."}));
    Deliver();
    ASSERT_TRUE(sim.ChooseMenuLine(2));
    Deliver();
    ASSERT_TRUE(menu.IsAnswered());
    EXPECT_EQ(menu.GetSelectedId(), 10);
    EXPECT_EQ(menu.GetSelectedText(), "Stand 11");
}

// Another menu replacing ours reports "replaced": not an answer.
TEST_F(TextMenuSimTest, ReplacedMenuIsNoAnswer)
{
    Show();
    Deliver();
    HANDLE other = OpenClient("other");
    const char text[] = "Other\0Prompt\0Line\0";
    ASSERT_EQ(SimConnect_Text(other, SIMCONNECT_TEXT_TYPE_MENU, 0.0f, 5, sizeof(text), const_cast<char*>(text)),
              S_OK);
    Deliver();
    EXPECT_FALSE(menu.IsAnswered());
    EXPECT_EQ(menu.GetSelectedId(), -1);
    SimConnect_Close(other);
}

// A menu that leaves the screen without an answer (closed by its client, replaced by another menu, timed
// out) is no longer displayed, so the key that shows it works again.
TEST_F(TextMenuSimTest, MenuGoneUnansweredIsNoLongerDisplayed)
{
    const char other[] = "Other\0Prompt\0Line\0";
    const char empty[4] = {};
    const struct {
        const char* name;
        float seconds;
        std::function<void(HANDLE)> close;
    } cases[] = {
        {"removed by its client", 0.0f,
         [&](HANDLE) {
             ASSERT_EQ(SimConnect_Text(h, SIMCONNECT_TEXT_TYPE_MENU, 0.0f, kResultEvent, sizeof(empty),
                                       const_cast<char*>(empty)),
                       S_OK);
         }},
        {"replaced by another client's menu", 0.0f,
         [&](HANDLE second) {
             ASSERT_EQ(SimConnect_Text(second, SIMCONNECT_TEXT_TYPE_MENU, 0.0f, 5, sizeof(other),
                                       const_cast<char*>(other)),
                       S_OK);
         }},
        {"timed out", 3.0f, [&](HANDLE) { sim.Advance(3000); }},
    };
    HANDLE second = OpenClient("other");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Show(c.seconds);
        Deliver();
        ASSERT_TRUE(menu.IsDisplayed());
        c.close(second);
        Deliver();
        EXPECT_FALSE(menu.IsDisplayed());
        EXPECT_FALSE(menu.IsAnswered());
        Drain(second);
    }
    SimConnect_Close(second);
}

}  // namespace
