// Marks the phases of a bench for callgrind: the costs of each phase go to a dump of their own,
// named after it, and the bench prints the GDI calls the program made meanwhile. Outside
// valgrind the marks cost nothing.
#pragma once

#include <cesim/gdi_trace.h>

#include <cstdio>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name) ((void)(name))
#endif

namespace bench {

class Phase {
public:
    // processId 0: the process is not known yet (it is the one the phase starts); pass it to
    // End.
    Phase(const char* name, DWORD processId)
        : name_(name), before_(cesim::GdiCallCount(processId)) {
        CALLGRIND_ZERO_STATS;
    }
    void End(DWORD processId) {
        CALLGRIND_DUMP_STATS_AT(name_);
        std::printf("phase %s: %zu GDI calls\n", name_, cesim::GdiCallCount(processId) - before_);
    }

private:
    const char* name_;
    size_t before_;
};

} // namespace bench
