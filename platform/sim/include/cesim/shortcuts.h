// The driver's view of the shell's folders and shortcuts: what a shortcut file says.
#pragma once

#include <optional>
#include <string>

namespace cesim {

// The command a shortcut file holds ("18#\Windows\calc.exe" holds "\Windows\calc.exe"), or
// nothing when the file is missing or is not in the shortcut form.
std::optional<std::u16string> ShortcutCommand(const std::u16string& devicePath);

} // namespace cesim
