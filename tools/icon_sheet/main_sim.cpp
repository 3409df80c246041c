// The icon sheet as the simulated device draws it, from the program's own resources.
//
//   icon-sheet --os M.m OUT.ppm
#include <cesim/device.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "tools/icon_sheet/ppm.h"

namespace {

IconSheet sheet;
bool drawn = false;

int DrawingProgram(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    drawn = DrawIconSheet(instance, sheet);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    cesim::BootOptions options;
    if (argc != 4 || std::string(argv[1]) != "--os" ||
        std::sscanf(argv[2], "%d.%d", &options.osMajor, &options.osMinor) != 2) {
        std::fprintf(stderr, "usage: icon-sheet --os M.m OUT.ppm\n");
        return 2;
    }
    cesim::Boot(options);
    cesim::ProgramImage image;
    image.entry = DrawingProgram;
    image.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    image.resources = cesim::ProgramResourceSection();
    const DWORD process = cesim::StartProgram(image);
    cesim::Settle();
    for (int i = 0; i < 500 && cesim::ProcessRunning(process); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!drawn)
        std::fprintf(stderr, "icon-sheet: an icon did not load or draw\n");
    if (!WriteSheetPpm(sheet, argv[3])) {
        std::fprintf(stderr, "icon-sheet: cannot write %s\n", argv[3]);
        return 1;
    }
    return drawn ? 0 : 1;
}
