// Fuzzes the language file parser: any bytes may be a default.lng. Besides what the sanitizers
// catch, every input must leave a table of ascending, distinct ids whose texts are found again.
#include <windows.h>

#include "config/language.h"

#include <cstdint>
#include <cstdlib>

// The parser's module names the program's instance; nothing here loads a string.
HINSTANCE appInstance = nullptr;

namespace {

size_t Length(const WCHAR* text) {
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

void Check(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LanguageTable table;
    LanguageFileReader reader(data, DWORD(size));
    Check(table.Read(reader) == 1);
    const PtrArray& entries = table.entries;
    Check(entries.state == PtrArray::STATE_USABLE);
    Check(entries.count >= 0 && entries.count <= entries.capacity);
    // Each line is at most the file's units less the byte-order mark.
    Check(size_t(entries.count) <= size / 2);
    for (int i = 0; i < entries.count; ++i) {
        const LanguageEntry* e = static_cast<const LanguageEntry*>(entries.storage[i]);
        Check(e && e->text);
        // A piece is at most 1023 characters, of which a digit, "=" and two quotes are no text.
        Check(Length(e->text) <= 1019);
        if (i > 0)
            Check(static_cast<const LanguageEntry*>(entries.storage[i - 1])->id < e->id);
        Check(table.Find(e->id) == e->text);
    }
    return 0;
}
