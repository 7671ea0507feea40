#include "guidance/FSTextMenu.h"

#include "platform/simconnect/SimConnect.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

log4cpp::Category& MenuLog() { return log4cpp::Category::getRoot(); }

// A text is one entry of a NUL-separated block: an embedded NUL would end it early and shift every
// line after it against its id.
std::string_view UpToNul(std::string_view text)
{
    const size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// Bytes an entry takes with its head cut to limit, its NUL counted. An empty entry would end the whole
// block for the simulator, so it is written as one blank.
size_t EntryBytes(size_t head, size_t tail, size_t limit)
{
    return std::max<size_t>(1, std::min(head, limit) + tail) + 1;
}

}  // namespace

FSTextMenu::FSTextMenu()
{
    lineIds_.reserve(kMaxLines);
    lineTexts_.reserve(kMaxLines);
}

void FSTextMenu::ClearBuffer()
{
    std::memset(text_, 0, sizeof(text_));
    bytesUsed_ = 0;
}

size_t FSTextMenu::WriteEntries(const std::vector<Entry>& entries)
{
    const size_t used = static_cast<size_t>(std::clamp<int32_t>(bytesUsed_, 0, kBufferSize));
    // The last byte stays 0: the block always ends with an empty entry.
    const size_t room = used < kBufferSize - 1 ? kBufferSize - 1 - used : 0;

    std::vector<std::string_view> heads;
    heads.reserve(entries.size());
    size_t longest = 0;
    for (const Entry& e : entries) {
        heads.push_back(UpToNul(e.head));
        longest = std::max(longest, heads.back().size());
    }
    auto need = [&](size_t limit) {
        size_t total = 0;
        for (size_t i = 0; i < entries.size(); ++i) total += EntryBytes(heads[i].size(), entries[i].tail.size(), limit);
        return total;
    };

    // The largest head length at which everything fits; only heads longer than it are cut.
    size_t limit = longest;
    if (need(limit) > room) {
        size_t low = 0, high = longest;  // need(high) > room
        while (high - low > 1) {
            const size_t mid = low + (high - low) / 2;
            if (need(mid) <= room) low = mid;
            else high = mid;
        }
        limit = low;
        MenuLog().warn("[TEXTMENU] Menu '%s' is longer than %u bytes: lines cut to %zu characters",
                       title_.c_str(), kBufferSize, limit);
    }

    size_t pos = used;
    size_t written = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string_view head = heads[i].substr(0, std::min(heads[i].size(), limit));
        const std::string_view tail = entries[i].tail;
        const size_t bytes = EntryBytes(head.size(), tail.size(), limit);
        if (pos + bytes > kBufferSize - 1) {
            MenuLog().error("[TEXTMENU] Menu '%s' is full: %zu of its lines left out", title_.c_str(),
                            entries.size() - i);
            break;
        }
        if (head.empty() && tail.empty()) {
            text_[pos] = ' ';
        } else {
            // An empty view may carry a null pointer, which memcpy must not get.
            if (!head.empty()) std::memcpy(text_ + pos, head.data(), head.size());
            if (!tail.empty()) std::memcpy(text_ + pos + head.size(), tail.data(), tail.size());
        }
        text_[pos + bytes - 1] = '\0';
        pos += bytes;
        ++written;
    }
    bytesUsed_ = static_cast<int32_t>(pos);
    return written;
}

bool FSTextMenu::AppendItemLine(const std::string& text)
{
    if (WriteEntries({Entry{text, {}}}) != 1) return false;
    lineTexts_.push_back(text);
    return true;
}

int32_t FSTextMenu::CountPages(size_t n)
{
    if (n < 10) return 1;
    const uint64_t m = static_cast<uint64_t>(n) - 8;
    const uint64_t q = m / 7, r = m % 7;
    const uint64_t pages = r <= 1 ? q + 1 : q + 2;
    return static_cast<int32_t>(std::min<uint64_t>(pages, INT32_MAX));
}

int32_t FSTextMenu::GetFirstItemIndex() const
{
    if (pageCount_ <= 1 || currentPage_ <= 1) return 0;
    return static_cast<int32_t>(std::min<int64_t>(7 * static_cast<int64_t>(currentPage_) - 6, INT32_MAX));
}

void FSTextMenu::BuildPage(const std::vector<std::string>& items, const std::string& noneText,
                           const char* exitLabel, int32_t head, int32_t tail)
{
    const int64_t n = static_cast<int64_t>(items.size());
    pageCount_ = CountPages(items.size());
    // A page outside the list (a list that shrank since the last showing) shows its last page.
    currentPage_ = std::clamp(currentPage_, 1, pageCount_);
    const int32_t page = currentPage_;

    int64_t first = 0, end = n;
    if (pageCount_ > 1) {
        first = GetFirstItemIndex();
        end = page == 1 ? 8 : page < pageCount_ ? 7 * int64_t{page} + 1 : n;
        end = std::min(end, n);
    }

    struct Line {
        std::string_view text;
        int32_t id;
        bool kept;  // among the line texts
    };
    std::vector<Line> lines;
    lines.reserve(kMaxLines);
    for (int64_t i = first; i < end; ++i) {
        const bool fixed = i < head || i >= n - tail;
        lines.push_back({items[static_cast<size_t>(i)], fixed ? TextMenuFixedLine : static_cast<int32_t>(i), true});
    }
    if (n == int64_t{head} + tail) {
        lines.push_back({noneText, TextMenuNoneLine, true});
    } else {
        if (pageCount_ > 1) {
            if (page > 1) lines.push_back({"PREV...", TextMenuPrevLine, false});
            if (page < pageCount_) lines.push_back({"NEXT...", TextMenuNextLine, false});
        }
        lines.push_back({exitLabel ? std::string_view(exitLabel) : std::string_view("EXIT..."), TextMenuExitLine, false});
    }

    const std::string counter = " [Page " + std::to_string(page) + " of " + std::to_string(pageCount_) + "]:";
    std::vector<Entry> entries;
    entries.reserve(lines.size() + 2);
    entries.push_back({title_, {}});
    entries.push_back({prompt_, counter});
    for (const Line& line : lines) entries.push_back({line.text, {}});

    lineIds_.clear();
    lineTexts_.clear();
    const size_t written = WriteEntries(entries);
    for (size_t i = 2; i < written; ++i) {
        const Line& line = lines[i - 2];
        lineIds_.push_back(line.id);
        if (line.kept) lineTexts_.emplace_back(line.text);
    }
}

void FSTextMenu::BuildSubMenuText(const std::vector<std::string>& items)
{
    pageCount_ = 1;
    size_t count = items.size();
    if (count > static_cast<size_t>(kMaxLines)) {
        MenuLog().error("[TEXTMENU] Menu '%s' has %zu lines; only the first %d can be chosen", title_.c_str(),
                        count, kMaxLines);
        count = kMaxLines;
    }
    std::vector<Entry> entries;
    entries.reserve(count + 2);
    entries.push_back({title_, {}});
    entries.push_back({prompt_, {}});
    for (size_t i = 0; i < count; ++i) entries.push_back({items[i], {}});

    lineTexts_.clear();
    const size_t written = WriteEntries(entries);
    for (size_t i = 2; i < written; ++i) lineTexts_.push_back(items[i - 2]);
}

int32_t FSTextMenu::GetLineCount() const
{
    const int32_t used = std::clamp<int32_t>(bytesUsed_, 0, kBufferSize);
    int32_t entries = 0;
    for (int32_t i = 0; i < used; ++i)
        if (text_[i] == '\0') ++entries;
    return std::max(0, entries - 2);
}

void FSTextMenu::OnMenuResult(int32_t result)
{
    answered_ = false;
    showPending_ = false;
    if (result >= static_cast<int32_t>(SIMCONNECT_TEXT_RESULT_MENU_SELECT_1) &&
        result <= static_cast<int32_t>(SIMCONNECT_TEXT_RESULT_MENU_SELECT_10)) {
        // The answer may come from an older showing or another client: only a line of this page counts.
        if (result >= GetLineCount()) {
            MenuLog().warn("[TEXTMENU] Menu '%s': answer for line %d, which the page does not have",
                           title_.c_str(), result + 1);
            selectedIndex_ = -1;
            return;
        }
        selectedIndex_ = result;
        answered_ = true;
    } else if (result == static_cast<int32_t>(SIMCONNECT_TEXT_RESULT_DISPLAYED)) {
        displayed_ = true;
    } else if (result == static_cast<int32_t>(SIMCONNECT_TEXT_RESULT_REMOVED) ||
               result == static_cast<int32_t>(SIMCONNECT_TEXT_RESULT_REPLACED) ||
               result == static_cast<int32_t>(SIMCONNECT_TEXT_RESULT_TIMEOUT)) {
        // Gone from the screen without an answer: the menu can be shown again.
        displayed_ = false;
    }
}

int32_t FSTextMenu::GetSelectedId() const
{
    if (selectedIndex_ < 0 || static_cast<size_t>(selectedIndex_) >= lineIds_.size()) return -1;
    return lineIds_[static_cast<size_t>(selectedIndex_)];
}

std::string FSTextMenu::GetSelectedText() const
{
    if (selectedIndex_ < 0 || static_cast<size_t>(selectedIndex_) >= lineTexts_.size()) return {};
    return lineTexts_[static_cast<size_t>(selectedIndex_)];
}

void FSTextMenu::NextPage()
{
    if (currentPage_ < INT32_MAX) ++currentPage_;
}

void FSTextMenu::PrevPage()
{
    if (currentPage_ > 1) --currentPage_;
}
