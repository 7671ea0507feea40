// Seeds of the random draws (jetway door values, attitudes of suppressed models).
#pragma once

#include <cstdint>

// Mixes three values into one 32-bit seed (Bob Jenkins' 96-bit mix).
uint32_t MixSeed(uint32_t a, uint32_t b, uint32_t c);

// MixSeed of the processor clock ticks, the current time in seconds and the process id.
uint32_t FreshSeed();
