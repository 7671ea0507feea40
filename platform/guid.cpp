#include "platform/guid.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>
#include <vector>

namespace {

std::mt19937_64& Engine() {
    thread_local std::mt19937_64 engine = [] {
        std::vector<uint32_t> seeds;
        try {
            std::random_device device;
            for (int i = 0; i < 8; ++i) seeds.push_back(device());
        } catch (...) {
            // No entropy source: time and thread still make the engines differ.
        }
        const auto now = static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
        const auto thread = static_cast<uint64_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
        seeds.push_back(static_cast<uint32_t>(now));
        seeds.push_back(static_cast<uint32_t>(now >> 32));
        seeds.push_back(static_cast<uint32_t>(thread));
        seeds.push_back(static_cast<uint32_t>(thread >> 32));
        std::seed_seq sequence(seeds.begin(), seeds.end());
        return std::mt19937_64(sequence);
    }();
    return engine;
}

}  // namespace

HRESULT CoCreateGuid(GUID* guid) {
    if (!guid) return E_INVALIDARG;
    const uint64_t high = Engine()();
    const uint64_t low = Engine()();
    guid->Data1 = static_cast<uint32_t>(high >> 32);
    guid->Data2 = static_cast<uint16_t>(high >> 16);
    guid->Data3 = static_cast<uint16_t>((high & 0x0FFF) | 0x4000);  // version 4
    for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<uint8_t>(low >> (56 - 8 * i));
    guid->Data4[0] = static_cast<uint8_t>((guid->Data4[0] & 0x3F) | 0x80);  // variant 1
    return S_OK;
}

std::string platform::GuidToString(const GUID& guid, bool upperCase) {
    const char* format = upperCase ? "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"
                                   : "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}";
    char text[40];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                  static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                  guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}
