// Checking an installation cabinet as the CE installer will take it: its members read back
// with cabextract, its .000 description parsed and held against them and against the
// provisioning document that Windows Mobile 5 and later read instead.
#pragma once

#include "tools/cabinfo/cesetup.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cesetup {

struct Member {
    std::string name;
    std::vector<uint8_t> bytes;
};

// The members in the order the cabinet holds them, or nothing with *error saying why.
std::optional<std::vector<Member>> ExtractCabinet(const std::string& cabinetPath,
                                                  std::string* error);

// What the cabinet of vexo has to say.
struct Expected {
    std::string appName = "Vexo";
    std::string provider = "Holmvest";
    std::string installDir = "%CE1%\\Vexo";
    uint32_t minMajor = 4, minMinor = 0, maxMajor = 5, maxMinor = 99;
    std::optional<uint32_t> architecture;
    // Installed file name and the host file it must be a copy of.
    std::map<std::string, std::string> files;
    std::string setupLibrary; // host file the .999 member must be a copy of; empty: any
};

struct Report {
    std::optional<Description> description;
    std::vector<std::string> problems; // empty when the cabinet is sound
    std::string summary;               // what it holds, for people
};

Report CheckCabinet(const std::vector<Member>& members, const Expected& expected);

} // namespace cesetup
