// REGEDIT4 text: read into statements, and a key with its subtree written out as regedit does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/tree.h"

namespace vexocfg {

struct RegEdit {
    enum class Kind { OpenKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::OpenKey;
    std::u16string key; // the full path, root first
    RegValue value;     // its name for the value statements, its data for SetValue
    int line = 0;
};

// UTF-8 text, with or without a byte-order mark. *why names the line of the first error.
std::optional<std::vector<RegEdit>> ParseRegText(const std::string& text, std::string* why);
// CRLF line ends; strings quoted where quoted text can carry them exactly, else hex bytes.
std::string FormatRegText(const std::u16string& path, const std::optional<RegKey>& key);

} // namespace vexocfg
