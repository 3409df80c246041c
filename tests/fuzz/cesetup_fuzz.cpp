// Fuzzes the reader of the installer's description (the .000 member of a cabinet): any bytes
// may arrive in a cabinet. Besides what the sanitizers catch, every input gives either a
// description that holds together or a reason, and reading it again gives the same answer.
#include "tools/cabinfo/cesetup.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    std::optional<cesetup::Description> d = cesetup::Parse(data, size, &error);
    std::string again;
    Check(cesetup::Parse(data, size, &again).has_value() == d.has_value());
    if (!d) {
        Check(!error.empty() && error == again);
        return 0;
    }
    Check(size >= cesetup::kHeaderSize && d->totalLength == size);
    // Every text the reader kept came out of the bytes.
    Check(d->appName.size() < size && d->provider.size() < size);
    for (const cesetup::String& s : d->strings) {
        Check(s.text.size() < size);
        Check(d->StringText(s.id) != nullptr);
    }
    // A directory's path resolves exactly when each of its parts names a string; of several
    // directories with one id the first is the one found.
    for (const cesetup::Directory& dir : d->directories) {
        const cesetup::Directory* first = &dir;
        for (const cesetup::Directory& other : d->directories)
            if (other.id == dir.id) {
                first = &other;
                break;
            }
        if (first != &dir)
            continue;
        bool resolvable = true;
        for (uint16_t part : dir.parts)
            resolvable = resolvable && d->StringText(part) != nullptr;
        Check(d->DirectoryPath(dir.id).has_value() == resolvable);
    }
    for (const cesetup::RegistryEntry& e : d->registry)
        Check(e.data.size() < size);
    cesetup::Inconsistencies(*d);
    return 0;
}
