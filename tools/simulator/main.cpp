// The simulator app: vexo on a simulated Pocket PC, in a window or played from a script.
#include "tools/simulator/catalogue.h"
#include "tools/simulator/script.h"
#include "tools/simulator/session.h"
#include "tools/simulator/window.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Usage() {
    std::printf(
        "usage: vexo-sim [OPTIONS]\n"
        "Boots a simulated Pocket PC, starts vexo in its taskbar and shows the device in a\n"
        "window, or, with --headless or without a display, plays a scripted session and\n"
        "writes its screenshots.\n"
        "\n"
        "Options\n"
        "  --dpi 96|192          the screen: 240x320 at 96 DPI (default), 480x640 at 192\n"
        "  --os 4.20|5.1|5.2|6.0 the shell's version, which sets the button's look\n"
        "                        (default 4.20)\n"
        "  --registry FILE.reg   REGEDIT4 text imported after the session's defaults, which\n"
        "                        put vexo's hot key on the first application button (0xC1);\n"
        "                        the window's L key reads it again\n"
        "  --scale 1|2|3         device pixels per window pixel (default 2)\n"
        "  --script FILE         a session to play: in the window before the mouse takes\n"
        "                        over, or headless\n"
        "  --out DIR             where screenshots go (default: the current folder)\n"
        "  --headless            no window: play --script and end\n"
        "  --frame-stats         print the window's median and worst frame time at the end\n"
        "  --help                this text\n"
        "\n"
        "Exit codes: 0 done, 1 the device or a script's action failed, 2 a bad option or\n"
        "script line, 3 no window could be opened and there is no --script to play.\n"
        "\n"
        "The window\n"
        "%s"
        "\n"
        "Programs (for the keys 1 to 5 and a script's start)\n",
        vexosim::kWindowKeys);
    size_t count = 0;
    const vexosim::CatalogueEntry* entries = vexosim::Catalogue(count);
    for (size_t i = 0; i < count; ++i)
        std::printf("  %-8s %s\n", entries[i].name, entries[i].summary);
    std::printf("\n"
                "Scripts\n"
                "  One action a line; # starts a comment. POINT is X,Y in screen pixels,\n"
                "  button or itemN (item N of the open menu, from 0), each with an optional\n"
                "  +DX,DY. MS is milliseconds of the device's clock.\n"
                "    start PROGRAM         tap POINT [MS]          hold POINT MS\n"
                "    drag POINT POINT [MS] down POINT  move POINT  up\n"
                "    key [MS]              wait MS                 cfg VEXOCFG-ARGUMENTS\n"
                "    rotate 0|90|180|270   reload                  shot NAME\n");
}

// Tells `make run` to play the demo headless instead.
const int kExitNoWindow = 3;

int BadOption(const std::string& why) {
    std::fprintf(stderr, "vexo-sim: %s (see --help)\n", why.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    vexosim::SessionOptions session;
    vexosim::WindowOptions window;
    std::string script;
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (arg == "--headless") {
            headless = true;
        } else if (arg == "--frame-stats") {
            window.frameStats = true;
        } else if (!hasValue) {
            return BadOption(arg.compare(0, 2, "--") == 0 ? arg + " needs a value"
                                                          : "unknown argument " + arg);
        } else if (arg == "--dpi") {
            std::string dpi = argv[++i];
            if (dpi != "96" && dpi != "192")
                return BadOption("--dpi is 96 or 192, not " + dpi);
            session.dpi = std::atoi(dpi.c_str());
        } else if (arg == "--os") {
            std::string os = argv[++i];
            if (!vexosim::ParseOs(os, session.osMajor, session.osMinor))
                return BadOption("--os is 4.20, 5.1, 5.2 or 6.0, not " + os);
        } else if (arg == "--registry") {
            session.registryFile = argv[++i];
        } else if (arg == "--scale") {
            std::string scale = argv[++i];
            if (scale != "1" && scale != "2" && scale != "3")
                return BadOption("--scale is 1, 2 or 3, not " + scale);
            window.scale = std::atoi(scale.c_str());
        } else if (arg == "--script") {
            script = argv[++i];
        } else if (arg == "--out") {
            session.outDir = argv[++i];
        } else {
            return BadOption("unknown option " + arg);
        }
    }

    std::string why;
    if (!headless && !vexosim::WindowAvailable(&why)) {
        if (script.empty()) {
            std::fprintf(stderr,
                         "vexo-sim: no window (%s); give --script FILE to play a "
                         "session headless\n",
                         why.c_str());
            return kExitNoWindow;
        }
        std::printf("no window (%s): playing %s headless\n", why.c_str(), script.c_str());
        headless = true;
    }

    vexosim::Session device(session);
    std::string error;
    if (!device.Start(&error)) {
        std::fprintf(stderr, "vexo-sim: %s\n", error.c_str());
        return 1;
    }
    if (!script.empty() &&
        !vexosim::ReadScriptFile(script, device.Screen(), window.script, &error)) {
        std::fprintf(stderr, "vexo-sim: %s\n", error.c_str());
        return 2;
    }

    int code = 0;
    if (headless) {
        if (!device.PlayAll(window.script, &error)) {
            std::fprintf(stderr, "vexo-sim: %s: %s\n", script.c_str(), error.c_str());
            code = 1;
        }
        for (const std::string& line : device.TakeNews())
            std::printf("%s\n", line.c_str());
    } else {
        code = vexosim::RunWindow(device, window);
        for (const std::string& line : device.TakeNews())
            std::printf("%s\n", line.c_str());
    }
    int vexoCode = 0;
    if (device.EndVexo(&vexoCode)) {
        std::printf("vexo ended with exit code %d\n", vexoCode);
    } else if (device.VexoRunning()) {
        std::fprintf(stderr, "vexo-sim: vexo did not end when asked to\n");
        code = code ? code : 1;
    }
    std::fflush(stdout);
    return code;
}
