// Failures a test asks the device to produce, by the name of the API call.
#pragma once

#include <windows.h>

namespace cesim {

// True when the call should fail now; *error is what GetLastError will report. Takes the
// kernel lock itself, so call it before taking that lock.
bool ShouldFail(const char* api, DWORD* error);

} // namespace cesim
