// cab-check: reads an installation cabinet back and says whether the CE installer will take
// it as vexo's; prints what it holds.
//
//   cab-check CABINET [--architecture N] [--file NAME=HOSTFILE]... [--setup HOSTFILE]
//
// Exits 0 when the cabinet is sound, 1 when it is not, 2 on a wrong command line.
#include "tools/cabinfo/cabcheck.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    std::string cabinet;
    cesetup::Expected expected;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--architecture" && hasValue) {
            expected.architecture = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--file" && hasValue) {
            std::string file = argv[++i];
            size_t eq = file.find('=');
            if (eq == std::string::npos || eq == 0) {
                std::fprintf(stderr, "cab-check: --file takes NAME=HOSTFILE\n");
                return 2;
            }
            expected.files[file.substr(0, eq)] = file.substr(eq + 1);
        } else if (arg == "--setup" && hasValue) {
            expected.setupLibrary = argv[++i];
        } else if (cabinet.empty() && arg[0] != '-') {
            cabinet = arg;
        } else {
            std::fprintf(stderr, "usage: cab-check CABINET [--architecture N] "
                                 "[--file NAME=HOSTFILE]... [--setup HOSTFILE]\n");
            return 2;
        }
    }
    if (cabinet.empty()) {
        std::fprintf(stderr, "cab-check: no cabinet given\n");
        return 2;
    }
    std::string error;
    auto members = cesetup::ExtractCabinet(cabinet, &error);
    if (!members) {
        std::fprintf(stderr, "cab-check: %s\n", error.c_str());
        return 1;
    }
    cesetup::Report report = cesetup::CheckCabinet(*members, expected);
    std::fputs(report.summary.c_str(), stdout);
    for (const std::string& p : report.problems)
        std::fprintf(stderr, "cab-check: %s: %s\n", cabinet.c_str(), p.c_str());
    return report.problems.empty() ? 0 : 1;
}
