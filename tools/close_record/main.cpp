// The messages the stand-in shell's kinds of program receive when vexo closes them on the
// simulated device, printed as the stand-in shell records them, so that the Wine checks can
// set a real Win32's record beside the device's.
//
//   close-record ACTION KIND[=TITLE]...
//   ACTION: close (each window as a tap closes it, in turn), force (each task's close mark),
//           close-all ("Close All Tasks")
//   KIND:   ok | close | propsheet | ignore-close | hang | media | disabled | recovers
//
// One line per message of the close conversation: title, sent|posted|local, message, wParam,
// lParam and the message's name, tab-separated; programs in the order given.
#include <windows.h>

#include <prsht.h>

#include <cesim/device.h>
#include <cesim/programs.h>
#include <cesim/threads.h>

#include "tasks/closing.h"
#include "tasks/tasklist.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using cesim::CloseBehaviour;
using cesim::WindowKind;

// As long as the stand-in shell's busy program stays busy.
const DWORD kRecoverMs = 2000;
const DWORD kCaptioned = WS_VISIBLE | WS_POPUP | WS_CAPTION;

struct Kind {
    const char* name;
    const char16_t* defaultTitle;
};

const Kind kKinds[] = {
    {"ok", u"Caption OK"},
    {"close", u"Close Button"},
    {"propsheet", u"Property Sheet"},
    {"ignore-close", u"Ignores Close"},
    {"hang", u"Hangs"},
    {"media", u"Windows Media"},
    {"disabled", u"Inbox"},
    {"recovers", u"Busy"},
};

// The device's program that behaves as the stand-in shell's program of that kind.
bool MakeProgram(const std::string& kind, const std::u16string& title, cesim::SimProgram* out) {
    cesim::SimWindow w;
    w.title = title;
    w.style = WS_VISIBLE | WS_POPUP;
    if (kind == "ok" || kind == "propsheet") {
        w.kind = kind == "ok" ? WindowKind::CaptionOk : WindowKind::PropertySheet;
        w.style = kCaptioned;
        w.exStyle = WS_EX_CAPTIONOKBTN;
    } else if (kind == "ignore-close") {
        w.onClose = CloseBehaviour::Ignore;
    } else if (kind == "hang") {
        w.onClose = CloseBehaviour::Hang;
    } else if (kind == "media") {
        w.className = u"WMP for Mobile Devices";
        w.onClose = CloseBehaviour::Ignore;
    } else if (kind == "disabled") {
        w.style |= WS_DISABLED;
        w.onClose = CloseBehaviour::CloseWhenEnabled;
    } else if (kind == "recovers") {
        w.onClose = CloseBehaviour::Recover;
        w.hangMs = kRecoverMs;
    } else if (kind != "close") {
        return false;
    }
    out->modulePath = u"\\Program Files\\Standin\\" + cesim::Widen(kind) + u".exe";
    out->windows = {w};
    if (kind == "disabled") {
        cesim::SimWindow modal;
        modal.title = u"Send/Receive";
        modal.kind = WindowKind::Dialog;
        modal.style = kCaptioned;
        modal.owner = 0;
        out->windows.push_back(modal);
    }
    return true;
}

const char* MessageName(UINT message) {
    switch (message) {
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_QUIT:
        return "WM_QUIT";
    case WM_COMMAND:
        return "WM_COMMAND";
    case WM_ENABLE:
        return "WM_ENABLE";
    case WM_CANCELMODE:
        return "WM_CANCELMODE";
    case PSM_PRESSBUTTON:
        return "PSM_PRESSBUTTON";
    case PSM_GETCURRENTPAGEHWND:
        return "PSM_GETCURRENTPAGEHWND";
    }
    return nullptr;
}

void Print(const std::u16string& title, const cesim::ReceivedMessage& m) {
    std::printf("%s\t%s\t0x%04X\t0x%llX\t0x%llX\t%s\n", cesim::Narrow(title).c_str(),
                m.sent     ? "sent"
                : m.posted ? "posted"
                           : "local",
                m.message, static_cast<unsigned long long>(m.wParam),
                static_cast<unsigned long long>(m.lParam), MessageName(m.message));
}

int Usage() {
    std::fputs("usage: close-record close|force|close-all KIND[=TITLE]...\n"
               "KIND: ok | close | propsheet | ignore-close | hang | media | disabled | recovers\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    std::string action = argv[1];
    if (action != "close" && action != "force" && action != "close-all")
        return Usage();
    cesim::Boot();
    std::vector<cesim::RunningProgram> programs;
    std::vector<std::u16string> titles;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        std::string kind = arg.substr(0, eq);
        std::u16string title;
        for (const Kind& k : kKinds)
            if (kind == k.name)
                title = k.defaultTitle;
        if (eq != std::string::npos)
            title = cesim::Widen(arg.substr(eq + 1));
        cesim::SimProgram program;
        if (!MakeProgram(kind, title, &program))
            return Usage();
        programs.push_back(cesim::StartSimulatedProgram(program));
        titles.push_back(title);
    }
    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    cesim::StartProgram(vexo);
    HWND taskbar = cesim::Taskbar();
    HWND button = cesim::ChildWindows(taskbar).empty() ? nullptr : cesim::ChildWindows(taskbar)[0];
    DWORD thread = GetWindowThreadProcessId(button, nullptr);
    for (const cesim::RunningProgram& p : programs)
        cesim::ClearReceivedMessages(p.processId);
    if (action == "close-all") {
        cesim::RunOnThread(thread, [] {
            RefreshTaskList();
            OnCloseAll();
        });
    } else {
        for (const cesim::RunningProgram& p : programs) {
            HWND window = p.windows[0];
            bool force = action == "force";
            cesim::RunOnThread(thread, [window, force] { OnClose(window, force); });
        }
    }
    cesim::Advance(kRecoverMs + 1000);
    for (size_t i = 0; i < programs.size(); ++i)
        for (const cesim::ReceivedMessage& m : cesim::ReceivedMessages(programs[i].processId))
            if (m.window == programs[i].windows[0] && MessageName(m.message))
                Print(titles[i], m);
    std::fflush(stdout);
    // Hung programs keep their threads; the device is left as it is.
    std::_Exit(0);
}
