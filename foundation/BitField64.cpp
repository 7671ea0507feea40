#include "foundation/BitField64.h"

namespace {

// Mask of the field lo..hi, already shifted into place; 0 for a field that does not fit the word.
uint64_t FieldMask(unsigned lo, unsigned hi) {
    if (hi < lo || hi > 63) {
        return 0;
    }
    const unsigned width = hi - lo + 1;
    const uint64_t mask = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
    return mask << lo;
}

}  // namespace

void BitField64::SetBit(unsigned n) {
    if (n < 64) {
        SetWord(ToUint64() | (uint64_t{1} << n));
    }
}

void BitField64::ClearBit(unsigned n) {
    if (n < 64) {
        SetWord(ToUint64() & ~(uint64_t{1} << n));
    }
}

void BitField64::ToggleBit(unsigned n) {
    if (n < 64) {
        SetWord(ToUint64() ^ (uint64_t{1} << n));
    }
}

bool BitField64::TestBit(unsigned n) const {
    return n < 64 && ((ToUint64() >> n) & 1u) != 0;
}

int BitField64::SetBits(unsigned lo, unsigned hi, uint64_t value) {
    const uint64_t placed = FieldMask(lo, hi);
    if (placed == 0) {
        return 0;
    }
    const uint64_t max = placed >> lo;
    int clamped = 0;
    if (value > max) {
        value = max;
        clamped = 1;
    }
    SetWord((ToUint64() & ~placed) | (value << lo));
    return clamped;
}

uint64_t BitField64::GetBits(unsigned lo, unsigned hi) const {
    const uint64_t placed = FieldMask(lo, hi);
    return placed == 0 ? 0 : (ToUint64() & placed) >> lo;
}

void BitField64::PrintField(unsigned n, unsigned width, std::ostream& out) const {
    for (unsigned i = width; i-- > 0;) {
        const bool inLow = n < 32 && i < 32 - n;
        out << ((inLow && ((low >> (n + i)) & 1u) != 0) ? '1' : '0');
    }
}
