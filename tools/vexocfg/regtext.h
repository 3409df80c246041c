// The settings key as REGEDIT4 text: the portable reader's statements, and the key with its
// subtree written out as regedit does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/portable/regedit4.h"
#include "tools/vexocfg/tree.h"

namespace vexocfg {

typedef regedit4::Statement RegEdit;

// UTF-8 text, with or without a byte-order mark. *why names the line of the first error.
inline std::optional<std::vector<RegEdit>> ParseRegText(const std::string& text, std::string* why) {
    return regedit4::Parse(text, why);
}
// The key at `path` (from its root), its values, then its subkeys depth first; a missing key is
// written as an empty one.
std::string FormatRegText(const std::u16string& path, const std::optional<RegKey>& key);

} // namespace vexocfg
