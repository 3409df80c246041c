// The desktop's entry point, which hands the program its wide command line as Windows CE does.
#include <windows.h>

// mingw's start-up code (-municode) has already cut the program's own name off the command
// line, which is what CE passes.
extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine,
                               int showCommand) {
    return CeWinMain(instance, previous, commandLine, showCommand);
}
