// The registry's case-blind names.
#include <cstdint>
#include <optional>
#include <string>

#include "tools/vexocfg/text.h"

namespace vexocfg {

namespace {

char16_t Fold(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 0x20);
    return c;
}

} // namespace

bool SameNoCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    }
    return true;
}

bool SameNoCase(const std::string& a, const char* b) {
    // Only ASCII folds here: a byte of a multi-byte UTF-8 sequence is no letter.
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return i == a.size() && !b[i];
}

} // namespace vexocfg
