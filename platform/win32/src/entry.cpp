// The desktop's entry point for tools, which hands them their wide command line as Windows CE
// does: without the program's own name.
#include <windows.h>

// For tools built with mingw's start-up code (-municode), which has already cut the name off.
extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine,
                               int showCommand) {
    return CeWinMain(instance, previous, commandLine, showCommand);
}
