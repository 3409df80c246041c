// The CE installer's description of an installation, the .000 member of a cabinet, read from
// its bytes. Nothing in the bytes is trusted: every count, length and offset is checked
// against the data before it is used, so any input gives a description or a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cesetup {

struct String {
    uint16_t id = 0;
    std::string text;
};

// A path as the string ids of its parts, joined by "\".
struct Directory {
    uint16_t id = 0;
    std::vector<uint16_t> parts;
};

struct File {
    uint16_t id = 0; // the cabinet member whose extension is this number
    uint16_t directory = 0;
    uint16_t unknown = 0; // usually the id again
    uint32_t flags = 0;
    std::string name; // as installed
};

struct Hive {
    uint16_t id = 0;
    uint16_t root = 0; // 1 HKCR, 2 HKCU, 3 HKLM, 4 HKU
    uint16_t unknown = 0;
    std::vector<uint16_t> parts;
};

struct RegistryEntry {
    uint16_t id = 0;
    uint16_t hive = 0;
    uint16_t substitute = 0;
    uint32_t typeAndFlags = 0;
    std::vector<uint8_t> data; // the value's name, NUL, then its data
};

struct Link {
    uint16_t id = 0;
    uint16_t unknown = 0;
    uint16_t baseDirectory = 0; // 0 the installation folder, else %CEn%
    uint16_t target = 0;
    uint16_t targetType = 0; // 0 a directory, 1 a file
    std::vector<uint16_t> parts;
};

struct Description {
    uint32_t totalLength = 0;
    uint32_t architecture = 0;
    uint32_t minMajor = 0, minMinor = 0, maxMajor = 0, maxMinor = 0;
    uint32_t minBuild = 0, maxBuild = 0;
    std::string appName;
    std::string provider;
    std::vector<std::string> unsupported;
    std::vector<String> strings;
    std::vector<Directory> directories;
    std::vector<File> files;
    std::vector<Hive> hives;
    std::vector<RegistryEntry> registry;
    std::vector<Link> links;

    // The directory's path with its string ids resolved; nothing when an id is unknown.
    std::optional<std::string> DirectoryPath(uint16_t id) const;
    const std::string* StringText(uint16_t id) const;
};

const size_t kHeaderSize = 100;

// The description in data, or nothing with *error saying what is wrong and where.
std::optional<Description> Parse(const uint8_t* data, size_t size, std::string* error);

// What a well-formed description may still get wrong: ids that repeat or refer to nothing.
std::vector<std::string> Inconsistencies(const Description& description);

} // namespace cesetup
