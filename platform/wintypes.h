// Basic Windows types, result codes and the per-thread last error of the platform layer.
// Subsystem code uses these exactly as it would on Windows.
#pragma once

#include <cstdint>

using DWORD = uint32_t;
using BOOL = int;
using BOOLEAN = uint8_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using HRESULT = int32_t;
using LPVOID = void*;
using PVOID = void*;
using HANDLE = void*;
using PHANDLE = HANDLE*;
using HWND = void*;
using HMODULE = void*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr DWORD MAX_PATH = 260;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_IO_PENDING = 997;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

DWORD GetLastError();
void SetLastError(DWORD code);

// Closes any handle the layer hands out (mutex, event, snapshot, ...). FALSE for null or invalid handles.
BOOL CloseHandle(HANDLE handle);

namespace platform {

// Every handle of the layer points at one of these; CloseHandle deletes it. Each object registers
// itself while it lives, so a closed, foreign or garbage handle is recognised instead of followed.
class KernelObject {
public:
    KernelObject();
    KernelObject(const KernelObject&);
    KernelObject& operator=(const KernelObject&) { return *this; }
    virtual ~KernelObject();
};

// The live object behind a handle; null for null, INVALID_HANDLE_VALUE and handles that are not
// (or no longer) objects of the layer.
KernelObject* LiveObject(HANDLE handle);

// The live object behind a handle when it is of type T, else null.
template <typename T>
T* HandleAs(HANDLE handle)
{
    return dynamic_cast<T*>(LiveObject(handle));
}

}  // namespace platform
