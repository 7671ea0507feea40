// Turns a stand's number text (up to three characters) into the four numbers a gate number sign reads
// from its object: the character codes right-aligned in slots 0 to 2, the leading blank places in slot 3.
#pragma once

#include <array>
#include <string>

class GateNumberBox {
public:
    using Digits = std::array<double, 4>;

    GateNumberBox() = default;
    virtual ~GateNumberBox() = default;

    // Each character counts as a signed 8-bit code. A text of 0 or more than 3 characters gives zeros.
    Digits DigitsFromString(const std::string& text) const;
};
