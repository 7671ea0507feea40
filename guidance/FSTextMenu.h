// The base of every in-simulator text menu: one page of a menu as the NUL-separated block of text the
// simulator's menu display takes (title, prompt, up to ten selectable lines), the id of every selectable
// line, and what the simulator reported back about the shown menu.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a selectable line of a page stands for.
enum TextMenuLineId : int32_t {
    // 0 or more: the line's index in the full item list.
    TextMenuNoneLine = -1,   // the none-available text
    TextMenuExitLine = -2,   // the exit line
    TextMenuNextLine = -3,   // "NEXT..."
    TextMenuPrevLine = -4,   // "PREV..."
    TextMenuFixedLine = -5,  // a fixed head or tail line
};

class FSTextMenu {
public:
    static constexpr uint32_t kBufferSize = 1024;
    // The simulator offers ten line choices at most.
    static constexpr int32_t kMaxLines = 10;

    FSTextMenu();
    // A copy takes every field, the whole text included: the simulator link is handed copies.
    FSTextMenu(const FSTextMenu&) = default;
    FSTextMenu& operator=(const FSTextMenu&) = default;
    virtual ~FSTextMenu() = default;

    void SetTitle(const std::string& title) { title_ = title; }
    void SetPrompt(const std::string& prompt) { prompt_ = prompt; }
    const std::string& GetTitle() const { return title_; }
    const std::string& GetPrompt() const { return prompt_; }

    // Zeroes the whole text; every build calls it before writing a page.
    void ClearBuffer();
    // Writes one selectable line and keeps its text among the line texts. A text that does not fit in
    // what is left of the buffer is cut; false (nothing written) when not even one character fits.
    bool AppendItemLine(const std::string& text);

    // Writes title, the prompt with its page counter and the lines of the current page of items, with
    // the page lines and the exit line (exitLabel null: "EXIT..."). The first head and the last tail
    // items are fixed lines. A list of nothing but fixed lines gets noneText and no exit or page line.
    // Appends only: the caller clears the text and sets title and prompt first.
    void BuildPage(const std::vector<std::string>& items, const std::string& noneText, const char* exitLabel,
                   int32_t head, int32_t tail);
    // Unpaged: title, the prompt as it is and every item (ten at most); line ids stay as they are.
    void BuildSubMenuText(const std::vector<std::string>& items);

    // Takes the simulator's text result for the shown menu: a chosen line (0 to 9) that is on the page
    // selects it; "displayed" sets the displayed flag; "removed", "replaced" and "timeout" clear it (the
    // menu is gone unanswered and may be shown again); anything else only clears answered.
    void OnMenuResult(int32_t result);

    // The id of the selected line; -1 when the selected index is not a line of the page.
    int32_t GetSelectedId() const;
    // The text of the selected item line or none text; empty for other lines.
    std::string GetSelectedText() const;
    int32_t GetSelectedIndex() const { return selectedIndex_; }
    void SetSelectedIndex(int32_t index) { selectedIndex_ = index; }
    bool IsAnswered() const { return answered_; }
    void SetAnswered(bool answered) { answered_ = answered; }
    bool IsDisplayed() const { return displayed_; }
    void SetDisplayed(bool displayed) { displayed_ = displayed; }
    // A show sent to the simulator (at nowMs of the caller's clock) and not yet answered by any result:
    // the same show asked again meanwhile is not sent again. A show unanswered for kShowAnswerWaitMs
    // counts as lost, so that a lost answer never locks the menu.
    static constexpr uint32_t kShowAnswerWaitMs = 2000;
    void MarkShowSent(uint32_t nowMs)
    {
        showSentMs_ = nowMs;
        showPending_ = true;
    }
    bool IsShowPending(uint32_t nowMs) const { return showPending_ && nowMs - showSentMs_ < kShowAnswerWaitMs; }

    void ResetPage() { currentPage_ = 1; }
    void NextPage();
    void PrevPage();
    int32_t GetCurrentPage() const { return currentPage_; }
    int32_t GetPageCount() const { return pageCount_; }
    // Index in the full item list of the first item line of the page the last BuildPage wrote.
    int32_t GetFirstItemIndex() const;

    // Pages for a list of n items: 8 items on the first page, 7 on middle pages, 2 to 8 on the last.
    static int32_t CountPages(size_t n);

    // The whole buffer is always sent, whatever bytes used says.
    const char* GetBuffer() const { return text_; }
    uint32_t GetBufferSize() const { return kBufferSize; }
    int32_t GetBytesUsed() const { return bytesUsed_; }
    // Selectable lines written to the text since it was cleared (entries after title and prompt).
    int32_t GetLineCount() const;
    const std::vector<int32_t>& GetLineIds() const { return lineIds_; }
    const std::vector<std::string>& GetLineTexts() const { return lineTexts_; }

private:
    // One text entry: head may be cut to fit, tail never is.
    struct Entry {
        std::string_view head;
        std::string_view tail;
    };
    // Writes entries in order, cutting the longest heads just enough for all to fit in the buffer
    // (one byte is kept as the closing empty entry). Returns how many were written.
    size_t WriteEntries(const std::vector<Entry>& entries);

    std::vector<int32_t> lineIds_;
    std::vector<std::string> lineTexts_;
    std::string title_ = "VOID";
    std::string prompt_ = "VOID";
    bool displayed_ = false;
    bool showPending_ = false;
    uint32_t showSentMs_ = 0;
    bool answered_ = false;
    int32_t selectedIndex_ = -1;
    int32_t pageCount_ = 0;
    int32_t currentPage_ = 1;
    int32_t bytesUsed_ = 0;
    // Zeroed at construction too, so that a menu shown before its first build sends no garbage.
    char text_[kBufferSize] = {};
};
