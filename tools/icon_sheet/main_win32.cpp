// The icon sheet as a desktop Win32 draws it, from the resources of a program file.
//
//   icon-sheet.exe PROGRAM.exe OUT.ppm
#include <cstdio>

#include "tools/icon_sheet/ppm.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon-sheet PROGRAM.exe OUT.ppm\n");
        return 2;
    }
    HMODULE program = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) {
        std::fprintf(stderr, "icon-sheet: cannot open %ls\n", argv[1]);
        return 1;
    }
    IconSheet sheet;
    const bool drawn = DrawIconSheet(HINSTANCE(program), sheet);
    FreeLibrary(program);
    if (!drawn)
        std::fprintf(stderr, "icon-sheet: an icon did not load or draw\n");
    char path[MAX_PATH];
    if (!WideCharToMultiByte(CP_ACP, 0, argv[2], -1, path, MAX_PATH, nullptr, nullptr) ||
        !WriteSheetPpm(sheet, path)) {
        std::fprintf(stderr, "icon-sheet: cannot write %ls\n", argv[2]);
        return 1;
    }
    return drawn ? 0 : 1;
}
