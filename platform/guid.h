// GUIDs: creation and the registry text form.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <string>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) return false;
    }
    return true;
}

// A random (version 4) GUID. E_INVALIDARG for a null pointer.
HRESULT CoCreateGuid(GUID* guid);

namespace platform {

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", lower case unless upperCase.
std::string GuidToString(const GUID& guid, bool upperCase = false);

}  // namespace platform
