// The simulator's gauge-interface table, as a module sees it through its exported `Panels` pointer.
//
// The table is an array of function-pointer slots. A slot's index is its byte offset in the table of the
// 32-bit simulator divided by 4, so the same code runs with 8-byte pointers.
#pragma once

#include <cstddef>

using GaugeFunction = void (*)();

constexpr size_t kGaugeTableSlots = 64;

struct PANELS {
    GaugeFunction slots[kGaugeTableSlots];
};

// Named (aircraft) variables: look up a name's id (-1 when unknown), read the value of an id.
constexpr size_t kLookupNamedVariableSlot = 204 / 4;
constexpr size_t kReadNamedVariableSlot = 212 / 4;
using LookupNamedVariableFunction = int (*)(const char* name);
using ReadNamedVariableFunction = double (*)(int id);
