#include "platform/resources.h"

#include "platform/wintext.h"

#include <array>
#include <cstdint>
#include <list>
#include <mutex>

struct ResourceEntry__ {
    std::string name;
    std::string type;
    std::vector<uint8_t> owned;    // bytes of a resource added at run time
    std::span<const uint8_t> bytes;
};

namespace {

// The radio click, computed by the compiler: a short squelch click followed by a low radio hiss that
// joins its own start without a jump, so that it loops cleanly. 8-bit unsigned PCM, 128 is silence.
constexpr uint32_t kClickRate = 22050;
constexpr uint32_t kClickDataBytes = 17920;
constexpr uint32_t kClickFileBytes = 44 + kClickDataBytes;

using ClickImage = std::array<uint8_t, kClickFileBytes>;

constexpr void Put32(ClickImage& out, uint32_t at, uint32_t v)
{
    for (uint32_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr void PutTag(ClickImage& out, uint32_t at, const char (&tag)[5])
{
    for (uint32_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(tag[i]);
}

constexpr ClickImage MakeRadioClick()
{
    ClickImage out{};
    PutTag(out, 0, "RIFF");
    Put32(out, 4, kClickFileBytes - 8);
    PutTag(out, 8, "WAVE");
    PutTag(out, 12, "fmt ");
    Put32(out, 16, 16);
    Put32(out, 20, 1u | (1u << 16));      // PCM, one channel
    Put32(out, 24, kClickRate);
    Put32(out, 28, kClickRate);           // bytes per second
    Put32(out, 32, 1u | (8u << 16));      // block align 1, 8 bits
    PutTag(out, 36, "data");
    Put32(out, 40, kClickDataBytes);

    constexpr int32_t kClickEnd = 220;      // 10 ms of click
    constexpr int32_t kBurstEnd = 2200;     // 100 ms of squelch burst
    constexpr int32_t kHiss = 10;           // loudness of the steady hiss
    uint32_t seed = 0x2545F491u;
    int32_t low = 0;                       // one-pole low-pass to take the edge off the noise
    for (int32_t i = 0; i < static_cast<int32_t>(kClickDataBytes); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int32_t noise = static_cast<int32_t>(seed >> 24) - 128;
        low += (noise - low) / 4;
        int32_t amplitude = kHiss;
        if (i < kClickEnd)
            amplitude = 110 - (100 * i) / kClickEnd;
        else if (i < kBurstEnd)
            amplitude = kHiss + (30 * (kBurstEnd - i)) / (kBurstEnd - kClickEnd);
        int32_t sample = (low * amplitude) / 64;
        if (i < 3) sample += (i == 0 ? 90 : i == 1 ? -70 : 40);  // the edge of the click
        // Fade the last 5 ms into the level the loop starts from.
        const int32_t left = static_cast<int32_t>(kClickDataBytes) - i;
        if (left < 110) sample = (sample * left) / 110;
        if (sample > 127) sample = 127;
        if (sample < -127) sample = -127;
        out[44 + i] = static_cast<uint8_t>(128 + sample);
    }
    return out;
}

constexpr ClickImage kRadioClick = MakeRadioClick();
static_assert(kRadioClick.size() == 17964);

struct Registry {
    std::mutex lock;
    std::list<ResourceEntry__> entries;  // built-in first; a list keeps every entry at its address
};

Registry& Resources()
{
    static Registry* registry = [] {
        auto* r = new Registry;
        ResourceEntry__ click;
        click.name = "RADIO_CLICK_LOOP";
        click.type = "WAVE";
        click.bytes = std::span<const uint8_t>(kRadioClick.data(), kRadioClick.size());
        r->entries.push_back(std::move(click));
        return r;
    }();
    return *registry;
}

bool IsIntegerId(const char* name)
{
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

}  // namespace

HRSRC FindResourceA(HMODULE module, const char* name, const char* type)
{
    if (module != nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (IsIntegerId(type)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    Registry& registry = Resources();
    std::lock_guard guard(registry.lock);
    bool typeFound = false;
    for (auto& entry : registry.entries) {
        if (!platform::text::IEquals(entry.type, type)) continue;
        typeFound = true;
        if (!IsIntegerId(name) && platform::text::IEquals(entry.name, name)) return &entry;
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    if (resource == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<uint8_t*>(resource->bytes.data());
}

LPVOID LockResource(HGLOBAL data)
{
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    if (resource == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(resource->bytes.size());
}

namespace platform {

std::span<const uint8_t> RadioClickResource()
{
    return std::span<const uint8_t>(kRadioClick.data(), kRadioClick.size());
}

ScopedResource::ScopedResource(std::string name, std::string type, std::vector<uint8_t> bytes)
{
    Registry& registry = Resources();
    std::lock_guard guard(registry.lock);
    ResourceEntry__& entry = registry.entries.emplace_back();
    entry.name = std::move(name);
    entry.type = std::move(type);
    entry.owned = std::move(bytes);
    entry.bytes = std::span<const uint8_t>(entry.owned.data(), entry.owned.size());
    entry_ = &entry;
}

ScopedResource::~ScopedResource()
{
    Registry& registry = Resources();
    std::lock_guard guard(registry.lock);
    registry.entries.remove_if([this](const ResourceEntry__& e) { return &e == entry_; });
}

}  // namespace platform
