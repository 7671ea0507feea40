// Gate number texts into the four numbers of a gate number sign.
#include "guidance/GateNumberBox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GateNumberBox, DigitsFromString)
{
    const struct {
        const char* name;
        std::string text;
        GateNumberBox::Digits digits;
    } cases[] = {
        {"one character", "7", {0, 0, 55, 2}},
        {"two characters", "12", {0, 49, 50, 1}},
        {"three characters", "12B", {49, 50, 66, 0}},
        {"letters and blanks as they are", " A ", {32, 65, 32, 0}},
        {"empty", "", {0, 0, 0, 0}},
        {"four characters", "1234", {0, 0, 0, 0}},
        {"very long", std::string(100000, '9'), {0, 0, 0, 0}},
        {"above 127 is negative", "\xE9", {0, 0, -23, 2}},
        {"lowest and highest byte", "\x80\xFF\x7F", {-128, -1, 127, 0}},
        {"NUL counts as a character", std::string("1\0", 2), {0, 49, 0, 1}},
        {"NUL alone", std::string(1, '\0'), {0, 0, 0, 2}},
    };
    const GateNumberBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GateNumberBox::Digits digits = box.DigitsFromString(c.text);
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(digits[i], c.digits[i]) << "slot " << i;
    }
}

}  // namespace
