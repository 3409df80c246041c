// Measures the button's everyday work on the device: a tap on the button (from the press to the
// close request for the program in front) and a tick of the watch timer with nothing to do,
// counting the paints and heap allocations each causes. Run under callgrind with
// --toggle-collect='OnLButton*' for the taps or --toggle-collect='OnTimer*' for the ticks to
// count the instructions of the handlers alone. Under tools/bench/run.sh each of start-up, the
// ticks and the taps is a phase of its own.
#include <cesim/device.h>
#include <cesim/gdi_trace.h>
#include <cesim/programs.h>
#include <cesim/registry.h>
#include <cesim/stylus.h>

#include "shell/switcher.h"
#include "tools/bench/phase.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND FindButton() {
    for (HWND child : cesim::ChildWindows(cesim::Taskbar()))
        if (cesim::Inspect(child)->className == u"VexoClass")
            return child;
    return nullptr;
}

size_t Count(const std::vector<cesim::GdiCall>& calls, const std::string& name) {
    size_t n = 0;
    for (const cesim::GdiCall& c : calls)
        n += c.name == name;
    return n;
}

// A short press opens the switcher; the next one moves the selection, which repaints it.
int MeasureSwitcherPaint(DWORD pid, UINT key, int tasks) {
    cesim::HoldHardwareKey(key, 100);
    if (!switcherWnd) {
        std::fprintf(stderr, "the switcher did not open\n");
        return 1;
    }
    bench::Phase paint("switcher", pid);
    cesim::HoldHardwareKey(key, 100);
    paint.End(pid);
    std::printf("switcher with %d tasks painted once more\n", tasks);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int taps = 0;
    int ticks = 0;
    int switcherTasks = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--taps")
            taps = std::atoi(argv[i + 1]);
        else if (arg == "--ticks")
            ticks = std::atoi(argv[i + 1]);
        else if (arg == "--switcher")
            switcherTasks = std::atoi(argv[i + 1]);
    }
    cesim::Boot();
    cesim::SimProgram notes;
    notes.modulePath = u"\\Windows\\notes.exe";
    cesim::SimWindow w;
    w.title = u"Notes";
    notes.windows.push_back(w);
    cesim::StartSimulatedProgram(notes);
    // The switcher needs the hardware key and programs to walk.
    const UINT kKey = 0xC1;
    if (switcherTasks > 0) {
        cesim::reg::SetDword("HKCU\\Software\\Holmvest\\Vexo", "TLHWKey", kKey);
        for (int i = 1; i < switcherTasks; ++i) {
            cesim::SimProgram other;
            other.modulePath = u"\\Windows\\pword.exe";
            cesim::SimWindow ow;
            ow.title = u"Document " + std::u16string(1, char16_t(u'A' + i % 26));
            other.windows.push_back(ow);
            cesim::StartSimulatedProgram(other);
        }
    }

    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    // vexo's process does not exist yet: its count starts from none.
    bench::Phase startup(switcherTasks > 0 ? "switcher-startup" : "startup", 0);
    DWORD pid = cesim::StartProgram(vexo);
    startup.End(pid);
    HWND button = FindButton();
    if (!button) {
        std::fprintf(stderr, "vexo did not start\n");
        return 1;
    }
    RECT r = cesim::Inspect(button)->rect;
    // The first ticks settle the face and the button's place.
    cesim::Advance(1000);

    if (switcherTasks > 0)
        return MeasureSwitcherPaint(pid, kKey, switcherTasks);

    size_t allocations = cesim::HeapAllocations();
    cesim::StartGdiTraceOfProcess(pid);
    bench::Phase tick("tick", pid);
    for (int i = 0; i < ticks; ++i)
        cesim::Advance(500);
    tick.End(pid);
    cesim::StopGdiTrace();
    if (ticks)
        std::printf("%d idle watch ticks: %zu paints, %zu heap allocations\n", ticks,
                    Count(cesim::GdiTrace(), "BitBlt"), cesim::HeapAllocations() - allocations);

    allocations = cesim::HeapAllocations();
    cesim::StartGdiTraceOfProcess(pid);
    bench::Phase tap("tap", pid);
    for (int i = 0; i < taps; ++i)
        cesim::Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    tap.End(pid);
    cesim::StopGdiTrace();
    if (taps)
        std::printf("%d taps: %zu paints, %zu heap allocations\n", taps,
                    Count(cesim::GdiTrace(), "BitBlt"), cesim::HeapAllocations() - allocations);
    return 0;
}
