// The settings key held in memory: read whole, changed there, and written back as the
// difference, so that a command changes exactly what it means to or, on a failure, nothing.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/text.h"
#include "tools/vexocfg/tree.h"

namespace vexocfg {

const RegValue* RegKey::Value(const std::u16string& valueName) const {
    for (const RegValue& v : values) {
        if (SameNoCase(v.name, valueName))
            return &v;
    }
    return nullptr;
}

void RegKey::Set(RegValue value) {
    for (RegValue& v : values) {
        if (SameNoCase(v.name, value.name)) {
            v.type = value.type;
            v.data = std::move(value.data);
            return;
        }
    }
    values.push_back(std::move(value));
}

bool RegKey::Remove(const std::u16string& valueName) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (SameNoCase(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

const RegKey* RegKey::Subkey(const std::u16string& keyName) const {
    for (const RegKey& k : subkeys) {
        if (SameNoCase(k.name, keyName))
            return &k;
    }
    return nullptr;
}

RegKey* RegKey::Subkey(const std::u16string& keyName) {
    return const_cast<RegKey*>(static_cast<const RegKey*>(this)->Subkey(keyName));
}

RegKey& RegKey::OpenSubkey(const std::u16string& keyName) {
    if (RegKey* existing = Subkey(keyName))
        return *existing;
    subkeys.push_back(RegKey{keyName, {}, {}});
    return subkeys.back();
}

bool RegKey::RemoveSubkey(const std::u16string& keyName) {
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
        if (SameNoCase(it->name, keyName)) {
            subkeys.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<uint8_t> DwordBytes(DWORD n) {
    return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
}

std::vector<uint8_t> TextBytes(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c));
        bytes.push_back(uint8_t(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::optional<DWORD> DwordOf(const RegValue& value) {
    if (value.type != REG_DWORD || value.data.size() != 4)
        return std::nullopt;
    const std::vector<uint8_t>& d = value.data;
    return DWORD(d[0]) | DWORD(d[1]) << 8 | DWORD(d[2]) << 16 | DWORD(d[3]) << 24;
}

std::u16string TextOf(const RegValue& value) {
    std::u16string text;
    for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const char16_t c = char16_t(value.data[i] | value.data[i + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return text;
}

std::string ErrorText(DWORD status) {
    switch (status) {
    case ERROR_FILE_NOT_FOUND:
        return "not found";
    case ERROR_PATH_NOT_FOUND:
        return "path not found";
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return "out of memory";
    case ERROR_SHARING_VIOLATION:
        return "in use by another program";
    case ERROR_DISK_FULL:
        return "disk full";
    case ERROR_KEY_DELETED:
        return "key deleted meanwhile";
    default:
        return "error " + std::to_string(status);
    }
}

namespace {

std::string Where(const std::string& parent, const std::u16string& path) {
    return parent + "\\" + ToUtf8(path);
}

bool Fail(RegFailure* failure, LONG status, const std::string& key) {
    if (failure && failure->status == ERROR_SUCCESS) {
        failure->status = status;
        failure->key = key;
    }
    return false;
}

// Another program may change the key while it is read: sizes are asked again when short.
bool ReadOpenKey(HKEY key, const std::string& where, RegKey* out, RegFailure* failure) {
    DWORD subKeys = 0, longestSubKey = 0, values = 0, longestName = 0, longestData = 0;
    LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &longestSubKey,
                                   nullptr, &values, &longestName, &longestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return Fail(failure, status, where);
    std::u16string name(std::max<DWORD>(longestName, longestSubKey) + 1, u'\0');
    std::vector<uint8_t> data(std::max<DWORD>(longestData, 1));
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = DWORD(name.size());
        DWORD type = REG_NONE;
        DWORD size = DWORD(data.size());
        status =
            RegEnumValueW(key, i, W(&name[0]), &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_MORE_DATA) {
            name.resize(std::max<size_t>(name.size() * 2, 256));
            data.resize(std::max<size_t>(data.size() * 2, size));
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS)
            return Fail(failure, status, where);
        out->values.push_back(RegValue{name.substr(0, nameLength), type,
                                       std::vector<uint8_t>(data.begin(), data.begin() + size)});
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = DWORD(name.size());
        status =
            RegEnumKeyExW(key, i, W(&name[0]), &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_MORE_DATA) {
            name.resize(std::max<size_t>(name.size() * 2, 256));
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS)
            return Fail(failure, status, where);
        RegKey sub;
        sub.name = name.substr(0, nameLength);
        HKEY subKey = nullptr;
        status = RegOpenKeyExW(key, W(sub.name), 0, KEY_READ, &subKey);
        if (status != ERROR_SUCCESS)
            return Fail(failure, status, Where(where, sub.name));
        const bool read = ReadOpenKey(subKey, Where(where, sub.name), &sub, failure);
        RegCloseKey(subKey);
        if (!read)
            return false;
        out->subkeys.push_back(std::move(sub));
    }
    return true;
}

// Desktop Windows refuses to delete a key that still has subkeys, so the leaves go first.
LONG DeleteTree(HKEY parent, const std::u16string& path) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(parent, W(path), 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i) {
        char16_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, W(name), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    for (const std::u16string& name : names) {
        status = DeleteTree(key, name);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            break;
        status = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? RegDeleteKeyW(parent, W(path)) : status;
}

bool SameValue(const RegValue& a, const RegValue& b) {
    return a.type == b.type && a.data == b.data;
}

class Writer {
public:
    Writer(bool undoing, RegFailure* failure) : undoing_(undoing), failure_(failure) {}

    // A value or key that is already gone is what deleting it wanted.
    bool Apply(HKEY parent, const std::u16string& path, const std::string& where,
               const RegKey* from, const RegKey* to) {
        if (!to) {
            const LONG status = from ? DeleteTree(parent, path) : ERROR_SUCCESS;
            return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ||
                   Failed(status, where);
        }
        HKEY key = nullptr;
        DWORD disposition = 0;
        LONG status = RegCreateKeyExW(parent, W(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key, &disposition);
        if (status != ERROR_SUCCESS)
            return Failed(status, where);
        bool ok = true;
        for (const RegValue& old : from ? from->values : std::vector<RegValue>()) {
            if (to->Value(old.name))
                continue;
            status = RegDeleteValueW(key, W(old.name));
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
                ok = Failed(status, where) && ok;
            if (!ok && !undoing_)
                break;
        }
        for (size_t i = 0; i < to->values.size() && (ok || undoing_); ++i) {
            const RegValue& v = to->values[i];
            const RegValue* old = from ? from->Value(v.name) : nullptr;
            if (old && SameValue(*old, v))
                continue;
            status = RegSetValueExW(key, W(v.name), 0, v.type, v.data.data(), DWORD(v.data.size()));
            if (status != ERROR_SUCCESS)
                ok = Failed(status, where);
        }
        if (from) {
            for (size_t i = 0; i < from->subkeys.size() && (ok || undoing_); ++i) {
                const RegKey& sub = from->subkeys[i];
                if (!to->Subkey(sub.name))
                    ok = Apply(key, sub.name, Where(where, sub.name), &sub, nullptr) && ok;
            }
        }
        for (size_t i = 0; i < to->subkeys.size() && (ok || undoing_); ++i) {
            const RegKey& sub = to->subkeys[i];
            ok = Apply(key, sub.name, Where(where, sub.name),
                       from ? from->Subkey(sub.name) : nullptr, &sub) &&
                 ok;
        }
        RegCloseKey(key);
        return ok;
    }

private:
    bool Failed(LONG status, const std::string& where) {
        return Fail(undoing_ ? nullptr : failure_, status, where);
    }

    bool undoing_;
    RegFailure* failure_;
};

} // namespace

bool ReadKeyTree(const std::u16string& path, std::optional<RegKey>* key, RegFailure* failure) {
    key->reset();
    HKEY handle = nullptr;
    const std::string where = "HKEY_CURRENT_USER\\" + ToUtf8(path);
    const LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, W(path), 0, KEY_READ, &handle);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return Fail(failure, status, where);
    RegKey tree;
    tree.name = path;
    const bool read = ReadOpenKey(handle, where, &tree, failure);
    RegCloseKey(handle);
    if (read)
        *key = std::move(tree);
    return read;
}

bool WriteKeyTree(const std::u16string& path, const std::optional<RegKey>& before,
                  const std::optional<RegKey>& after, RegFailure* failure) {
    const std::string where = "HKEY_CURRENT_USER\\" + ToUtf8(path);
    const RegKey* from = before ? &*before : nullptr;
    const RegKey* to = after ? &*after : nullptr;
    if (Writer(false, failure).Apply(HKEY_CURRENT_USER, path, where, from, to))
        return true;
    Writer(true, nullptr).Apply(HKEY_CURRENT_USER, path, where, to, from);
    return false;
}

} // namespace vexocfg
