#include "scenery/RandomSeed.h"

#include "platform/process.h"

#include <ctime>

uint32_t MixSeed(uint32_t a, uint32_t b, uint32_t c)
{
    a = (a - b - c) ^ (c >> 13);
    b = (b - c - a) ^ (a << 8);
    c = (c - a - b) ^ (b >> 13);
    a = (a - b - c) ^ (c >> 12);
    b = (b - c - a) ^ (a << 16);
    c = (c - a - b) ^ (b >> 5);
    a = (a - b - c) ^ (c >> 3);
    b = (b - c - a) ^ (a << 10);
    c = (c - a - b) ^ (b >> 15);
    return c;
}

uint32_t FreshSeed()
{
    return MixSeed(static_cast<uint32_t>(std::clock()), static_cast<uint32_t>(std::time(nullptr)),
                   static_cast<uint32_t>(GetCurrentProcessId()));
}
