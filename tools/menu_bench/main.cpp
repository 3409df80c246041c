// Opens the task menu with a number of tasks running and reports its items, its height, and
// the program's live GDI objects, icons, menus and heap blocks before and after many openings.
// Under callgrind with --toggle-collect='ShowTaskMenu()' and --openings 1 it counts the
// instructions of building the menu and drawing it once (the key that closes it adds little).
// Under tools/bench/run.sh the first opening, from the key to the menu on the screen, is a
// phase of its own, "menu<tasks>".
//
//   menu-bench [--tasks N] [--dpi 96|192] [--openings N]
#include <cesim/device.h>
#include <cesim/menus.h>
#include <cesim/programs.h>
#include <cesim/registry.h>

#include "tools/bench/phase.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const cesim::ShellIcon kIcons[] = {cesim::ShellIcon::Notes, cesim::ShellIcon::Mail,
                                   cesim::ShellIcon::Document, cesim::ShellIcon::None};

void StartTasks(int count) {
    for (int i = 0; i < count; ++i) {
        cesim::SimProgram p;
        std::u16string name = cesim::Widen("Program " + std::to_string(i));
        p.modulePath = u"\\Windows\\" + name + u".exe";
        p.icon = kIcons[i % 4];
        cesim::SimWindow w;
        w.title = name;
        p.windows.push_back(w);
        cesim::StartSimulatedProgram(p);
    }
}

const UINT kHotKey = 0xC1;

} // namespace

int main(int argc, char** argv) {
    cesim::BootOptions options;
    int tasks = 10;
    int openings = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--tasks")
            tasks = std::atoi(argv[i + 1]);
        else if (arg == "--openings")
            openings = std::atoi(argv[i + 1]);
        else if (arg == "--dpi") {
            options.dpi = std::atoi(argv[i + 1]);
            options.width = options.dpi >= 192 ? 480 : 240;
            options.height = options.dpi >= 192 ? 640 : 320;
        }
    }
    cesim::Boot(options);
    // The hot key opens the menu at once when the switcher is off.
    const char* settings = "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo";
    cesim::reg::SetDword(settings, "TLHWKey", kHotKey);
    cesim::reg::SetDword(settings, "AltTab", 0);
    StartTasks(tasks);

    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    DWORD pid = cesim::StartProgram(vexo);

    size_t objects = 0, icons = 0, blocks = 0;
    for (int i = 0; i < openings; ++i) {
        std::string name = "menu" + std::to_string(tasks);
        bench::Phase opening(name.c_str(), pid);
        cesim::PressHardwareKey(kHotKey);
        cesim::ReleaseHardwareKey(kHotKey);
        if (i == 0)
            opening.End(pid);
        auto menu = cesim::ActiveMenu();
        if (!menu) {
            std::fprintf(stderr, "the menu did not open\n");
            return 1;
        }
        if (i == 0)
            std::printf(
                "%d tasks at %d dpi: %zu items, menu %ld x %ld pixels%s\n", tasks, options.dpi,
                cesim::MenuItems(menu->menu).size(), long(menu->rect.right - menu->rect.left),
                long(menu->rect.bottom - menu->rect.top), menu->scrolls ? ", scrolling" : "");
        cesim::PressKey(VK_ESCAPE);
        if (i == 0) {
            objects = cesim::LiveGdiObjects(pid);
            icons = cesim::LiveIcons(pid);
            blocks = cesim::HeapBlocks();
        }
    }
    std::printf("after %d openings: GDI objects %zu -> %zu, icons %zu -> %zu, menus %zu, heap "
                "blocks %zu -> %zu\n",
                openings, objects, cesim::LiveGdiObjects(pid), icons, cesim::LiveIcons(pid),
                cesim::LiveMenus(pid), blocks, cesim::HeapBlocks());
    return 0;
}
