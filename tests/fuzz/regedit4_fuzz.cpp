// Fuzzes the REGEDIT4 reader: any bytes may be a .reg file handed to the device or to vexocfg.
// Besides what the sanitizers catch, whatever it accepts must be written back as text that reads
// as the same statements and is written again byte for byte the same.
#include "platform/portable/regedit4.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

bool Same(const regedit4::Statement& a, const regedit4::Statement& b) {
    if (a.kind != b.kind || a.key != b.key)
        return false;
    if (a.kind == regedit4::Statement::Kind::OpenKey ||
        a.kind == regedit4::Statement::Kind::DeleteKey)
        return true;
    return a.name == b.name && a.value.type == b.value.type && a.value.data == b.value.data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto statements = regedit4::Parse(text, &why);
    if (!statements) {
        Check(why.rfind("line ", 0) == 0);
        return 0;
    }
    const std::string written = regedit4::Format(*statements);
    const auto back = regedit4::Parse(written, &why);
    Check(back.has_value());
    // The writer opens a key before values that follow a deletion or another key's values, so
    // the statements read back are the originals with key openings in between.
    size_t j = 0;
    for (const regedit4::Statement& s : *statements) {
        while (j < back->size() && !Same(s, (*back)[j]) &&
               (*back)[j].kind == regedit4::Statement::Kind::OpenKey)
            ++j;
        Check(j < back->size() && Same(s, (*back)[j]));
        ++j;
    }
    Check(regedit4::Format(*back) == written);
    return 0;
}
