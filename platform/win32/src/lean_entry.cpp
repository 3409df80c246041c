// The program's own entry point on the desktop. A CE executable starts with little more than
// this; the C runtime's start-up (argument vectors, pseudo-relocations, thread-local storage
// callbacks) would weigh several kilobytes the device never carries.
#include <windows.h>

// Runs the static constructors; part of the compiler's support library.
extern "C" void __main();

namespace {

LPWSTR SkipProgramName(LPWSTR line) {
    bool quoted = false;
    for (; *line; ++line) {
        if (*line == L'"')
            quoted = !quoted;
        else if (!quoted && (*line == L' ' || *line == L'\t'))
            break;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

// The static destructors, which the constructors register here, run when the program returns.
typedef void(__cdecl* ExitRoutine)();
ExitRoutine exitRoutines[32];
int exitRoutineCount = 0;

} // namespace

extern "C" int __cdecl atexit(ExitRoutine routine) {
    if (exitRoutineCount == int(sizeof exitRoutines / sizeof exitRoutines[0]))
        return -1;
    exitRoutines[exitRoutineCount++] = routine;
    return 0;
}

// Hands the program its command line as CE does: without the program's own name.
extern "C" void VexoStartup() {
    __main();
    STARTUPINFOW startup;
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int show =
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    const int result =
        CeWinMain(GetModuleHandleW(NULL), NULL, SkipProgramName(GetCommandLineW()), show);
    while (exitRoutineCount > 0)
        exitRoutines[--exitRoutineCount]();
    ExitProcess(UINT(result));
}
