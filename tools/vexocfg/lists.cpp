// The two lists of the settings: per-program exceptions and the ignored programs.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/lists.h"
#include "tools/vexocfg/settings.h"
#include "tools/vexocfg/text.h"

namespace vexocfg {

std::vector<const RegKey*> Exceptions(const std::optional<RegKey>& settings) {
    std::vector<const RegKey*> list;
    const RegKey* exceptions = settings ? settings->Subkey(kExceptionsKey) : nullptr;
    if (exceptions) {
        for (const RegKey& k : exceptions->subkeys)
            list.push_back(&k);
    }
    return list;
}

std::u16string ExeNameOf(const RegKey& exception) {
    const RegValue* v = exception.Value(u"ExeName");
    return v ? TextOf(*v) : std::u16string();
}

std::string FormatException(const RegKey& exception) {
    const std::vector<Setting>& fields = ExceptionFields();
    const std::u16string exe = ExeNameOf(exception);
    std::string line =
        exe.empty() ? "(no ExeName in subkey " + ToUtf8(exception.name) + ")" : ToUtf8(exe);
    line += "  tap " + FormatValue(fields[1], exception.Value(u"TapAction"));
    line += ", gesture " + FormatValue(fields[2], exception.Value(u"GestureAction"));
    return line;
}

std::u16string NewExceptionName(const RegKey& exceptions, const std::u16string& exe) {
    std::u16string base = exe.substr(exe.find_last_of(u"\\:") + 1).substr(0, 200);
    if (base.empty())
        base = u"Program";
    std::u16string name = base;
    for (int n = 2; exceptions.Subkey(name); ++n)
        name = base + u" (" + *FromUtf8(std::to_string(n)) + u")";
    return name;
}

long ItemNumber(const std::u16string& name) {
    if (name.size() < 5 || name.size() > 13 || !SameNoCase(name.substr(0, 4), u"Item"))
        return -1;
    const std::u16string digits = name.substr(4);
    if (digits.size() > 1 && digits[0] == u'0')
        return -1;
    long n = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c - u'0');
    }
    return n;
}

std::vector<IgnoredEntry> IgnoredEntries(const std::optional<RegKey>& settings) {
    const RegKey* ignored = settings ? settings->Subkey(kIgnoredKey) : nullptr;
    if (!ignored)
        return {};
    std::vector<std::pair<long, std::u16string>> items;
    for (const RegValue& v : ignored->values) {
        const long n = ItemNumber(v.name);
        const std::u16string path = TextOf(v);
        if (n >= 0 && !path.empty())
            items.emplace_back(n, path);
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<IgnoredEntry> entries;
    const long count = long(ignored->values.size());
    for (const auto& item : items)
        entries.push_back(IgnoredEntry{item.second, item.first < count});
    return entries;
}

void SetIgnored(RegKey& settings, const std::vector<std::u16string>& paths) {
    RegKey& ignored = settings.OpenSubkey(kIgnoredKey);
    ignored.values.clear();
    for (size_t i = 0; i < paths.size(); ++i) {
        ignored.values.push_back(
            RegValue{u"Item" + *FromUtf8(std::to_string(i)), REG_SZ, TextBytes(paths[i])});
    }
}

} // namespace vexocfg
