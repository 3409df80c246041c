// What each setting is: its registry name, kind, accepted range, default and meaning; and
// the conversions between the words a user types and the values vexo reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/tree.h"

namespace vexocfg {

enum class Kind {
    Action, // 0 close, 1 minimise, 2 task menu
    OnOff,  // 0 or 1; vexo takes any non-zero as on, but only 1 is written
    Number, // 0 to `maximum`
    Colour, // COLORREF 0x00BBGGRR; the default is a system colour
    Text,   // up to `maximum` UTF-16 units, may be empty
    Path,   // a full path of up to `maximum` units
};

struct Setting {
    const char* name;
    Kind kind;
    DWORD number;        // the default of numbers; the system colour index of colours
    const char* text;    // the default of texts; the system colour's name for colours
    DWORD maximum;       // the largest number, or the longest text
    const char* meaning; // one line for the help text
};

extern const char kSettingsKeyName[];  // HKEY_CURRENT_USER\Software\Holmvest\Vexo
extern const char16_t kSettingsPath[]; // Software\Holmvest\Vexo, under HKEY_CURRENT_USER
extern const char16_t kExceptionsKey[];
extern const char16_t kIgnoredKey[];

// The values of the settings key, in the order vexo reads them into its record.
const std::vector<Setting>& Settings();
// The values of one subkey of "Exceptions".
const std::vector<Setting>& ExceptionFields();
// Each ItemN value of "IgnoredApps".
const Setting& IgnoredItem();

const Setting* FindSetting(const std::vector<Setting>& table, const std::u16string& name);

// What a user typed, as the value to store under the setting's name.
std::optional<RegValue> ParseValue(const Setting& setting, const std::string& text,
                                   std::string* why);
// Whether a stored value, as an imported file gives it, is one `set` could have written.
bool CheckValue(const Setting& setting, const RegValue& value, std::string* why);
// The value as `get` and `list` show it: in a form `set` accepts, with "(default)" when
// nothing is stored and a remark when what is stored is not what vexo expects.
std::string FormatValue(const Setting& setting, const RegValue* stored);
// The kind and range for the help text, e.g. "0..60000".
std::string DescribeKind(const Setting& setting);
std::string DescribeDefault(const Setting& setting);

} // namespace vexocfg
