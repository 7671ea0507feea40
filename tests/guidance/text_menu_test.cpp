// The text menu base: page layout and ids, the fixed 1024-byte text, and the simulator's answers.
#include "guidance/FSTextMenu.h"

#include "platform/simconnect/SimConnect.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The entries of a menu text, as the simulator reads it: up to the first empty entry.
std::vector<std::string> Entries(const FSTextMenu& menu)
{
    std::vector<std::string> out;
    const char* text = menu.GetBuffer();
    size_t pos = 0;
    while (pos < menu.GetBufferSize() && text[pos] != '\0') {
        const size_t length = strnlen(text + pos, menu.GetBufferSize() - pos);
        out.emplace_back(text + pos, length);
        pos += length + 1;
    }
    return out;
}

std::vector<std::string> Items(int n)
{
    std::vector<std::string> items;
    for (int i = 0; i < n; ++i) items.push_back("Item " + std::to_string(i));
    return items;
}

// A menu built the way every menu builds a page: clear, title, prompt, build.
FSTextMenu Built(int n, int page, int head = 0, int tail = 0, const char* exitLabel = nullptr)
{
    FSTextMenu menu;
    for (int i = 1; i < page; ++i) menu.NextPage();
    menu.ClearBuffer();
    menu.SetTitle("Title");
    menu.SetPrompt("Pick");
    menu.BuildPage(Items(n), "None here", exitLabel, head, tail);
    return menu;
}

// The bytes after the written entries are all zero, and the last byte always is.
void ExpectZeroAfterUse(const FSTextMenu& menu)
{
    ASSERT_GE(menu.GetBytesUsed(), 0);
    ASSERT_LT(menu.GetBytesUsed(), static_cast<int32_t>(FSTextMenu::kBufferSize));
    for (uint32_t i = static_cast<uint32_t>(menu.GetBytesUsed()); i < menu.GetBufferSize(); ++i)
        ASSERT_EQ(menu.GetBuffer()[i], '\0') << "byte " << i;
}

TEST(TextMenu, StartsEmptyAndCopiesTheWholeText)
{
    FSTextMenu menu;
    EXPECT_EQ(menu.GetTitle(), "VOID");
    EXPECT_EQ(menu.GetPrompt(), "VOID");
    EXPECT_EQ(menu.GetSelectedIndex(), -1);
    EXPECT_EQ(menu.GetSelectedId(), -1);
    EXPECT_FALSE(menu.IsAnswered());
    EXPECT_FALSE(menu.IsDisplayed());
    EXPECT_EQ(menu.GetCurrentPage(), 1);
    EXPECT_EQ(menu.GetPageCount(), 0);
    EXPECT_EQ(menu.GetBufferSize(), 1024u);
    // Shown before any build, it sends an empty text rather than whatever the memory held.
    EXPECT_EQ(menu.GetBytesUsed(), 0);
    ExpectZeroAfterUse(menu);

    FSTextMenu built = Built(12, 2);
    built.OnMenuResult(1);
    FSTextMenu copy(built);
    EXPECT_EQ(std::memcmp(copy.GetBuffer(), built.GetBuffer(), FSTextMenu::kBufferSize), 0);
    EXPECT_EQ(copy.GetLineIds(), built.GetLineIds());
    EXPECT_EQ(copy.GetSelectedId(), 9);
    EXPECT_EQ(copy.GetCurrentPage(), 2);
    FSTextMenu assigned;
    assigned = built;
    EXPECT_EQ(Entries(assigned), Entries(built));
}

TEST(TextMenu, PageCounts)
{
    const struct {
        size_t items;
        int32_t pages;
    } cases[] = {{0, 1}, {1, 1}, {9, 1}, {10, 2}, {15, 2}, {16, 2}, {17, 3}, {22, 3}, {23, 3}, {24, 4}, {30, 4}, {31, 5}};
    for (const auto& c : cases) EXPECT_EQ(FSTextMenu::CountPages(c.items), c.pages) << c.items << " items";
}

TEST(TextMenu, PageLayouts)
{
    const std::vector<int32_t> kNone;
    const struct {
        const char* name;
        int items, page, head, tail;
        const char* exitLabel;
        const char* header;
        std::vector<std::string> lines;
        std::vector<int32_t> ids;
    } cases[] = {
        {"nine items, one page", 9, 1, 0, 0, nullptr, "Pick [Page 1 of 1]:",
         {"Item 0", "Item 1", "Item 2", "Item 3", "Item 4", "Item 5", "Item 6", "Item 7", "Item 8", "EXIT..."},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, -2}},
        {"ten items, page 1", 10, 1, 0, 0, nullptr, "Pick [Page 1 of 2]:",
         {"Item 0", "Item 1", "Item 2", "Item 3", "Item 4", "Item 5", "Item 6", "Item 7", "NEXT...", "EXIT..."},
         {0, 1, 2, 3, 4, 5, 6, 7, -3, -2}},
        {"ten items, page 2", 10, 2, 0, 0, nullptr, "Pick [Page 2 of 2]:",
         {"Item 8", "Item 9", "PREV...", "EXIT..."}, {8, 9, -4, -2}},
        {"sixteen items, page 2", 16, 2, 0, 0, nullptr, "Pick [Page 2 of 2]:",
         {"Item 8", "Item 9", "Item 10", "Item 11", "Item 12", "Item 13", "Item 14", "Item 15", "PREV...", "EXIT..."},
         {8, 9, 10, 11, 12, 13, 14, 15, -4, -2}},
        {"seventeen items, middle page", 17, 2, 0, 0, nullptr, "Pick [Page 2 of 3]:",
         {"Item 8", "Item 9", "Item 10", "Item 11", "Item 12", "Item 13", "Item 14", "PREV...", "NEXT...", "EXIT..."},
         {8, 9, 10, 11, 12, 13, 14, -4, -3, -2}},
        {"seventeen items, last page", 17, 3, 0, 0, nullptr, "Pick [Page 3 of 3]:",
         {"Item 15", "Item 16", "PREV...", "EXIT..."}, {15, 16, -4, -2}},
        {"no items", 0, 1, 0, 0, nullptr, "Pick [Page 1 of 1]:", {"None here"}, {-1}},
        {"only the fixed line", 1, 1, 1, 0, nullptr, "Pick [Page 1 of 1]:", {"Item 0", "None here"}, {-5, -1}},
        {"head and tail, page 1", 12, 1, 1, 2, nullptr, "Pick [Page 1 of 2]:",
         {"Item 0", "Item 1", "Item 2", "Item 3", "Item 4", "Item 5", "Item 6", "Item 7", "NEXT...", "EXIT..."},
         {-5, 1, 2, 3, 4, 5, 6, 7, -3, -2}},
        {"head and tail, page 2", 12, 2, 1, 2, nullptr, "Pick [Page 2 of 2]:",
         {"Item 8", "Item 9", "Item 10", "Item 11", "PREV...", "EXIT..."}, {8, 9, -5, -5, -4, -2}},
        {"own exit label", 2, 1, 0, 0, "BACK TO MAIN MENU...", "Pick [Page 1 of 1]:",
         {"Item 0", "Item 1", "BACK TO MAIN MENU..."}, {0, 1, -2}},
        // A list that shrank since the page was turned shows its last page, not an empty one.
        {"page beyond the list", 10, 5, 0, 0, nullptr, "Pick [Page 2 of 2]:",
         {"Item 8", "Item 9", "PREV...", "EXIT..."}, {8, 9, -4, -2}},
        {"page beyond a single page", 3, 4, 0, 0, nullptr, "Pick [Page 1 of 1]:",
         {"Item 0", "Item 1", "Item 2", "EXIT..."}, {0, 1, 2, -2}},
        // Counts that do not fit the list mark nothing beyond it and never index outside it.
        {"hostile head and tail", 3, 1, INT_MIN, INT_MIN, nullptr, "Pick [Page 1 of 1]:",
         {"Item 0", "Item 1", "Item 2", "EXIT..."}, {0, 1, 2, -2}},
        {"head beyond the list", 3, 1, INT_MAX, 0, nullptr, "Pick [Page 1 of 1]:",
         {"Item 0", "Item 1", "Item 2", "EXIT..."}, {-5, -5, -5, -2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FSTextMenu menu = Built(c.items, c.page, c.head, c.tail, c.exitLabel);
        std::vector<std::string> expected = {"Title", c.header};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(Entries(menu), expected);
        EXPECT_EQ(menu.GetLineIds(), c.ids);
        EXPECT_EQ(menu.GetLineCount(), static_cast<int32_t>(c.lines.size()));

        // Line texts hold the item lines and the none text, nothing of the page or exit lines.
        std::vector<std::string> texts;
        for (size_t i = 0; i < c.ids.size(); ++i)
            if (c.ids[i] >= 0 || c.ids[i] == -5 || c.ids[i] == -1) texts.push_back(c.lines[i]);
        EXPECT_EQ(menu.GetLineTexts(), texts);

        // Every entry counts its NUL; nothing is written after them.
        size_t bytes = 0;
        for (const std::string& e : expected) bytes += e.size() + 1;
        EXPECT_EQ(menu.GetBytesUsed(), static_cast<int32_t>(bytes));
        ExpectZeroAfterUse(menu);
    }
}

// Walking every page of lists of many lengths shows each item exactly once, at most ten lines a page.
TEST(TextMenu, PagesCoverEveryItemOnce)
{
    for (int n = 1; n <= 60; ++n) {
        std::multiset<int32_t> seen;
        const int32_t pages = FSTextMenu::CountPages(static_cast<size_t>(n));
        for (int page = 1; page <= pages; ++page) {
            FSTextMenu menu = Built(n, page);
            ASSERT_EQ(menu.GetPageCount(), pages);
            ASSERT_LE(menu.GetLineIds().size(), 10u) << n << " items, page " << page;
            EXPECT_EQ(menu.GetFirstItemIndex(), menu.GetLineIds().front()) << n << " items, page " << page;
            for (int32_t id : menu.GetLineIds())
                if (id >= 0) seen.insert(id);
        }
        ASSERT_EQ(seen.size(), static_cast<size_t>(n)) << n << " items";
        for (int i = 0; i < n; ++i) ASSERT_EQ(seen.count(i), 1u) << n << " items, item " << i;
    }
}

TEST(TextMenu, BuildPageOnlyAppends)
{
    FSTextMenu menu = Built(2, 1);
    const std::vector<std::string> first = Entries(menu);
    menu.SetTitle("Again");
    menu.BuildPage(Items(1), "None", nullptr, 0, 0);
    std::vector<std::string> expected = first;
    expected.insert(expected.end(), {"Again", "Pick [Page 1 of 1]:", "Item 0", "EXIT..."});
    EXPECT_EQ(Entries(menu), expected);
    // The ids are those of the latest page.
    EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{0, -2}));
}

TEST(TextMenu, PageTurning)
{
    FSTextMenu menu;
    menu.NextPage();
    menu.NextPage();
    EXPECT_EQ(menu.GetCurrentPage(), 3);
    menu.PrevPage();
    EXPECT_EQ(menu.GetCurrentPage(), 2);
    menu.ResetPage();
    EXPECT_EQ(menu.GetCurrentPage(), 1);
    // A stray "PREV..." answer on the first page does not lead to page 0.
    menu.PrevPage();
    EXPECT_EQ(menu.GetCurrentPage(), 1);
}

TEST(TextMenu, SubMenuTextHasNoCounterAndKeepsTheIds)
{
    FSTextMenu menu = Built(3, 1);  // ids 0, 1, 2, -2
    menu.ClearBuffer();
    menu.SetPrompt("Control Door:");
    menu.BuildSubMenuText({"Open", "Close", "Up", "Down", "BACK TO MAIN MENU...", "EXIT..."});
    EXPECT_EQ(Entries(menu), (std::vector<std::string>{"Title", "Control Door:", "Open", "Close", "Up", "Down",
                                                       "BACK TO MAIN MENU...", "EXIT..."}));
    EXPECT_EQ(menu.GetPageCount(), 1);
    EXPECT_EQ(menu.GetLineIds(), (std::vector<int32_t>{0, 1, 2, -2}));
    EXPECT_EQ(menu.GetLineTexts().size(), 6u);
    menu.OnMenuResult(5);
    EXPECT_TRUE(menu.IsAnswered());
    EXPECT_EQ(menu.GetSelectedIndex(), 5);
    EXPECT_EQ(menu.GetSelectedText(), "EXIT...");
    EXPECT_EQ(menu.GetSelectedId(), -1);  // beyond the untouched ids

    // The simulator offers ten choices: further lines are left out.
    menu.ClearBuffer();
    menu.BuildSubMenuText(Items(14));
    EXPECT_EQ(menu.GetLineCount(), 10);
    EXPECT_EQ(Entries(menu).back(), "Item 9");
    EXPECT_EQ(menu.GetLineTexts().size(), 10u);
}

// However long or many the texts, nothing goes past the 1024 bytes, the last byte stays 0, and every
// line of the page (the page and exit lines above all) is still there.
TEST(TextMenuCapacity, LongTextsAreCutToFit)
{
    const struct {
        const char* name;
        size_t titleLength, promptLength, itemLength;
        int items, page;
    } cases[] = {
        {"nine long items", 5, 4, 500, 9, 1},
        {"middle page of long items", 5, 4, 300, 30, 2},
        {"huge title", 5000, 4, 10, 9, 1},
        {"huge prompt", 5, 5000, 10, 17, 2},
        {"everything huge", 4000, 4000, 4000, 12, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FSTextMenu shortMenu = Built(c.items, c.page);

        std::vector<std::string> items;
        for (int i = 0; i < c.items; ++i) items.push_back(std::string(c.itemLength, static_cast<char>('a' + i % 26)));
        FSTextMenu menu;
        for (int i = 1; i < c.page; ++i) menu.NextPage();
        menu.ClearBuffer();
        menu.SetTitle(std::string(c.titleLength, 'T'));
        menu.SetPrompt(std::string(c.promptLength, 'P'));
        menu.BuildPage(items, "None here", nullptr, 0, 0);

        ExpectZeroAfterUse(menu);
        const std::vector<std::string> entries = Entries(menu);
        ASSERT_EQ(entries.size(), Entries(shortMenu).size());
        EXPECT_EQ(menu.GetLineIds(), shortMenu.GetLineIds());
        EXPECT_EQ(menu.GetLineCount(), static_cast<int32_t>(menu.GetLineIds().size()));
        size_t bytes = 0;
        for (const std::string& e : entries) bytes += e.size() + 1;
        EXPECT_EQ(static_cast<int32_t>(bytes), menu.GetBytesUsed());
        EXPECT_LE(bytes, 1023u);
        // Only the long texts are cut; the short ones and the page counter stay whole.
        const std::string& header = entries[1];
        const std::string counter = " [Page " + std::to_string(menu.GetCurrentPage()) + " of " +
                                    std::to_string(menu.GetPageCount()) + "]:";
        EXPECT_EQ(header.substr(header.size() - counter.size()), counter);
        EXPECT_EQ(entries.back(), "EXIT...");
        for (size_t i = 0; i < menu.GetLineIds().size(); ++i) {
            const int32_t id = menu.GetLineIds()[i];
            const std::string& line = entries[i + 2];
            if (id == -3) {
                EXPECT_EQ(line, "NEXT...");
            } else if (id == -4) {
                EXPECT_EQ(line, "PREV...");
            } else if (id >= 0) {
                EXPECT_FALSE(line.empty());
                EXPECT_EQ(line, items[static_cast<size_t>(id)].substr(0, line.size()));
            }
        }
        // The answer gives back the whole text, not the cut one.
        menu.OnMenuResult(0);
        ASSERT_TRUE(menu.IsAnswered());
        EXPECT_EQ(menu.GetSelectedText(), items[static_cast<size_t>(menu.GetLineIds()[0])]);
    }
}

TEST(TextMenuCapacity, AppendStopsAtTheEndOfTheBuffer)
{
    FSTextMenu menu;
    menu.ClearBuffer();
    int appended = 0;
    while (menu.AppendItemLine(std::string(100, 'x'))) ++appended;
    EXPECT_EQ(appended, 11);  // ten whole lines and the cut rest of the eleventh
    ExpectZeroAfterUse(menu);
    EXPECT_EQ(menu.GetBytesUsed(), 1023);
    EXPECT_FALSE(menu.AppendItemLine("y"));
    EXPECT_EQ(menu.GetLineTexts().size(), 11u);
    EXPECT_EQ(Entries(menu).size(), 11u);

    // A full buffer: BuildPage writes nothing and keeps no id of a line that is not there.
    menu.BuildPage(Items(3), "None", nullptr, 0, 0);
    EXPECT_TRUE(menu.GetLineIds().empty());
    EXPECT_TRUE(menu.GetLineTexts().empty());
    ExpectZeroAfterUse(menu);
    menu.OnMenuResult(0);
    EXPECT_EQ(menu.GetSelectedId(), -1);
}

// An empty text or one with a NUL inside would end the block early or split a line in two, moving
// every later line away from its id: each entry stays exactly one entry.
TEST(TextMenuCapacity, EmptyAndNulTextsStayOneEntry)
{
    FSTextMenu menu;
    menu.ClearBuffer();
    menu.SetTitle("");
    menu.SetPrompt(std::string("Pro\0mpt", 7));
    menu.BuildPage({"", std::string("A\0B", 3), "C"}, "None", nullptr, 0, 0);
    EXPECT_EQ(Entries(menu), (std::vector<std::string>{" ", "Pro [Page 1 of 1]:", " ", "A", "C", "EXIT..."}));
    EXPECT_EQ(menu.GetLineCount(), 4);
    menu.OnMenuResult(1);
    EXPECT_EQ(menu.GetSelectedId(), 1);
    EXPECT_EQ(menu.GetSelectedText(), std::string("A\0B", 3));
    menu.OnMenuResult(3);
    EXPECT_EQ(menu.GetSelectedId(), -2);
}

// Every text result, on a page shown and answered once before (line 4): a line of the page is the new
// answer; anything else takes the answer back but keeps its line. A menu that leaves the screen
// unanswered (removed, replaced, timed out) is no longer displayed, so it can be shown again; a chosen line
// and every other result leave that flag alone.
TEST(TextMenuResult, EveryTextResult)
{
    const struct {
        const char* name;
        int32_t result;
        bool answered, displayed;
        int32_t index, id;
    } cases[] = {
        {"line 1", SIMCONNECT_TEXT_RESULT_MENU_SELECT_1, true, true, 0, 0},
        {"line 2", SIMCONNECT_TEXT_RESULT_MENU_SELECT_2, true, true, 1, 1},
        {"line 8", SIMCONNECT_TEXT_RESULT_MENU_SELECT_8, true, true, 7, 7},
        {"line 9 (NEXT)", SIMCONNECT_TEXT_RESULT_MENU_SELECT_9, true, true, 8, -3},
        {"line 10 (EXIT)", SIMCONNECT_TEXT_RESULT_MENU_SELECT_10, true, true, 9, -2},
        {"displayed", SIMCONNECT_TEXT_RESULT_DISPLAYED, false, true, 3, 3},
        {"queued", SIMCONNECT_TEXT_RESULT_QUEUED, false, true, 3, 3},
        {"removed", SIMCONNECT_TEXT_RESULT_REMOVED, false, false, 3, 3},
        {"replaced", SIMCONNECT_TEXT_RESULT_REPLACED, false, false, 3, 3},
        {"timeout", SIMCONNECT_TEXT_RESULT_TIMEOUT, false, false, 3, 3},
        {"unknown", 0x00010005, false, true, 3, 3},
        {"10", 10, false, true, 3, 3},
        {"65535", 65535, false, true, 3, 3},
        {"negative", -1, false, true, 3, 3},
        {"lowest", INT_MIN, false, true, 3, 3},
        {"highest", INT_MAX, false, true, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FSTextMenu menu = Built(10, 1);  // ten lines: items 0-7, NEXT..., EXIT...
        menu.OnMenuResult(SIMCONNECT_TEXT_RESULT_DISPLAYED);
        menu.OnMenuResult(3);  // an earlier answer
        ASSERT_TRUE(menu.IsAnswered());
        ASSERT_TRUE(menu.IsDisplayed());
        menu.OnMenuResult(c.result);
        EXPECT_EQ(menu.IsAnswered(), c.answered);
        EXPECT_EQ(menu.IsDisplayed(), c.displayed);
        EXPECT_EQ(menu.GetSelectedIndex(), c.index);
        EXPECT_EQ(menu.GetSelectedId(), c.id);
    }
}

// A line number that the page does not have (a stale answer, or another client's) selects nothing.
TEST(TextMenuResult, LinesBeyondThePageSelectNothing)
{
    const struct {
        int items, page;
        int32_t result;
        bool answered;
    } cases[] = {
        {2, 1, 2, true},   // the exit line
        {2, 1, 3, false},  // one past it
        {2, 1, 9, false},
        {0, 1, 0, true},   // the none text
        {0, 1, 1, false},
        {10, 2, 3, true},  // EXIT... of the short second page
        {10, 2, 4, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.items) + " items, page " + std::to_string(c.page) + ", line " +
                     std::to_string(c.result));
        FSTextMenu menu = Built(c.items, c.page);
        menu.SetDisplayed(true);
        menu.OnMenuResult(c.result);
        EXPECT_EQ(menu.IsAnswered(), c.answered);
        EXPECT_TRUE(menu.IsDisplayed());
        if (c.answered) {
            EXPECT_EQ(menu.GetSelectedIndex(), c.result);
        } else {
            EXPECT_EQ(menu.GetSelectedIndex(), -1);
            EXPECT_EQ(menu.GetSelectedId(), -1);
            EXPECT_EQ(menu.GetSelectedText(), "");
        }
    }
    // A menu never built has no lines at all.
    FSTextMenu empty;
    empty.OnMenuResult(0);
    EXPECT_FALSE(empty.IsAnswered());
}

TEST(TextMenuResult, SelectedIdAndTextCheckTheIndex)
{
    FSTextMenu menu = Built(12, 1, 1, 2);  // -5, 1..7, NEXT..., EXIT...
    const struct {
        int32_t index, id;
        const char* text;
    } cases[] = {
        {0, -5, "Item 0"}, {1, 1, "Item 1"}, {7, 7, "Item 7"}, {8, -3, ""},
        {9, -2, ""},       {10, -1, ""},     {-1, -1, ""},     {INT_MIN, -1, ""},
        {INT_MAX, -1, ""},
    };
    for (const auto& c : cases) {
        menu.SetSelectedIndex(c.index);
        EXPECT_EQ(menu.GetSelectedId(), c.id) << c.index;
        EXPECT_EQ(menu.GetSelectedText(), c.text) << c.index;
    }
}

}  // namespace
