// The simulator app: boots a simulated device, starts vexo on it and writes screenshots.
#include <cesim/device.h>
#include <cesim/programs.h>
#include <cesim/registry.h>

#include "tools/vexocfg/vexocfg.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

namespace {

void Usage() {
    std::printf("usage: vexo-sim [--dpi 96|192] [--os 4.20|5.1|5.2|6.0] [--reg FILE.reg] "
                "[--out DIR] [--outline] [--cfg \"COMMAND ARGS\"]...\n"
                "Boots a simulated Pocket PC, starts vexo on it and three programs (one with an\n"
                "OK button in its caption, one full-screen without caption, one with a caption),\n"
                "brings each to the front in turn and writes a PNG of the screen each time to\n"
                "DIR (default: the current folder). --outline marks the button's rectangle.\n"
                "Each --cfg runs a vexocfg command on the device once vexo runs, as the\n"
                "settings program would (e.g. --cfg \"set ShowDot off\").\n");
}

struct Scene {
    const char* name;
    HWND window;
};

std::vector<Scene> StartPrograms() {
    auto start = [](const std::u16string& path, const std::u16string& title, DWORD style,
                    DWORD exStyle) {
        cesim::SimProgram p;
        p.modulePath = path;
        cesim::SimWindow w;
        w.title = title;
        w.style = style;
        w.exStyle = exStyle;
        p.windows.push_back(w);
        return cesim::StartSimulatedProgram(p).windows[0];
    };
    std::vector<Scene> scenes;
    scenes.push_back({"ok", start(u"\\Windows\\ctlpnl.exe", u"Settings", WS_VISIBLE | WS_CAPTION,
                                  WS_EX_CAPTIONOKBTN)});
    scenes.push_back({"close", start(u"\\Windows\\notes.exe", u"Notes", WS_VISIBLE, 0)});
    scenes.push_back(
        {"caption", start(u"\\Windows\\calc.exe", u"Calculator", WS_VISIBLE | WS_CAPTION, 0)});
    return scenes;
}

// Outlines a rectangle so the button's area shows in a screenshot even before it paints.
void Outline(cesim::Surface& s, const RECT& r, uint32_t colour) {
    for (int x = r.left; x < r.right; ++x) {
        s.set(x, r.top, colour);
        s.set(x, r.bottom - 1, colour);
    }
    for (int y = r.top; y < r.bottom; ++y) {
        s.set(r.left, y, colour);
        s.set(r.right - 1, y, colour);
    }
}

} // namespace

int main(int argc, char** argv) {
    cesim::BootOptions options;
    std::string out = ".";
    bool outline = false;
    std::vector<std::string> settings;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--dpi" && i + 1 < argc) {
            options.dpi = std::atoi(argv[++i]);
            options.width = options.dpi >= 192 ? 480 : 240;
            options.height = options.dpi >= 192 ? 640 : 320;
        } else if (arg == "--os" && i + 1 < argc) {
            std::sscanf(argv[++i], "%d.%d", &options.osMajor, &options.osMinor);
        } else if (arg == "--reg" && i + 1 < argc) {
            options.registryFile = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else if (arg == "--cfg" && i + 1 < argc) {
            settings.push_back(argv[++i]);
        } else if (arg == "--outline") {
            outline = true;
        } else {
            Usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    cesim::Boot(options);
    std::vector<Scene> scenes = StartPrograms();
    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    DWORD pid = cesim::StartProgram(vexo);
    cesim::Advance(1000);
    if (!cesim::ProcessRunning(pid)) {
        std::fprintf(stderr, "vexo ended at start-up with exit code %d\n",
                     cesim::ProcessExitCode(pid));
        return 1;
    }
    for (const std::string& command : settings) {
        std::vector<std::string> words;
        std::istringstream split(command);
        for (std::string word; split >> word;)
            words.push_back(word);
        std::string out, err;
        int code = 0;
        cesim::StartHelperProcess(u"\\Program Files\\Vexo\\VexoCfg.exe",
                                  [&] { code = RunVexoCfg(words, out, err); });
        cesim::Settle();
        std::printf("vexocfg %s: %s%s", command.c_str(), out.c_str(), err.c_str());
        if (code != 0)
            return 1;
    }
    for (const Scene& scene : scenes) {
        SetForegroundWindow(scene.window);
        cesim::Advance(500);
        cesim::Surface screen = cesim::ComposeScreen();
        if (outline)
            for (HWND child : cesim::ChildWindows(cesim::Taskbar())) {
                auto info = cesim::Inspect(child);
                if (info && info->className == u"VexoClass")
                    Outline(screen, info->rect, 0xFF00FF);
            }
        char name[96];
        std::snprintf(name, sizeof name, "/vexo-%ddpi-%d.%d-%s.png", options.dpi, options.osMajor,
                      options.osMinor, scene.name);
        std::string path = out + name;
        if (!cesim::WritePng(screen, path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("screenshot: %s\n", path.c_str());
    }
    return 0;
}
