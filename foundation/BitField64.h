// A 64-bit word of flags and small bit fields, kept as two 32-bit halves (low first).
// State words travel through double-typed simulator variables, hence ToDouble.
#pragma once

#include <cstdint>
#include <iostream>

class BitField64 {
public:
    BitField64() = default;
    BitField64(const BitField64&) = default;
    BitField64& operator=(const BitField64&) = default;

    // Bit n of the word; n of 64 or more is ignored (TestBit gives false).
    void SetBit(unsigned n);
    void ClearBit(unsigned n);
    void ToggleBit(unsigned n);
    bool TestBit(unsigned n) const;

    // Writes value into bits lo..hi (inclusive). A value too wide for the field is clamped to the
    // field's largest value; returns 1 when it was clamped, else 0. A field with hi < lo or hi > 63
    // changes nothing and returns 0.
    int SetBits(unsigned lo, unsigned hi, uint64_t value);
    // The value of bits lo..hi; 0 for a field with hi < lo or hi > 63.
    uint64_t GetBits(unsigned lo, unsigned hi) const;

    void SetRaw(uint32_t newLow, uint32_t newHigh) {
        low = newLow;
        high = newHigh;
    }
    uint32_t GetLow() const { return low; }
    uint32_t GetHigh() const { return high; }
    uint64_t ToUint64() const { return (static_cast<uint64_t>(high) << 32) | low; }
    // The whole word as an unsigned number.
    double ToDouble() const { return static_cast<double>(low) + static_cast<double>(high) * 4294967296.0; }

    // Debug output of the 1-, 2-, 4- or 6-bit field starting at bit n of the low half, most significant
    // digit first. Bits past 31 print as 0.
    void PrintBit(unsigned n, std::ostream& out = std::cout) const { PrintField(n, 1, out); }
    void PrintBits2(unsigned n, std::ostream& out = std::cout) const { PrintField(n, 2, out); }
    void PrintBits4(unsigned n, std::ostream& out = std::cout) const { PrintField(n, 4, out); }
    void PrintBits6(unsigned n, std::ostream& out = std::cout) const { PrintField(n, 6, out); }

private:
    void SetWord(uint64_t word) {
        low = static_cast<uint32_t>(word);
        high = static_cast<uint32_t>(word >> 32);
    }
    void PrintField(unsigned n, unsigned width, std::ostream& out) const;

    uint32_t low = 0;
    uint32_t high = 0;
};
