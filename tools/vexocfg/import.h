// Applying a .reg file to the settings held in memory, refusing anything set would refuse.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/regtext.h"

namespace vexocfg {

// Applies the statements to `settings` (the settings key; empty when missing) in file order,
// as regedit would. False, with *why naming the line, when a statement touches a key outside
// the settings or sets a value that the settings cannot hold; then `settings` is garbage.
bool ApplyImport(const std::vector<RegEdit>& edits, std::optional<RegKey>* settings,
                 std::string* why);

} // namespace vexocfg
