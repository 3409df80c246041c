// The settings key held in memory: read whole, changed there, and written back as the
// difference, so that a command changes exactly what it means to or, on a failure, nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace vexocfg {

struct RegValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// Names compare without case, as in the registry; the order is the registry's own.
struct RegKey {
    std::u16string name;
    std::vector<RegValue> values;
    std::vector<RegKey> subkeys;

    const RegValue* Value(const std::u16string& valueName) const;
    // An existing value keeps its place and the spelling of its name.
    void Set(RegValue value);
    bool Remove(const std::u16string& valueName);
    const RegKey* Subkey(const std::u16string& keyName) const;
    RegKey* Subkey(const std::u16string& keyName);
    RegKey& OpenSubkey(const std::u16string& keyName);
    bool RemoveSubkey(const std::u16string& keyName);
};

std::vector<uint8_t> DwordBytes(DWORD n);
// REG_SZ data: the text and its terminator.
std::vector<uint8_t> TextBytes(const std::u16string& text);
// A REG_DWORD of exactly four bytes.
std::optional<DWORD> DwordOf(const RegValue& value);
// Whole UTF-16 units up to the first NUL, whatever the type.
std::u16string TextOf(const RegValue& value);

struct RegFailure {
    LONG status = ERROR_SUCCESS;
    std::string key; // UTF-8, from the root
};

// Reads the key `path` of HKEY_CURRENT_USER with its subtree; *key is empty when it is missing.
bool ReadKeyTree(const std::u16string& path, std::optional<RegKey>* key, RegFailure* failure);
// Changes the registry from `before`, as read, to `after`. When a write fails it puts back
// what it had changed, as far as the registry lets it, and reports the first failure.
bool WriteKeyTree(const std::u16string& path, const std::optional<RegKey>& before,
                  const std::optional<RegKey>& after, RegFailure* failure);

std::string ErrorText(DWORD status);

} // namespace vexocfg
