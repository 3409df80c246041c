// The settings key as REGEDIT4 text.
#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/regtext.h"

namespace vexocfg {

namespace {

void Flatten(const std::u16string& path, const RegKey& key, std::vector<RegEdit>* out) {
    RegEdit open;
    open.kind = RegEdit::Kind::OpenKey;
    open.key = path;
    out->push_back(open);
    for (const RegValue& v : key.values) {
        RegEdit set;
        set.kind = RegEdit::Kind::SetValue;
        set.key = path;
        set.name = v.name;
        set.value.type = v.type;
        set.value.data = v.data;
        out->push_back(set);
    }
    for (const RegKey& sub : key.subkeys)
        Flatten(path + u"\\" + sub.name, sub, out);
}

} // namespace

std::string FormatRegText(const std::u16string& path, const std::optional<RegKey>& key) {
    std::vector<RegEdit> statements;
    Flatten(path, key ? *key : RegKey(), &statements);
    return regedit4::Format(statements);
}

} // namespace vexocfg
