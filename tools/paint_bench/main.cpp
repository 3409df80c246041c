// Measures painting the button: GDI calls per paint, and the program's live GDI objects and heap
// blocks before and after many paints. Run under callgrind with --toggle-collect=OnPaint to
// count the instructions of painting alone.
#include <cesim/device.h>
#include <cesim/gdi_trace.h>
#include <cesim/programs.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    cesim::BootOptions options;
    int paints = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--os")
            std::sscanf(argv[i + 1], "%d.%d", &options.osMajor, &options.osMinor);
        else if (arg == "--paints")
            paints = std::atoi(argv[i + 1]);
        else if (arg == "--dpi") {
            options.dpi = std::atoi(argv[i + 1]);
            options.width = options.dpi >= 192 ? 480 : 240;
            options.height = options.dpi >= 192 ? 640 : 320;
        }
    }
    cesim::Boot(options);
    cesim::SimProgram notes;
    notes.modulePath = u"\\Windows\\notes.exe";
    cesim::SimWindow w;
    w.title = u"Notes";
    notes.windows.push_back(w);
    cesim::StartSimulatedProgram(notes);

    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    DWORD pid = cesim::StartProgram(vexo);
    HWND button = nullptr;
    for (HWND child : cesim::ChildWindows(cesim::Taskbar()))
        if (cesim::Inspect(child)->className == u"VexoClass")
            button = child;
    if (!button) {
        std::fprintf(stderr, "vexo did not start\n");
        return 1;
    }
    cesim::StartGdiTraceOfProcess(pid);
    InvalidateRect(button, nullptr, FALSE);
    cesim::Settle();
    cesim::StopGdiTrace();
    size_t calls = cesim::GdiTrace().size();

    size_t objects = cesim::LiveGdiObjects(pid);
    size_t blocks = cesim::HeapBlocks();
    size_t allocations = cesim::HeapAllocations();
    for (int i = 0; i < paints; ++i) {
        InvalidateRect(button, nullptr, FALSE);
        cesim::Settle();
    }
    std::printf("os %d.%d at %d dpi: %zu GDI calls per paint; after %d paints GDI objects %zu -> "
                "%zu, heap blocks %zu -> %zu, allocations during the paints %zu\n",
                options.osMajor, options.osMinor, options.dpi, calls, paints, objects,
                cesim::LiveGdiObjects(pid), blocks, cesim::HeapBlocks(),
                cesim::HeapAllocations() - allocations);
    return 0;
}
