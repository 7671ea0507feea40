#include "guidance/GateNumberBox.h"

GateNumberBox::Digits GateNumberBox::DigitsFromString(const std::string& text) const
{
    Digits digits{0.0, 0.0, 0.0, 0.0};
    const size_t length = text.size();
    if (length == 0 || length > 3) return digits;
    const size_t blanks = 3 - length;
    for (size_t i = 0; i < length; ++i) digits[blanks + i] = static_cast<double>(static_cast<signed char>(text[i]));
    digits[3] = static_cast<double>(blanks);
    return digits;
}
