// The two lists of the settings: per-program exceptions and the ignored programs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/tree.h"

namespace vexocfg {

// The subkeys of "Exceptions" in the order vexo reads them; the first match wins there.
std::vector<const RegKey*> Exceptions(const std::optional<RegKey>& settings);
std::u16string ExeNameOf(const RegKey& exception);
// One line per exception: its program, tap action and gesture action.
std::string FormatException(const RegKey& exception);
// A subkey name for a new exception of `exe`, unused in `exceptions`.
std::u16string NewExceptionName(const RegKey& exceptions, const std::u16string& exe);

struct IgnoredEntry {
    std::u16string path;
    bool readByVexo = true; // vexo reads Item0 up to the number of values less one
};
// Every non-empty ItemN value, by its number.
std::vector<IgnoredEntry> IgnoredEntries(const std::optional<RegKey>& settings);
// Replaces every value of "IgnoredApps" with Item0, Item1, ... for `paths`.
void SetIgnored(RegKey& settings, const std::vector<std::u16string>& paths);
// The number N of a value named ItemN (no sign, no leading zeros), or -1.
long ItemNumber(const std::u16string& name);

} // namespace vexocfg
