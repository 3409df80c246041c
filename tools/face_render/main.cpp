// Paints the button face on the simulated device for every combination of the three face
// settings and writes each as a binary PPM, so that a desktop GDI's painting of the same face
// can be compared with it pixel for pixel.
//
//   face-render --os M.m --width W [--syscolors FILE] [--program close|none] --out DIR
//
// FILE holds lines INDEX=0xBBGGRR (a COLORREF per system colour index). Each face goes to
// DIR/<bkgnd>-<button>-<dot>.ppm, the digits being OldStyleBkgnd, OldStyleButton and ShowDot.
#include <cesim/device.h>
#include <cesim/programs.h>
#include <cesim/registry.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const char kSettings[] = "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo";

bool LoadSysColors(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        int index = std::atoi(line.substr(0, eq).c_str());
        COLORREF colour = COLORREF(std::strtoul(line.c_str() + eq + 1, nullptr, 0));
        cesim::SetSysColor(index, colour);
    }
    return true;
}

HWND FindButton() {
    for (HWND child : cesim::ChildWindows(cesim::Taskbar()))
        if (cesim::Inspect(child)->className == u"VexoClass")
            return child;
    return nullptr;
}

// Sent from another process, as the settings program does.
void SendReadConfig() {
    cesim::StartHelperProcess(u"\\Program Files\\Vexo\\VexoCfg.exe", [] {
        UINT message = RegisterWindowMessageW(L"Holmvest::Vexo::Messages::ReadConfig");
        HWND taskbar = FindWindowW(L"HHTaskBar", nullptr);
        for (HWND child = GetWindow(taskbar, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (std::u16string(reinterpret_cast<const char16_t*>(name)) == u"VexoClass") {
                SendMessageW(child, message, 0, 0);
                return;
            }
        }
    });
    cesim::Settle();
}

bool WritePpm(const cesim::Surface& screen, const RECT& r, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::fprintf(out, "P6\n%d %d\n255\n", int(r.right - r.left), int(r.bottom - r.top));
    for (int y = int(r.top); y < r.bottom; ++y)
        for (int x = int(r.left); x < r.right; ++x) {
            uint32_t p = screen.at(x, y);
            unsigned char rgb[3] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
            std::fwrite(rgb, 1, 3, out);
        }
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    cesim::BootOptions options;
    std::string sysColors, program = "none", outDir;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--os")
            std::sscanf(argv[i + 1], "%d.%d", &options.osMajor, &options.osMinor);
        else if (arg == "--width")
            options.width = std::atoi(argv[i + 1]);
        else if (arg == "--syscolors")
            sysColors = argv[i + 1];
        else if (arg == "--program")
            program = argv[i + 1];
        else if (arg == "--out")
            outDir = argv[i + 1];
        else {
            std::fprintf(stderr, "face-render: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (outDir.empty() || (program != "none" && program != "close")) {
        std::fprintf(stderr, "usage: face-render --os M.m --width W [--syscolors FILE] "
                             "[--program close|none] --out DIR\n");
        return 2;
    }
    cesim::Boot(options);
    if (!sysColors.empty() && !LoadSysColors(sysColors)) {
        std::fprintf(stderr, "face-render: cannot read %s\n", sysColors.c_str());
        return 1;
    }
    if (program == "close") {
        // Neither caption nor OK button: the face shows the X for it.
        cesim::SimProgram p;
        p.modulePath = u"\\Windows\\close.exe";
        cesim::SimWindow w;
        w.title = u"Close Button";
        w.style = WS_VISIBLE | WS_POPUP;
        p.windows.push_back(w);
        cesim::StartSimulatedProgram(p);
    }
    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    cesim::StartProgram(vexo);
    cesim::Settle();
    HWND button = FindButton();
    if (!button) {
        std::fprintf(stderr, "face-render: vexo did not start\n");
        return 1;
    }
    RECT rect = cesim::Inspect(button)->rect;
    for (int bkgnd = 0; bkgnd < 2; ++bkgnd)
        for (int oldButton = 0; oldButton < 2; ++oldButton)
            for (int dot = 0; dot < 2; ++dot) {
                cesim::reg::SetDword(kSettings, "OldStyleBkgnd", DWORD(bkgnd));
                cesim::reg::SetDword(kSettings, "OldStyleButton", DWORD(oldButton));
                cesim::reg::SetDword(kSettings, "ShowDot", DWORD(dot));
                SendReadConfig();
                InvalidateRect(button, nullptr, FALSE);
                cesim::Settle();
                std::string path = outDir + "/" + std::to_string(bkgnd) + "-" +
                                   std::to_string(oldButton) + "-" + std::to_string(dot) + ".ppm";
                if (!WritePpm(cesim::ComposeScreen(), rect, path)) {
                    std::fprintf(stderr, "face-render: cannot write %s\n", path.c_str());
                    return 1;
                }
            }
    return 0;
}
