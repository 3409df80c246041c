// The driver's view of the simulated device's registry: read and write it directly, load and
// save it as REGEDIT4 .reg text (platform/portable/regedit4.h reads and writes the text), count
// open handles and make chosen keys fail.
//
// Paths name a key from its root, e.g. "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo"; the roots
// may be abbreviated (HKCU, HKLM, HKCR, HKU). Paths and names are UTF-8 and compare without
// regard to case, as on the device. An empty value name is the key's default value. A path that
// names no root, or has an empty key name, is a mistake in the driver and throws
// std::invalid_argument, so that a typo cannot pass as "key not found".
//
// Every function here may be called while simulated threads use the registry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/portable/utf.h"

#include <windows.h>

namespace cesim::reg {

struct Value {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data; // exactly the bytes stored, with no terminator added
};

// Empties every root, invalidates every open handle and clears the injected failures.
void Clear();

// ---- .reg text ----------------------------------------------------------------------------
// An import either applies every statement or, if any line is malformed, none of them, so a
// bad file leaves the registry as it was; *error then says which line and why.
bool ImportRegText(const std::string& text, std::string* error = nullptr);
bool ImportRegFile(const std::string& hostPath, std::string* error = nullptr);
// The key and its subtree as REGEDIT4 text with CRLF line ends, keys depth-first in creation
// order; importing it back restores every value byte for byte. Empty when the key is missing.
std::string ExportRegText(const std::string& keyPath);
bool ExportRegFile(const std::string& keyPath, const std::string& hostPath);

// ---- direct access (creates keys as needed when writing) ---------------------------------
void SetDword(const std::string& keyPath, const std::string& name, DWORD value);
// Stored as REG_SZ, UTF-16 with its terminator.
void SetString(const std::string& keyPath, const std::string& name, const std::u16string& text);
void SetValue(const std::string& keyPath, const std::string& name, DWORD type,
              std::vector<uint8_t> data);

std::optional<Value> GetValue(const std::string& keyPath, const std::string& name);
// Only a REG_DWORD of exactly four bytes.
std::optional<DWORD> GetDword(const std::string& keyPath, const std::string& name);
// A REG_SZ or REG_EXPAND_SZ of whole UTF-16 units, up to its first NUL.
std::optional<std::u16string> GetString(const std::string& keyPath, const std::string& name);

bool KeyExists(const std::string& keyPath);
// Deletes the key with its subtree; false when it is missing or is a root.
bool DeleteKey(const std::string& keyPath);
bool DeleteValue(const std::string& keyPath, const std::string& name);
// In creation order, with the case they were created with; empty when the key is missing.
std::vector<std::string> SubKeys(const std::string& keyPath);
std::vector<std::string> ValueNames(const std::string& keyPath);

// Handles returned by RegOpenKeyExW and RegCreateKeyExW and not yet closed.
size_t OpenHandleCount();

// ---- failure injection --------------------------------------------------------------------
// Until cleared, RegOpenKeyExW and RegCreateKeyExW of exactly this key (existing or not) fail
// with the error. ERROR_SUCCESS clears it.
void FailOpen(const std::string& keyPath, LONG error);
// Until cleared, RegSetValueExW and RegDeleteValueW on this key, and RegDeleteKeyW of it, fail
// with the error. ERROR_SUCCESS clears it.
void FailWrite(const std::string& keyPath, LONG error);
void ClearFailures();

// ---- text ---------------------------------------------------------------------------------
// UTF-8 for the names above. Registry names may hold unpaired surrogates; they travel as their
// three-byte forms (WTF-8) so that no name is lost. FromUtf8 is empty for malformed input.
inline std::string ToUtf8(const std::u16string& text) {
    return utf::ToWtf8(text);
}
inline std::optional<std::u16string> FromUtf8(const std::string& text) {
    return utf::FromWtf8(text);
}

} // namespace cesim::reg
