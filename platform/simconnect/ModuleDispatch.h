// What a module host needs beyond the SimConnect API: the connections a module opened while it started,
// and the delivery of their messages to the callback the module registered with SimConnect_CallDispatch.
#pragma once

#include "platform/simconnect/SimConnect.h"

#include <vector>

namespace platform::simconnect {

// Records every connection opened on this thread while it lives (not nested).
class OpenCapture {
public:
    OpenCapture();
    ~OpenCapture();
    OpenCapture(const OpenCapture&) = delete;
    OpenCapture& operator=(const OpenCapture&) = delete;
    const std::vector<HANDLE>& Handles() const { return handles_; }

private:
    friend void NoteOpened(HANDLE handle);
    std::vector<HANDLE> handles_;
    OpenCapture* previous_;
};

void NoteOpened(HANDLE handle);

// Delivers the pending messages of the connection to the callback of its last SimConnect_CallDispatch.
// False when the handle is closed or no callback was registered.
bool DispatchToRegisteredCallback(HANDLE handle);

}  // namespace platform::simconnect
