// Whole files through the platform's own file calls, so device paths work on the device.
#pragma once

#include <string>

#include <windows.h>

namespace vexocfg {

// Larger files are refused: the settings key never comes near it.
const DWORD kMaxFileBytes = 1024 * 1024;

// ERROR_SUCCESS or the platform's error code; ERROR_NOT_ENOUGH_MEMORY for a file too large.
DWORD ReadWholeFile(const std::u16string& path, std::string* bytes);
// Replaces the file; a failed write leaves no partial file behind.
DWORD WriteWholeFile(const std::u16string& path, const std::string& bytes);

} // namespace vexocfg
