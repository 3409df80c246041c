// What each setting is: its registry name, kind, accepted range, default and meaning; and
// the conversions between the words a user types and the values vexo reads.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/settings.h"
#include "tools/vexocfg/text.h"

namespace vexocfg {

const char kSettingsKeyName[] = "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo";
const char16_t kSettingsPath[] = u"Software\\Holmvest\\Vexo";
const char16_t kExceptionsKey[] = u"Exceptions";
const char16_t kIgnoredKey[] = u"IgnoredApps";

namespace {

// vexo builds "<InstallDir>\VexoCfg.exe" in 260 characters; module paths fit in 260 too.
const DWORD kMaxPath = 259;
const DWORD kMaxInstallDir = 260 - 1 - 12;
const DWORD kMaxTimeout = 60000;

const std::vector<Setting> kSettings = {
    {"InstallDir", Kind::Path, 0, "", kMaxInstallDir,
     "installation folder, written by setup; Settings starts VexoCfg.exe there"},
    {"TapAction", Kind::Action, 0, nullptr, 2, "tap on the button"},
    {"TapAndHoldAction", Kind::Action, 2, nullptr, 2, "tap-and-hold on the button"},
    {"GestureAction", Kind::Action, 1, nullptr, 2, "downward drag off the button"},
    {"TLHWKey", Kind::Number, 0, nullptr, 255,
     "virtual-key code of the hardware hot key; 0: no hot key"},
    {"AltTab", Kind::OnOff, 1, nullptr, 1,
     "the hot key opens the Alt-Tab switcher (on) or the task menu (off)"},
    {"CompactMode", Kind::OnOff, 0, nullptr, 1, "compact task menu"},
    {"ShowDesktop", Kind::OnOff, 1, nullptr, 1, "Desktop entry in the task menu"},
    {"ShowSoftReset", Kind::OnOff, 0, nullptr, 1, "menu item Software Reset"},
    {"ShowDisplayOff", Kind::OnOff, 0, nullptr, 1, "menu item Display Off"},
    {"ShowLandscapeLeft", Kind::OnOff, 0, nullptr, 1, "menu item Landscape Left"},
    {"ShowLandscapeRight", Kind::OnOff, 0, nullptr, 1, "menu item Landscape Right"},
    {"ShowPowerOff", Kind::OnOff, 0, nullptr, 1, "menu item Power Off"},
    {"ShowTaskOperations", Kind::OnOff, 1, nullptr, 1,
     "menu items Minimize, Close Background Tasks, Close All Tasks"},
    {"ShowWiFi", Kind::OnOff, 0, nullptr, 1, "menu item WiFi on/off"},
    {"ShowBth", Kind::OnOff, 0, nullptr, 1, "menu item Bluetooth on/off"},
    {"WiFiDevice", Kind::Text, 0, "", 128, "name of the WiFi adapter (read at vexo's start)"},
    {"ClrMenuHiBg", Kind::Colour, COLOR_HIGHLIGHT, "COLOR_HIGHLIGHT", 0xFFFFFF,
     "background of the highlighted menu item"},
    {"ClrMenuHiFg", Kind::Colour, COLOR_HIGHLIGHTTEXT, "COLOR_HIGHLIGHTTEXT", 0xFFFFFF,
     "text of the highlighted menu item"},
    {"ClrMenuBg", Kind::Colour, COLOR_MENU, "COLOR_MENU", 0xFFFFFF, "menu background"},
    {"ClrMenuFg", Kind::Colour, COLOR_MENUTEXT, "COLOR_MENUTEXT", 0xFFFFFF, "menu text"},
    {"Page", Kind::Number, 0, nullptr, 255, "kept for the settings program; vexo ignores it"},
    {"OldStyleButton", Kind::OnOff, 0, nullptr, 1, "older style of button face"},
    {"ConfirmSoftReset", Kind::OnOff, 1, nullptr, 1, "ask before a soft reset"},
    {"ConfirmTerminate", Kind::OnOff, 1, nullptr, 1,
     "kept for the settings program; vexo ignores it"},
    {"KillTimeout", Kind::Number, 10, nullptr, 3600,
     "kept for the settings program; vexo ignores it"},
    {"ShowDot", Kind::OnOff, 1, nullptr, 1,
     "dot at the button's left edge; a tap on it opens the task menu"},
    {"OldStyleBkgnd", Kind::OnOff, 0, nullptr, 1, "older style of button background"},
    {"LongPressTimeout", Kind::Number, 500, nullptr, kMaxTimeout,
     "ms the hot key is held for a long press"},
    {"AltTabTimeout", Kind::Number, 500, nullptr, kMaxTimeout,
     "ms without a press after which the Alt-Tab switcher ends"},
    {"LogFile", Kind::Path, 0, "\\vexo.log", kMaxPath, "log file (read at vexo's start)"},
    {"LogLevel", Kind::Number, 0, nullptr, 7,
     "highest level written to the log; 0: no log (read at vexo's start)"},
};

const std::vector<Setting> kExceptionFields = {
    {"ExeName", Kind::Path, 0, "", kMaxPath, "full path of the program's executable"},
    {"TapAction", Kind::Action, 0, nullptr, 2, "tap on the button for this program"},
    {"GestureAction", Kind::Action, 1, nullptr, 2, "drag gesture for this program"},
};

const Setting kIgnoredItem = {"Item", Kind::Path, 0,
                              "",     kMaxPath,   "full path of a program never listed as a task"};

const char* const kActionWords[] = {"close", "minimize", "menu"};

bool IsNumeric(Kind kind) {
    return kind == Kind::Action || kind == Kind::OnOff || kind == Kind::Number ||
           kind == Kind::Colour;
}

bool Refuse(std::string* why, const std::string& what) {
    if (why)
        *why = what;
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<DWORD> ParseHex(const std::string& digits, size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits)
        return std::nullopt;
    DWORD n = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = n << 4 | DWORD(d);
    }
    return n;
}

// Decimal, or hexadecimal after 0x; no sign, no blanks.
std::optional<DWORD> ParseNumber(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseHex(text.substr(2), 8);
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + unsigned(c - '0');
    }
    if (n > 0xFFFFFFFFull)
        return std::nullopt;
    return DWORD(n);
}

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

std::string Hex(DWORD n, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, unsigned(n));
    return buffer;
}

// 0x00BBGGRR as 0xRRGGBB, the order people write colours in.
std::string FormatColour(DWORD colorref) {
    return Hex((colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF), 6);
}

std::optional<DWORD> ParseColour(const std::string& text) {
    std::optional<DWORD> rgb;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        rgb = ParseHex(text.substr(2), 6);
    else if (text.size() == 7 && text[0] == '#')
        rgb = ParseHex(text.substr(1), 6);
    if (rgb)
        return (*rgb >> 16 & 0xFF) | (*rgb & 0xFF00) | (*rgb & 0xFF) << 16;
    DWORD parts[3];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(',', start);
        if ((i < 2) == (comma == std::string::npos))
            return std::nullopt;
        std::string part = text.substr(start, comma - start);
        while (!part.empty() && part.front() == ' ')
            part.erase(part.begin());
        while (!part.empty() && part.back() == ' ')
            part.pop_back();
        const bool decimal = !part.empty() && part.size() <= 3 &&
                             part.find_first_not_of("0123456789") == std::string::npos;
        if (!decimal || std::stoi(part) > 255)
            return std::nullopt;
        parts[i] = DWORD(std::stoi(part));
        start = comma + 1;
    }
    return RGB(parts[0], parts[1], parts[2]);
}

std::string FormatNumber(const Setting& s, DWORD n) {
    switch (s.kind) {
    case Kind::Action:
        return n <= 2 ? kActionWords[n] : std::to_string(n) + " (out of range)";
    case Kind::OnOff:
        return n == 0 ? "off" : n == 1 ? "on" : "on (stored as " + std::to_string(n) + ")";
    case Kind::Number:
        return std::to_string(n) + (n > s.maximum ? " (out of range)" : "");
    case Kind::Colour:
        return n <= 0xFFFFFF ? FormatColour(n) : Hex(n, 8) + " (not a COLORREF)";
    default:
        return std::to_string(n);
    }
}

bool IsFullPath(const std::u16string& p) {
    if (!p.empty() && p[0] == u'\\')
        return true;
    const bool letter =
        p.size() >= 3 && ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
    return letter && p[1] == u':' && p[2] == u'\\';
}

bool CheckText(const Setting& s, const std::u16string& text, std::string* why) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x20)
            return Refuse(why, std::string(s.name) + ": control characters are not allowed");
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return Refuse(why, std::string(s.name) + ": the text has an unpaired surrogate");
        }
    }
    if (text.size() > s.maximum)
        return Refuse(why, std::string(s.name) + ": longer than " + std::to_string(s.maximum) +
                               " characters");
    if (s.kind == Kind::Path && text.empty())
        return Refuse(why, std::string(s.name) + ": the path is empty");
    if (s.kind == Kind::Path && !IsFullPath(text))
        return Refuse(why, std::string(s.name) + ": \"" + ToUtf8(text) +
                               "\" is not a full path (\\folder\\file or X:\\folder\\file)");
    return true;
}

bool CheckNumber(const Setting& s, DWORD n, const std::string& shown, std::string* why) {
    const std::string name = s.name;
    switch (s.kind) {
    case Kind::Action:
        return n <= 2 || Refuse(why, name + ": " + shown +
                                         " is not an action; give close (0), minimize (1) or "
                                         "menu (2)");
    case Kind::OnOff:
        return n <= 1 || Refuse(why, name + " is on or off: give on, off, 1 or 0, not " + shown);
    case Kind::Number:
        return n <= s.maximum || Refuse(why, name + ": " + shown + " is out of range 0.." +
                                                 std::to_string(s.maximum));
    case Kind::Colour:
        return n <= 0xFFFFFF ||
               Refuse(why, name + ": " + shown + " is not a colour (COLORREF 0x00BBGGRR)");
    default:
        return true;
    }
}

} // namespace

const std::vector<Setting>& Settings() {
    return kSettings;
}

const std::vector<Setting>& ExceptionFields() {
    return kExceptionFields;
}

const Setting& IgnoredItem() {
    return kIgnoredItem;
}

const Setting* FindSetting(const std::vector<Setting>& table, const std::u16string& name) {
    for (const Setting& s : table) {
        if (SameNoCase(name, *FromUtf8(s.name)))
            return &s;
    }
    return nullptr;
}

std::optional<RegValue> ParseValue(const Setting& s, const std::string& text, std::string* why) {
    RegValue value;
    value.name = *FromUtf8(s.name);
    const std::string name = s.name;
    if (!IsNumeric(s.kind)) {
        const std::optional<std::u16string> wide = FromUtf8(text);
        if (!wide) {
            Refuse(why, name + ": the text is not UTF-8");
            return std::nullopt;
        }
        if (!CheckText(s, *wide, why))
            return std::nullopt;
        value.type = REG_SZ;
        value.data = TextBytes(*wide);
        return value;
    }
    std::optional<DWORD> n;
    if (s.kind == Kind::Colour) {
        n = ParseColour(text);
        if (!n) {
            Refuse(why, name + ": \"" + text +
                            "\" is not a colour; give 0xRRGGBB, #RRGGBB or R,G,B (0..255 each)");
            return std::nullopt;
        }
    } else if (s.kind == Kind::Action) {
        for (DWORD i = 0; i < 3 && !n; ++i) {
            if (SameNoCase(text, kActionWords[i]))
                n = i;
        }
        if (!n && SameNoCase(text, "minimise"))
            n = 1;
    } else if (s.kind == Kind::OnOff) {
        if (SameNoCase(text, "on"))
            n = 1;
        else if (SameNoCase(text, "off"))
            n = 0;
    }
    if (!n)
        n = ParseNumber(text);
    if (!n) {
        Refuse(why, name + ": \"" + text + "\" is not " +
                        (s.kind == Kind::Action  ? "an action; give close, minimize or menu"
                         : s.kind == Kind::OnOff ? "on or off; give on, off, 1 or 0"
                                                 : "a number"));
        return std::nullopt;
    }
    if (!CheckNumber(s, *n, text, why))
        return std::nullopt;
    value.type = REG_DWORD;
    value.data = DwordBytes(*n);
    return value;
}

bool CheckValue(const Setting& s, const RegValue& value, std::string* why) {
    const std::string name = s.name;
    if (IsNumeric(s.kind)) {
        const std::optional<DWORD> n = DwordOf(value);
        if (!n)
            return Refuse(why, name + " must be a dword");
        return CheckNumber(s, *n, Hex(*n, 8), why);
    }
    const std::vector<uint8_t>& d = value.data;
    if (value.type != REG_SZ)
        return Refuse(why, name + " must be a string");
    if (d.size() < 2 || d.size() % 2 != 0 || d[d.size() - 2] != 0 || d.back() != 0)
        return Refuse(why, name + ": the string has no terminator");
    const std::u16string text = TextOf(value);
    if ((text.size() + 1) * 2 != d.size())
        return Refuse(why, name + ": the string holds a NUL");
    return CheckText(s, text, why);
}

std::string FormatValue(const Setting& s, const RegValue* stored) {
    if (!stored)
        return DescribeDefault(s) + " (default)";
    const std::string type = " (stored as type " + std::to_string(stored->type) + ")";
    if (IsNumeric(s.kind)) {
        const std::vector<uint8_t>& d = stored->data;
        if (d.size() != 4)
            return DescribeDefault(s) + " (default: what is stored is not a 4-byte number)";
        const DWORD n = DWORD(d[0]) | DWORD(d[1]) << 8 | DWORD(d[2]) << 16 | DWORD(d[3]) << 24;
        return FormatNumber(s, n) + (stored->type == REG_DWORD ? "" : type);
    }
    const bool string = stored->type == REG_SZ || stored->type == REG_EXPAND_SZ;
    return Quote(ToUtf8(TextOf(*stored))) + (string ? "" : type);
}

std::string DescribeKind(const Setting& s) {
    switch (s.kind) {
    case Kind::Action:
        return "action";
    case Kind::OnOff:
        return "on/off";
    case Kind::Number:
        return "0.." + std::to_string(s.maximum);
    case Kind::Colour:
        return "colour";
    case Kind::Text:
        return "text";
    case Kind::Path:
        return "path";
    }
    return "";
}

std::string DescribeDefault(const Setting& s) {
    switch (s.kind) {
    case Kind::Colour:
        return std::string("system ") + s.text;
    case Kind::Text:
    case Kind::Path:
        return Quote(s.text);
    default:
        return FormatNumber(s, s.number);
    }
}

} // namespace vexocfg
