// The simulated programs of a session: what each is called, what it looks like, how it closes.
#include "tools/simulator/catalogue.h"

#include <cesim/device.h>
#include <cesim/power.h>

namespace vexosim {

namespace {

const CatalogueEntry kEntries[] = {
    {"ok", "Settings: a dialog with an OK button in its caption"},
    {"close", "Notes: a program with a close button (X)"},
    {"sheet", "Owner Information: a property sheet that closes on OK"},
    {"hang", "Backup: stops answering when it is asked to close"},
    {"dialog", "Find: a dialog of the shell's own class, which cancels on close"},
};

RECT BelowTaskbar() {
    const cesim::BootOptions& boot = cesim::BootedWith();
    RECT screen = {0, 0, boot.width, boot.height};
    if (cesim::ScreenOrientation() == DMDO_90 || cesim::ScreenOrientation() == DMDO_270)
        screen = {0, 0, boot.height, boot.width};
    if (auto taskbar = cesim::Inspect(cesim::Taskbar()))
        screen.top = taskbar->rect.bottom;
    return screen;
}

cesim::SimProgram Describe(const std::string& name) {
    cesim::SimProgram program;
    cesim::SimWindow window;
    window.rect = BelowTaskbar();
    // A program without a caption of its own leaves its close button (X) to the taskbar.
    window.style = WS_VISIBLE;
    if (name == "ok") {
        window.style |= WS_CAPTION;
        program.modulePath = u"\\Windows\\ctlpnl.exe";
        window.title = u"Settings";
        window.exStyle = WS_EX_CAPTIONOKBTN;
        window.kind = cesim::WindowKind::CaptionOk;
    } else if (name == "close") {
        program.modulePath = u"\\Windows\\notes.exe";
        program.icon = cesim::ShellIcon::Notes;
        window.title = u"Notes";
    } else if (name == "sheet") {
        program.modulePath = u"\\Windows\\ctlpnl.exe";
        window.title = u"Owner Information";
        window.style |= WS_CAPTION;
        window.exStyle = WS_EX_CAPTIONOKBTN;
        window.kind = cesim::WindowKind::PropertySheet;
    } else if (name == "hang") {
        program.modulePath = u"\\Program Files\\Backup\\backup.exe";
        program.icon = cesim::ShellIcon::Sync;
        window.title = u"Backup";
        window.onClose = cesim::CloseBehaviour::Hang;
    } else if (name == "dialog") {
        program.modulePath = u"\\Windows\\shfind.exe";
        program.icon = cesim::ShellIcon::Search;
        window.title = u"Find";
        window.kind = cesim::WindowKind::Dialog;
    }
    program.windows.push_back(window);
    return program;
}

} // namespace

const CatalogueEntry* Catalogue(size_t& count) {
    count = sizeof kEntries / sizeof kEntries[0];
    return kEntries;
}

bool IsKnownProgram(const std::string& name) {
    for (const CatalogueEntry& entry : kEntries)
        if (name == entry.name)
            return true;
    return false;
}

std::string KnownProgramList() {
    std::string list;
    for (const CatalogueEntry& entry : kEntries)
        list += (list.empty() ? "" : ", ") + std::string(entry.name);
    return list;
}

cesim::RunningProgram StartCatalogueProgram(const std::string& name) {
    return cesim::StartSimulatedProgram(Describe(name));
}

} // namespace vexosim
