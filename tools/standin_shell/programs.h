// Simulated programs: each runs on a thread of its own, like a program in its own process on
// the device, with one top-level window that behaves in its own way when it is asked to close
// and records every message it receives.
#pragma once

#include "options.h"
#include "record.h"

#include <windows.h>

// The extended style of a dialog with an OK button in its caption; desktop headers lack it.
constexpr DWORD kCaptionOkButton = 0x80000000;

// Starts the program inside the area (screen coordinates) and waits until its window exists.
// Returns the window, or null when it could not be made.
HWND StartProgram(const ProgramRequest& request, const RECT& area, Record& record);
