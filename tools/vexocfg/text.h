// UTF-8 and UTF-16 for arguments, output and .reg files; the registry's case-blind names.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

namespace vexocfg {

static_assert(sizeof(WCHAR) == sizeof(char16_t), "the API's strings must be UTF-16 units");

// Texts are held as UTF-16 and handed to the API as its own wide type.
inline LPCWSTR W(const char16_t* s) {
    return reinterpret_cast<LPCWSTR>(s);
}
inline LPCWSTR W(const std::u16string& s) {
    return W(s.c_str());
}
inline LPWSTR W(char16_t* s) {
    return reinterpret_cast<LPWSTR>(s);
}

// Empty result for malformed input; lone surrogates encoded as three bytes are malformed too.
std::optional<std::u16string> FromUtf8(const std::string& text);
// An unpaired surrogate, which no UTF-8 can carry, becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);

// Folds ASCII and Latin-1 letters, as the device compares names and paths.
bool SameNoCase(const std::u16string& a, const std::u16string& b);
// Command words and setting names: ASCII only.
bool SameNoCase(const std::string& a, const char* b);

} // namespace vexocfg
