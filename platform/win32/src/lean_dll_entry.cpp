// The entry point of a library of the program on the desktop, in place of the C runtime's: it
// runs the static constructors when the library is loaded and their destructors when it is
// unloaded, around the library's own DllMain. A CE library starts with little more than this.
#include <windows.h>

extern "C" void __main();
extern "C" BOOL WINAPI DllMain(HANDLE module, DWORD reason, LPVOID reserved);

namespace {

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

extern "C" BOOL WINAPI VexoDllStartup(HANDLE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH)
        __main();
    BOOL result = DllMain(module, reason, reserved);
    if (reason == DLL_PROCESS_DETACH)
        while (exitRoutineCount > 0)
            exitRoutines[--exitRoutineCount]();
    return result;
}
