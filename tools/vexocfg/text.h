// UTF-16 for the API, UTF-8 for arguments and output, and the registry's case-blind names.
#pragma once

#include <optional>
#include <string>

#include "platform/portable/utf.h"

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

// Arguments and output are strict UTF-8: malformed input, lone surrogates encoded as three
// bytes included, gives nothing; an unpaired surrogate comes out as U+FFFD.
using utf::FromUtf8;
using utf::ToUtf8;

// Folds ASCII and Latin-1 letters, as the device compares names and paths.
bool SameNoCase(const std::u16string& a, const std::u16string& b);
// Command words and setting names: ASCII only.
bool SameNoCase(const std::string& a, const char* b);

} // namespace vexocfg
