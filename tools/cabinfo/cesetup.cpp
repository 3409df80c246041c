// Reading the .000 installation description with every access bounds-checked.
#include "tools/cabinfo/cesetup.h"

#include <set>

namespace cesetup {

namespace {

// A window on the bytes that refuses to read past its end.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Seek(size_t at) {
        if (at > size_)
            return false;
        at_ = at;
        return true;
    }
    size_t At() const { return at_; }
    bool U16(uint16_t* v) {
        if (size_ - at_ < 2)
            return false;
        *v = uint16_t(data_[at_] | data_[at_ + 1] << 8);
        at_ += 2;
        return true;
    }
    bool U32(uint32_t* v) {
        if (size_ - at_ < 4)
            return false;
        *v = uint32_t(data_[at_]) | uint32_t(data_[at_ + 1]) << 8 | uint32_t(data_[at_ + 2]) << 16 |
             uint32_t(data_[at_ + 3]) << 24;
        at_ += 4;
        return true;
    }
    bool Bytes(size_t n, std::vector<uint8_t>* out) {
        if (size_ - at_ < n)
            return false;
        out->assign(data_ + at_, data_ + at_ + n);
        at_ += n;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// An ASCII string of exactly n bytes whose last byte, and only that one, is NUL.
bool ZString(Reader& r, size_t n, std::string* out) {
    std::vector<uint8_t> bytes;
    if (n == 0 || !r.Bytes(n, &bytes) || bytes.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < n; ++i)
        if (bytes[i] == 0)
            return false;
    out->assign(bytes.begin(), bytes.end() - 1);
    return true;
}

// A list of 16-bit string ids in n bytes, ending with the only 0.
bool IdList(Reader& r, size_t n, std::vector<uint16_t>* out) {
    if (n < 2 || n % 2 != 0)
        return false;
    out->clear();
    for (size_t i = 0; i < n / 2; ++i) {
        uint16_t id;
        if (!r.U16(&id))
            return false;
        bool last = i + 1 == n / 2;
        if ((id == 0) != last)
            return false;
        if (!last)
            out->push_back(id);
    }
    return true;
}

struct Section {
    const char* name;
    uint16_t count = 0;
    uint32_t offset = 0;
};

bool Fail(std::string* error, const std::string& what) {
    if (error)
        *error = what;
    return false;
}

std::string Entry(const Section& s, size_t i) {
    return std::string(s.name) + " entry " + std::to_string(i);
}

bool ReadStrings(Reader& r, const Section& s, Description* d, std::string* error) {
    for (size_t i = 0; i < s.count; ++i) {
        String e;
        uint16_t length;
        if (!r.U16(&e.id) || !r.U16(&length) || !ZString(r, length, &e.text))
            return Fail(error, Entry(s, i) + " runs past the end or is not a string");
        d->strings.push_back(e);
    }
    return true;
}

bool ReadDirectories(Reader& r, const Section& s, Description* d, std::string* error) {
    for (size_t i = 0; i < s.count; ++i) {
        Directory e;
        uint16_t length;
        if (!r.U16(&e.id) || !r.U16(&length) || !IdList(r, length, &e.parts))
            return Fail(error, Entry(s, i) + " is not a 0-terminated list of string ids");
        d->directories.push_back(e);
    }
    return true;
}

bool ReadFiles(Reader& r, const Section& s, Description* d, std::string* error) {
    for (size_t i = 0; i < s.count; ++i) {
        File e;
        uint16_t length;
        if (!r.U16(&e.id) || !r.U16(&e.directory) || !r.U16(&e.unknown) || !r.U32(&e.flags) ||
            !r.U16(&length) || !ZString(r, length, &e.name))
            return Fail(error, Entry(s, i) + " runs past the end or has no name");
        d->files.push_back(e);
    }
    return true;
}

bool ReadHives(Reader& r, const Section& s, Description* d, std::string* error) {
    for (size_t i = 0; i < s.count; ++i) {
        Hive e;
        uint16_t length;
        if (!r.U16(&e.id) || !r.U16(&e.root) || !r.U16(&e.unknown) || !r.U16(&length) ||
            !IdList(r, length, &e.parts))
            return Fail(error, Entry(s, i) + " is not a 0-terminated list of string ids");
        if (e.root < 1 || e.root > 4)
            return Fail(error, Entry(s, i) + " names no registry root");
        d->hives.push_back(e);
    }
    return true;
}

bool ReadRegistry(Reader& r, const Section& s, Description* d, std::string* error) {
    for (size_t i = 0; i < s.count; ++i) {
        RegistryEntry e;
        uint16_t length;
        if (!r.U16(&e.id) || !r.U16(&e.hive) || !r.U16(&e.substitute) || !r.U32(&e.typeAndFlags) ||
            !r.U16(&length) || !r.Bytes(length, &e.data))
            return Fail(error, Entry(s, i) + " runs past the end");
        d->registry.push_back(e);
    }
    return true;
}

bool ReadLinks(Reader& r, const Section& s, Description* d, std::string* error) {
    for (size_t i = 0; i < s.count; ++i) {
        Link e;
        uint16_t length;
        if (!r.U16(&e.id) || !r.U16(&e.unknown) || !r.U16(&e.baseDirectory) || !r.U16(&e.target) ||
            !r.U16(&e.targetType) || !r.U16(&length) || !IdList(r, length, &e.parts))
            return Fail(error, Entry(s, i) + " is not a 0-terminated list of string ids");
        d->links.push_back(e);
    }
    return true;
}

// A string the header points at with a 16-bit offset and length; empty when the length is 0.
bool HeaderString(Reader& r, uint16_t offset, uint16_t length, std::string* out) {
    if (length == 0)
        return true;
    return r.Seek(offset) && ZString(r, length, out);
}

// Consecutive NUL-terminated strings, the last of them empty, in exactly length bytes.
bool MultiString(Reader& r, uint16_t offset, uint16_t length, std::vector<std::string>* out) {
    if (length == 0)
        return true;
    std::vector<uint8_t> bytes;
    if (!r.Seek(offset) || !r.Bytes(length, &bytes) || bytes.back() != 0)
        return false;
    std::string current;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != 0) {
            current.push_back(char(bytes[i]));
            continue;
        }
        if (current.empty())
            return i + 1 == bytes.size();
        out->push_back(current);
        current.clear();
    }
    return false;
}

} // namespace

const std::string* Description::StringText(uint16_t id) const {
    for (const String& s : strings)
        if (s.id == id)
            return &s.text;
    return nullptr;
}

std::optional<std::string> Description::DirectoryPath(uint16_t id) const {
    for (const Directory& d : directories) {
        if (d.id != id)
            continue;
        std::string path;
        for (uint16_t part : d.parts) {
            const std::string* text = StringText(part);
            if (!text)
                return std::nullopt;
            path += (path.empty() ? "" : "\\") + *text;
        }
        return path;
    }
    return std::nullopt;
}

std::optional<Description> Parse(const uint8_t* data, size_t size, std::string* error) {
    Description d;
    if (!data || size < kHeaderSize) {
        Fail(error, "shorter than the 100-byte header");
        return std::nullopt;
    }
    if (data[0] != 'M' || data[1] != 'S' || data[2] != 'C' || data[3] != 'E') {
        Fail(error, "no MSCE signature");
        return std::nullopt;
    }
    Reader r(data, size);
    r.Seek(8);
    uint32_t ignored;
    r.U32(&d.totalLength);
    r.U32(&ignored);
    r.U32(&ignored);
    r.U32(&d.architecture);
    r.U32(&d.minMajor);
    r.U32(&d.minMinor);
    r.U32(&d.maxMajor);
    r.U32(&d.maxMinor);
    r.U32(&d.minBuild);
    r.U32(&d.maxBuild);
    Section sections[6] = {{"string"}, {"directory"}, {"file"}, {"hive"}, {"registry"}, {"link"}};
    for (Section& s : sections)
        r.U16(&s.count);
    for (Section& s : sections)
        r.U32(&s.offset);
    uint16_t appAt, appLength, providerAt, providerLength, unsupportedAt, unsupportedLength;
    r.U16(&appAt);
    r.U16(&appLength);
    r.U16(&providerAt);
    r.U16(&providerLength);
    r.U16(&unsupportedAt);
    r.U16(&unsupportedLength);
    if (d.totalLength != size) {
        Fail(error, "the header gives a length of " + std::to_string(d.totalLength) +
                        " bytes for " + std::to_string(size));
        return std::nullopt;
    }
    if (!HeaderString(r, appAt, appLength, &d.appName)) {
        Fail(error, "the application name is not a string inside the file");
        return std::nullopt;
    }
    if (!HeaderString(r, providerAt, providerLength, &d.provider)) {
        Fail(error, "the provider is not a string inside the file");
        return std::nullopt;
    }
    if (!MultiString(r, unsupportedAt, unsupportedLength, &d.unsupported)) {
        Fail(error, "the unsupported platforms are not a list of strings inside the file");
        return std::nullopt;
    }
    typedef bool (*ReadSection)(Reader&, const Section&, Description*, std::string*);
    const ReadSection readers[6] = {ReadStrings, ReadDirectories, ReadFiles,
                                    ReadHives,   ReadRegistry,    ReadLinks};
    for (int i = 0; i < 6; ++i) {
        const Section& s = sections[i];
        if (s.offset < kHeaderSize && s.count > 0) {
            Fail(error, std::string("the ") + s.name + " section overlaps the header");
            return std::nullopt;
        }
        if (!r.Seek(s.offset)) {
            Fail(error, std::string("the ") + s.name + " section starts past the end");
            return std::nullopt;
        }
        if (!readers[i](r, s, &d, error))
            return std::nullopt;
    }
    return d;
}

std::vector<std::string> Inconsistencies(const Description& d) {
    std::vector<std::string> problems;
    auto repeated = [&](const char* what, const std::vector<uint16_t>& ids) {
        std::set<uint16_t> seen;
        for (uint16_t id : ids)
            if (!seen.insert(id).second)
                problems.push_back(std::string(what) + " id " + std::to_string(id) + " repeats");
    };
    std::vector<uint16_t> ids;
    for (const String& s : d.strings)
        ids.push_back(s.id);
    repeated("string", ids);
    ids.clear();
    for (const Directory& dir : d.directories) {
        ids.push_back(dir.id);
        if (!d.DirectoryPath(dir.id))
            problems.push_back("directory " + std::to_string(dir.id) + " names a missing string");
    }
    repeated("directory", ids);
    ids.clear();
    for (const File& f : d.files) {
        ids.push_back(f.id);
        if (f.id == 0 || f.id >= 999)
            problems.push_back("file " + f.name + " has the reserved number " +
                               std::to_string(f.id));
        if (!d.DirectoryPath(f.directory))
            problems.push_back("file " + f.name + " goes to the missing directory " +
                               std::to_string(f.directory));
    }
    repeated("file", ids);
    for (const RegistryEntry& e : d.registry) {
        bool found = false;
        for (const Hive& h : d.hives)
            found = found || h.id == e.hive;
        if (!found)
            problems.push_back("registry entry " + std::to_string(e.id) + " has no hive");
    }
    return problems;
}

} // namespace cesetup
