// Seeds of the random draws (jetway door values, attitudes of suppressed models).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>

// Mixes three values into one 32-bit seed (Bob Jenkins' 96-bit mix).
uint32_t MixSeed(uint32_t a, uint32_t b, uint32_t c);

// MixSeed of the processor clock ticks, the current time in seconds and the process id.
uint32_t FreshSeed();

// The draws of a std::mt19937 seeded with one value, the same numbers in the same order, for a reader
// that takes only a few of them from each seed: the first 227 are worked out from the seeding's words
// as they are needed (the first takes 398 of them), without generating the whole state; any later draw
// comes from a std::mt19937 brought to the same place.
class SeededMt19937 {
public:
    using result_type = uint32_t;

    explicit SeededMt19937(uint32_t seed) : seed_(seed) { words_[0] = seed; }

    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return 0xFFFFFFFFu; }

    result_type operator()()
    {
        if (drawn_ >= kQuick) {
            if (!full_) {
                full_.emplace(seed_);
                full_->discard(drawn_);
            }
            ++drawn_;
            return (*full_)();
        }
        const uint32_t y = (Word(drawn_) & 0x80000000u) | (Word(drawn_ + 1) & 0x7FFFFFFFu);
        uint32_t z = Word(drawn_ + kShift) ^ (y >> 1) ^ ((y & 1u) != 0 ? 0x9908B0DFu : 0u);
        ++drawn_;
        z ^= z >> 11;
        z ^= (z << 7) & 0x9D2C5680u;
        z ^= (z << 15) & 0xEFC60000u;
        z ^= z >> 18;
        return z;
    }

private:
    static constexpr size_t kWords = 624;
    static constexpr size_t kShift = 397;
    static constexpr size_t kQuick = kWords - kShift;  // draws that read only words of the seeding

    // Word j of the state the seeding makes.
    uint32_t Word(size_t j)
    {
        for (; seeded_ <= j; ++seeded_) {
            const uint32_t previous = words_[seeded_ - 1];
            words_[seeded_] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<uint32_t>(seeded_);
        }
        return words_[j];
    }

    uint32_t seed_;
    size_t drawn_ = 0;
    size_t seeded_ = 1;
    std::array<uint32_t, kWords> words_;  // the first seeded_ are set
    std::optional<std::mt19937> full_;
};
