// Driving vexo's button like a user and reading what vexo did, for the scenario tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vexotest {

// REGEDIT4 text for the settings key: a log of every level in "\vexo.log", then the given
// value lines such as "\"ShowDot\"=dword:00000001".
std::string SettingsText(const std::vector<std::string>& values = {});

// Boots a device with those settings, starts a program "Notes" in front and vexo; returns
// the program's window.
HWND BootWithNotes(int dpi, const std::vector<std::string>& values = {});

// A point of the button given in its client coordinates, in screen coordinates.
POINT OnButton(int x, int y);
void TapButton(int x, int y);

// vexo's log, line by line, without the time stamps.
std::vector<std::string> LogMessages();
// How many messages of the log begin with prefix.
int CountLog(const std::string& prefix);
// The log's text for a window handle, as OnClose writes it: "OnClose(<hex>)".
std::string CloseLine(HWND window);

} // namespace vexotest
