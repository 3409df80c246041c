// The simulated programs a session can start by name, each of a kind vexo has to close its own
// way.
#pragma once

#include <cesim/programs.h>

#include <string>

namespace vexosim {

struct CatalogueEntry {
    const char* name;    // as a script or the window's keys name it
    const char* summary; // for --help
};

// In the order of the window's keys 1, 2, ...
const CatalogueEntry* Catalogue(size_t& count);
bool IsKnownProgram(const std::string& name);
std::string KnownProgramList(); // "ok, close, ..."

// Starts the named program with its windows filling the screen below the taskbar.
cesim::RunningProgram StartCatalogueProgram(const std::string& name);

} // namespace vexosim
