// vexocfg: edits vexo's settings in the registry as its settings program would, and tells the
// running vexo to reload them.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/vexocfg.h"

#include "tools/vexocfg/files.h"
#include "tools/vexocfg/import.h"
#include "tools/vexocfg/lists.h"
#include "tools/vexocfg/notify.h"
#include "tools/vexocfg/regtext.h"
#include "tools/vexocfg/settings.h"
#include "tools/vexocfg/text.h"

namespace vexocfg {

namespace {

const char kUsage[] =
    "Usage: vexocfg [--no-notify] COMMAND [ARGUMENTS]\n"
    "\n"
    "Edits the settings of vexo, the taskbar task manager, in the registry key\n"
    "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo, and then tells the running vexo to\n"
    "read them again.\n"
    "\n"
    "Commands\n"
    "  get NAME                 print one setting\n"
    "  set NAME VALUE           store one setting\n"
    "  reset NAME               remove one setting, so that its default applies\n"
    "  list                     print every setting, the exceptions and the ignored\n"
    "                           programs; \"(default)\" marks a setting not stored\n"
    "  exception add EXE TAP GESTURE\n"
    "                           the tap and gesture actions for the program EXE,\n"
    "                           a full path; replaces an exception EXE already has\n"
    "  exception remove EXE     remove the exception of EXE (case ignored)\n"
    "  exception list           print the exceptions in the order vexo tries them\n"
    "  ignore add PATH          never list the program PATH as a task\n"
    "  ignore remove PATH       list the program PATH again (case ignored)\n"
    "  ignore list              print the ignored programs\n"
    "  import FILE              apply a REGEDIT4 file of the settings, all or nothing\n"
    "  export FILE              write the settings key and its subkeys as REGEDIT4\n"
    "  help, --help, -h         print this text\n"
    "\n"
    "Options (anywhere before \"--\"; what follows \"--\" is never an option)\n"
    "  --no-notify              change the registry only; vexo sees the change\n"
    "                           when it next starts\n"
    "\n"
    "After a change vexocfg sends vexo's button window the registered message\n"
    "\"Holmvest::Vexo::Messages::ReadConfig\". When vexo is not running it says so on\n"
    "standard error and still succeeds. LogFile, LogLevel and WiFiDevice take effect\n"
    "only when vexo starts.\n"
    "\n"
    "Values\n"
    "  action   close (0), minimize (1) or menu (2)\n"
    "  on/off   on, off, 1 or 0\n"
    "  0..N     a whole number from 0 to N, decimal or hexadecimal with 0x\n"
    "  colour   0xRRGGBB, #RRGGBB or R,G,B with 0..255 each; the registry holds\n"
    "           it as a COLORREF, 0x00BBGGRR\n"
    "  text     UTF-8 without control characters, up to the length given\n"
    "  path     a full path (\\folder\\file or X:\\folder\\file) without control\n"
    "           characters, up to the length given\n"
    "get and list show values in these forms, texts in double quotes.\n"
    "\n"
    "Settings\n";

const char kUsageEnd[] =
    "\n"
    "Exceptions are subkeys of Exceptions with the values ExeName (path, up to 259),\n"
    "TapAction and GestureAction (actions). The ignored programs are the values\n"
    "Item0, Item1, ... of IgnoredApps (paths, up to 259); adding one appends it,\n"
    "removing one renumbers the rest, and either rewrites the list without gaps.\n"
    "\n"
    "Files\n"
    "  import reads REGEDIT4 text in UTF-8 (a byte-order mark is allowed) whose keys\n"
    "  are the settings key, its IgnoredApps and Exceptions subkeys and the subkeys\n"
    "  of Exceptions. It merges as regedit does: \"NAME\"=- deletes a value and [-KEY]\n"
    "  deletes a key with its subkeys. Every value is checked as set checks it, each\n"
    "  exception the file names must end up with an ExeName, and IgnoredApps must end\n"
    "  up numbered without gaps. A file with anything refused changes nothing.\n"
    "  export writes every value of the settings key and its subkeys, byte for byte.\n"
    "  FILE is a path of the device (or of Windows, for the desktop build).\n"
    "\n"
    "Exit codes\n"
    "  0  success\n"
    "  1  refused: an unknown setting, a value that does not parse or is out of\n"
    "     range, an entry that is not there, a file that is not a settings file;\n"
    "     nothing was written\n"
    "  2  usage: an unknown command or option, or the wrong number of arguments\n"
    "  3  the registry or a file could not be read or written; a registry change that\n"
    "     failed halfway is undone as far as the registry allows\n";

std::string HelpText() {
    std::string text = kUsage;
    for (const Setting& s : Settings()) {
        std::string kind = DescribeKind(s);
        if (s.kind == Kind::Text || s.kind == Kind::Path)
            kind += ", up to " + std::to_string(s.maximum);
        char line[160];
        std::snprintf(line, sizeof line, "  %-18s %-16s %s\n", s.name, kind.c_str(),
                      DescribeDefault(s).c_str());
        text += line;
        text += "      " + std::string(s.meaning) + "\n";
    }
    return text + kUsageEnd;
}

class Command {
public:
    Command(std::string& out, std::string& err, bool notify)
        : out_(out), err_(err), notify_(notify) {}

    int Get(const std::string& name) {
        const Setting* s = Named(name);
        if (!s)
            return kExitRefused;
        std::optional<RegKey> settings;
        if (!Load(&settings))
            return kExitFailure;
        out_ += FormatValue(*s, Stored(settings, *s)) + "\n";
        return kExitSuccess;
    }

    int Set(const std::string& name, const std::string& text) {
        const Setting* s = Named(name);
        if (!s)
            return kExitRefused;
        std::string why;
        const std::optional<RegValue> value = ParseValue(*s, text, &why);
        if (!value)
            return Refuse(why);
        std::optional<RegKey> before;
        if (!Load(&before))
            return kExitFailure;
        std::optional<RegKey> after = before;
        Settings(after).Set(*value);
        out_ += std::string(s->name) + " = " + FormatValue(*s, &*value) + "\n";
        return Commit(before, after);
    }

    int Reset(const std::string& name) {
        const Setting* s = Named(name);
        if (!s)
            return kExitRefused;
        std::optional<RegKey> before;
        if (!Load(&before))
            return kExitFailure;
        std::optional<RegKey> after = before;
        if (after)
            after->Remove(*FromUtf8(s->name));
        out_ += std::string(s->name) + " = " + FormatValue(*s, nullptr) + "\n";
        return Commit(before, after);
    }

    int List() {
        std::optional<RegKey> settings;
        if (!Load(&settings))
            return kExitFailure;
        for (const Setting& s : vexocfg::Settings()) {
            char name[32];
            std::snprintf(name, sizeof name, "%-18s = ", s.name);
            out_ += name + FormatValue(s, Stored(settings, s)) + "\n";
        }
        const std::vector<const RegKey*> exceptions = Exceptions(settings);
        out_ += exceptions.empty() ? "Exceptions: none\n" : "Exceptions:\n";
        for (const RegKey* e : exceptions)
            out_ += "  " + FormatException(*e) + "\n";
        const std::vector<IgnoredEntry> ignored = IgnoredEntries(settings);
        out_ += ignored.empty() ? "IgnoredApps: none\n" : "IgnoredApps:\n";
        for (const IgnoredEntry& entry : ignored)
            out_ += "  " + FormatIgnored(entry) + "\n";
        return kExitSuccess;
    }

    int AddException(const std::string& exe, const std::string& tap, const std::string& gesture) {
        const std::vector<Setting>& fields = ExceptionFields();
        std::string why;
        const std::optional<RegValue> exeName = ParseValue(fields[0], exe, &why);
        const std::optional<RegValue> tapAction =
            exeName ? ParseValue(fields[1], tap, &why) : std::nullopt;
        const std::optional<RegValue> gestureAction =
            tapAction ? ParseValue(fields[2], gesture, &why) : std::nullopt;
        if (!gestureAction)
            return Refuse(why);
        std::optional<RegKey> before;
        if (!Load(&before))
            return kExitFailure;
        std::optional<RegKey> after = before;
        RegKey& exceptions = Settings(after).OpenSubkey(kExceptionsKey);
        const std::u16string path = TextOf(*exeName);
        RegKey* exception = nullptr;
        for (RegKey& k : exceptions.subkeys) {
            if (!exception && SameNoCase(ExeNameOf(k), path))
                exception = &k;
        }
        out_ += exception ? "updated " : "added ";
        if (!exception)
            exception = &exceptions.OpenSubkey(NewExceptionName(exceptions, path));
        exception->Set(*exeName);
        exception->Set(*tapAction);
        exception->Set(*gestureAction);
        out_ += FormatException(*exception) + "\n";
        return Commit(before, after);
    }

    int RemoveException(const std::string& exe) {
        const std::optional<std::u16string> path = FromUtf8(exe);
        if (!path)
            return Refuse("EXE is not UTF-8");
        std::optional<RegKey> before;
        if (!Load(&before))
            return kExitFailure;
        std::optional<RegKey> after = before;
        RegKey* exceptions = after ? after->Subkey(kExceptionsKey) : nullptr;
        size_t removed = 0;
        for (size_t i = 0; exceptions && i < exceptions->subkeys.size();) {
            if (SameNoCase(ExeNameOf(exceptions->subkeys[i]), *path)) {
                exceptions->subkeys.erase(exceptions->subkeys.begin() + long(i));
                ++removed;
            } else {
                ++i;
            }
        }
        if (!removed)
            return Refuse("there is no exception for " + exe);
        out_ += "removed the exception of " + exe + "\n";
        return Commit(before, after);
    }

    int ListExceptions() {
        std::optional<RegKey> settings;
        if (!Load(&settings))
            return kExitFailure;
        for (const RegKey* e : Exceptions(settings))
            out_ += FormatException(*e) + "\n";
        return kExitSuccess;
    }

    int AddIgnored(const std::string& text) {
        std::string why;
        const std::optional<RegValue> value = ParseValue(IgnoredItem(), text, &why);
        if (!value)
            return Refuse(why);
        std::optional<RegKey> before;
        if (!Load(&before))
            return kExitFailure;
        const std::u16string path = TextOf(*value);
        std::vector<std::u16string> paths;
        for (const IgnoredEntry& entry : IgnoredEntries(before)) {
            if (SameNoCase(entry.path, path)) {
                out_ += text + " is already ignored\n";
                return kExitSuccess;
            }
            paths.push_back(entry.path);
        }
        paths.push_back(path);
        std::optional<RegKey> after = before;
        SetIgnored(Settings(after), paths);
        out_ += "ignoring " + text + "\n";
        return Commit(before, after);
    }

    int RemoveIgnored(const std::string& text) {
        const std::optional<std::u16string> path = FromUtf8(text);
        if (!path)
            return Refuse("PATH is not UTF-8");
        std::optional<RegKey> before;
        if (!Load(&before))
            return kExitFailure;
        std::vector<std::u16string> paths;
        for (const IgnoredEntry& entry : IgnoredEntries(before)) {
            if (!SameNoCase(entry.path, *path))
                paths.push_back(entry.path);
        }
        if (paths.size() == IgnoredEntries(before).size())
            return Refuse(text + " is not ignored");
        std::optional<RegKey> after = before;
        SetIgnored(Settings(after), paths);
        out_ += "no longer ignoring " + text + "\n";
        return Commit(before, after);
    }

    int ListIgnored() {
        std::optional<RegKey> settings;
        if (!Load(&settings))
            return kExitFailure;
        for (const IgnoredEntry& entry : IgnoredEntries(settings))
            out_ += FormatIgnored(entry) + "\n";
        return kExitSuccess;
    }

    int Import(const std::string& file) {
        const std::optional<std::u16string> path = FromUtf8(file);
        if (!path)
            return Refuse("FILE is not UTF-8");
        std::string text;
        const DWORD status = ReadWholeFile(*path, &text);
        if (status != ERROR_SUCCESS)
            return FileFailed(file, status);
        if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0)
            return Refuse(file + ": the file is UTF-16; save it as REGEDIT4 text in UTF-8");
        std::string why;
        const std::optional<std::vector<RegEdit>> edits = ParseRegText(text, &why);
        if (!edits)
            return Refuse(file + ": " + why);
        std::optional<RegKey> before;
        if (!Load(&before))
            return kExitFailure;
        std::optional<RegKey> after = before;
        if (!ApplyImport(*edits, &after, &why))
            return Refuse(file + ": " + why);
        out_ += "imported " + file + "\n";
        return Commit(before, after);
    }

    int Export(const std::string& file) {
        const std::optional<std::u16string> path = FromUtf8(file);
        if (!path)
            return Refuse("FILE is not UTF-8");
        std::optional<RegKey> settings;
        if (!Load(&settings))
            return kExitFailure;
        const std::u16string key = *FromUtf8(kSettingsKeyName);
        const DWORD status = WriteWholeFile(*path, FormatRegText(key, settings));
        if (status != ERROR_SUCCESS)
            return FileFailed(file, status);
        out_ += "exported the settings to " + file + "\n";
        return kExitSuccess;
    }

private:
    int Refuse(const std::string& why) {
        err_ += "vexocfg: " + why + "\n";
        return kExitRefused;
    }

    int FileFailed(const std::string& file, DWORD status) {
        err_ += "vexocfg: " + file + ": " + ErrorText(status) + "\n";
        return kExitFailure;
    }

    // The lists have commands of their own; a plain setting name is all get, set and reset take.
    const Setting* Named(const std::string& name) {
        const std::optional<std::u16string> wide = FromUtf8(name);
        const Setting* s = wide ? FindSetting(vexocfg::Settings(), *wide) : nullptr;
        if (!s && (SameNoCase(name, "Exceptions") || SameNoCase(name, "IgnoredApps")))
            Refuse(name + " is a list: use 'vexocfg " +
                   (SameNoCase(name, "Exceptions") ? "exception" : "ignore") + " ...'");
        else if (!s)
            Refuse("unknown setting \"" + name + "\"; 'vexocfg --help' lists them");
        return s;
    }

    static const RegValue* Stored(const std::optional<RegKey>& settings, const Setting& s) {
        return settings ? settings->Value(*FromUtf8(s.name)) : nullptr;
    }

    static RegKey& Settings(std::optional<RegKey>& settings) {
        if (!settings)
            settings = RegKey{kSettingsPath, {}, {}};
        return *settings;
    }

    static std::string FormatIgnored(const IgnoredEntry& entry) {
        return ToUtf8(entry.path) +
               (entry.readByVexo ? "" : "  (vexo does not read it: the items have a gap)");
    }

    bool Load(std::optional<RegKey>* settings) {
        RegFailure failure;
        if (ReadKeyTree(kSettingsPath, settings, &failure))
            return true;
        err_ += "vexocfg: cannot read " + failure.key + ": " + ErrorText(failure.status) + "\n";
        return false;
    }

    int Commit(const std::optional<RegKey>& before, const std::optional<RegKey>& after) {
        RegFailure failure;
        if (!WriteKeyTree(kSettingsPath, before, after, &failure)) {
            out_.clear();
            err_ += "vexocfg: cannot write " + failure.key + ": " + ErrorText(failure.status) +
                    "; the settings were left as they were\n";
            return kExitFailure;
        }
        if (notify_ && !NotifyVexo())
            err_ += "vexocfg: vexo is not running; it reads the settings when it starts\n";
        return kExitSuccess;
    }

    std::string& out_;
    std::string& err_;
    bool notify_;
};

int Usage(std::string& err, const std::string& why) {
    err += "vexocfg: " + why + "\nTry 'vexocfg --help'.\n";
    return kExitUsage;
}

} // namespace

} // namespace vexocfg

int RunVexoCfg(const std::vector<std::string>& args, std::string& out, std::string& err) {
    using namespace vexocfg;
    bool notify = true;
    bool help = false;
    bool options = true;
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--no-notify") {
            notify = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            help = true;
        } else if (options && arg.size() > 1 && arg[0] == '-' && (arg[1] < '0' || arg[1] > '9')) {
            return Usage(err, "unknown option " + arg);
        } else {
            words.push_back(arg);
        }
    }
    if (help || (words.size() == 1 && words[0] == "help")) {
        out += HelpText();
        return kExitSuccess;
    }
    if (words.empty())
        return Usage(err, "no command given");

    Command command(out, err, notify);
    const std::string& verb = words[0];
    const size_t n = words.size() - 1;
    const auto wrong = [&](const char* synopsis) {
        return Usage(err, std::string("usage: vexocfg ") + synopsis);
    };
    if (verb == "get")
        return n == 1 ? command.Get(words[1]) : wrong("get NAME");
    if (verb == "set")
        return n == 2 ? command.Set(words[1], words[2]) : wrong("set NAME VALUE");
    if (verb == "reset")
        return n == 1 ? command.Reset(words[1]) : wrong("reset NAME");
    if (verb == "list")
        return n == 0 ? command.List() : wrong("list");
    if (verb == "import")
        return n == 1 ? command.Import(words[1]) : wrong("import FILE");
    if (verb == "export")
        return n == 1 ? command.Export(words[1]) : wrong("export FILE");
    const std::string sub = n >= 1 ? words[1] : std::string();
    if (verb == "exception") {
        if (sub == "add" && n == 4)
            return command.AddException(words[2], words[3], words[4]);
        if (sub == "remove" && n == 2)
            return command.RemoveException(words[2]);
        if (sub == "list" && n == 1)
            return command.ListExceptions();
        return wrong("exception add EXE TAP GESTURE | exception remove EXE | exception list");
    }
    if (verb == "ignore") {
        if (sub == "add" && n == 2)
            return command.AddIgnored(words[2]);
        if (sub == "remove" && n == 2)
            return command.RemoveIgnored(words[2]);
        if (sub == "list" && n == 1)
            return command.ListIgnored();
        return wrong("ignore add PATH | ignore remove PATH | ignore list");
    }
    return Usage(err, "unknown command \"" + verb + "\"");
}
