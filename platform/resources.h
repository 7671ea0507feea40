// The program's own resources: found by name and type, loaded and locked as Windows does it.
// Names and types compare without regard to case. The only built-in resource is the WAVE
// "RADIO_CLICK_LOOP", our own radio click (8-bit mono PCM at 22050 Hz) made when the program is compiled.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct ResourceEntry__;
using HRSRC = ResourceEntry__*;
using HGLOBAL = void*;

constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// module null: the program itself (the only module with resources here). Null with last error 1813
// when no resource has that type, 1814 when the type exists but not the name, 1812 for another module.
// Integer identifiers (pointer values below 0x10000) are accepted and never found.
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
// The resource's bytes stay valid for the life of the program.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
// 0 for a null resource.
DWORD SizeofResource(HMODULE module, HRSRC resource);

namespace platform {

// The built-in radio click: a RIFF/WAVE image of 17964 bytes.
std::span<const uint8_t> RadioClickResource();

// Adds a resource to the program's own for the lifetime of the guard (tests use it to offer a sound under
// another type or name). It is found after the built-in ones.
class ScopedResource {
public:
    ScopedResource(std::string name, std::string type, std::vector<uint8_t> bytes);
    ~ScopedResource();
    ScopedResource(const ScopedResource&) = delete;
    ScopedResource& operator=(const ScopedResource&) = delete;

private:
    ResourceEntry__* entry_;
};

}  // namespace platform
