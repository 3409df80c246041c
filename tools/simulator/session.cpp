// Plays a life of vexo on the simulated device: what a person or a script does, in the device's
// own terms.
#include "tools/simulator/session.h"

#include "tools/simulator/catalogue.h"
#include "tools/vexocfg/vexocfg.h"

#include <cesim/device.h>
#include <cesim/menus.h>
#include <cesim/power.h>
#include <cesim/registry.h>
#include <cesim/stylus.h>

#include <cstdio>
#include <sys/stat.h>

// The program's entry point, linked in from the shell.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int);

namespace vexosim {

namespace {

// A hot key on the first application button, so the switcher is one key away; a --registry
// file may set another or none.
const char kSessionDefaults[] = "REGEDIT4\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                                "\"TLHWKey\"=dword:000000c1\n";

const DWORD kStartUpMs = 1000;

HWND FindButton() {
    for (HWND child : cesim::ChildWindows(cesim::Taskbar())) {
        auto info = cesim::Inspect(child);
        if (info && info->className == u"VexoClass")
            return child;
    }
    return nullptr;
}

POINT Middle(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

DWORD OrientationOf(int angle) {
    switch (angle) {
    case 90:
        return DMDO_90;
    case 180:
        return DMDO_180;
    case 270:
        return DMDO_270;
    default:
        return DMDO_0;
    }
}

bool Fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

} // namespace

bool ParseOs(const std::string& text, int& major, int& minor) {
    static const char* const kKnown[] = {"4.20", "5.1", "5.2", "6.0"};
    for (const char* known : kKnown)
        if (text == known)
            return std::sscanf(known, "%d.%d", &major, &minor) == 2;
    return false;
}

Session::Session(SessionOptions options) : options_(std::move(options)) {}

bool Session::Start(std::string* error) {
    cesim::BootOptions boot;
    boot.dpi = options_.dpi;
    boot.width = options_.dpi >= 192 ? 480 : 240;
    boot.height = options_.dpi >= 192 ? 640 : 320;
    boot.osMajor = options_.osMajor;
    boot.osMinor = options_.osMinor;
    cesim::Boot(boot);
    std::string why;
    if (!cesim::reg::ImportRegText(kSessionDefaults, &why))
        return Fail(error, "the session's settings: " + why);
    if (!options_.registryFile.empty() && !cesim::reg::ImportRegFile(options_.registryFile, &why))
        return Fail(error, options_.registryFile + ": " + why);

    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    vexo_ = cesim::StartProgram(vexo);
    cesim::Advance(kStartUpMs);
    if (!cesim::ProcessRunning(vexo_))
        return Fail(error, "vexo ended at start-up with exit code " +
                               std::to_string(cesim::ProcessExitCode(vexo_)));
    return true;
}

ScreenSize Session::Screen() const {
    const cesim::BootOptions& boot = cesim::BootedWith();
    bool turned = cesim::ScreenOrientation() == DMDO_90 || cesim::ScreenOrientation() == DMDO_270;
    return turned ? ScreenSize{boot.height, boot.width} : ScreenSize{boot.width, boot.height};
}

bool Session::StartProgram(const std::string& name, std::string* error) {
    if (!IsKnownProgram(name))
        return Fail(error, "unknown program \"" + name + "\"; known: " + KnownProgramList());
    Started started;
    started.name = name;
    started.running = StartCatalogueProgram(name);
    started_.push_back(started);
    return true;
}

bool Session::PressHotKey() {
    ReleaseHotKey();
    for (const cesim::HotKeyInfo& key : cesim::HotKeys()) {
        auto owner = cesim::Inspect(key.window);
        if (owner && owner->processId == vexo_) {
            heldKey_ = key.virtualKey;
            cesim::PressHardwareKey(heldKey_);
            return true;
        }
    }
    return false;
}

void Session::ReleaseHotKey() {
    if (heldKey_ != 0)
        cesim::ReleaseHardwareKey(heldKey_);
    heldKey_ = 0;
}

int Session::Angle() const {
    switch (cesim::ScreenOrientation()) {
    case DMDO_90:
        return 90;
    case DMDO_180:
        return 180;
    case DMDO_270:
        return 270;
    default:
        return 0;
    }
}

bool Session::Rotate(int angle, std::string* error) {
    // Turned by a program of its own, as the system's screen settings turn it.
    LONG result = DISP_CHANGE_FAILED;
    cesim::StartHelperProcess(u"\\Windows\\ctlpnl.exe", [&] {
        DEVMODEW mode = {};
        mode.dmSize = sizeof mode;
        mode.dmFields = DM_DISPLAYORIENTATION;
        mode.dmDisplayOrientation = OrientationOf(angle);
        result = ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
    });
    cesim::Settle();
    if (result != DISP_CHANGE_SUCCESSFUL)
        return Fail(error, "the display refused to turn to " + std::to_string(angle) +
                               " degrees (" + std::to_string(result) + ")");
    return true;
}

bool Session::Reload(std::string* error) {
    std::string why;
    if (!options_.registryFile.empty() && !cesim::reg::ImportRegFile(options_.registryFile, &why))
        return Fail(error, options_.registryFile + ": " + why);
    // Found and told the way the settings program does it.
    cesim::StartHelperProcess(u"\\Program Files\\Vexo\\VexoCfg.exe", [] {
        UINT message = RegisterWindowMessageW(L"Holmvest::Vexo::Messages::ReadConfig");
        HWND taskbar = FindWindowW(L"HHTaskBar", nullptr);
        for (HWND child = GetWindow(taskbar, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (cesim::Narrow(reinterpret_cast<const char16_t*>(name)) == "VexoClass") {
                SendMessageW(child, message, 0, 0);
                return;
            }
        }
    });
    cesim::Settle();
    return true;
}

bool Session::Screenshot(const std::string& name, std::string* path) {
    mkdir(options_.outDir.c_str(), 0777);
    std::string file = options_.outDir + "/" + name + ".png";
    if (path)
        *path = file;
    return cesim::WritePng(cesim::ComposeScreen(), file);
}

std::string Session::NextScreenshotName() const {
    for (int n = 1;; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "shot-%03d", n);
        struct stat st;
        if (stat((options_.outDir + "/" + name + ".png").c_str(), &st) != 0)
            return name;
    }
}

bool Session::Cfg(const std::vector<std::string>& words, std::string* output) {
    std::string out, err;
    int code = -1;
    cesim::StartHelperProcess(u"\\Program Files\\Vexo\\VexoCfg.exe",
                              [&] { code = RunVexoCfg(words, out, err); });
    cesim::Settle();
    if (output)
        *output = out + err;
    return code == vexocfg::kExitSuccess;
}

bool Session::Resolve(const ScriptPoint& point, POINT& at, std::string* error) const {
    if (point.base == ScriptPoint::Base::Screen) {
        at = POINT{point.x, point.y};
    } else if (point.base == ScriptPoint::Base::Button) {
        auto button = cesim::Inspect(FindButton());
        if (!button)
            return Fail(error, "vexo's button is not on the taskbar");
        at = Middle(button->rect);
    } else {
        auto menu = cesim::ActiveMenu();
        if (!menu)
            return Fail(error, "no menu is open for " + DescribePoint(point));
        if (size_t(point.item) >= menu->items.size())
            return Fail(error, "the menu has " + std::to_string(menu->items.size()) +
                                   " items, so there is no " + DescribePoint(point));
        const RECT& r = menu->items[point.item];
        if (r.right <= r.left || r.bottom <= r.top)
            return Fail(error, DescribePoint(point) + " is scrolled out of view");
        at = Middle(r);
    }
    if (point.base != ScriptPoint::Base::Screen) {
        at.x += point.x;
        at.y += point.y;
    }
    ScreenSize screen = Screen();
    if (at.x < 0 || at.y < 0 || at.x >= screen.width || at.y >= screen.height)
        return Fail(error, DescribePoint(point) + " is at " + std::to_string(at.x) + "," +
                               std::to_string(at.y) + ", off the " + std::to_string(screen.width) +
                               "x" + std::to_string(screen.height) + " screen");
    return true;
}

bool Session::Play(const Action& action, std::string* error) {
    std::string why;
    POINT from = {0, 0}, to = {0, 0};
    bool ok = true;
    switch (action.kind) {
    case Action::Kind::Start:
        ok = StartProgram(action.name, &why);
        break;
    case Action::Kind::Tap:
        ok = Resolve(action.from, from, &why);
        if (ok)
            cesim::Tap(from.x, from.y, DWORD(action.ms));
        break;
    case Action::Kind::Hold:
        ok = Resolve(action.from, from, &why);
        if (ok) {
            cesim::StylusDown(from.x, from.y);
            cesim::Hold(DWORD(action.ms));
            cesim::StylusUp();
        }
        break;
    case Action::Kind::Drag:
        ok = Resolve(action.from, from, &why) && Resolve(action.to, to, &why);
        if (ok)
            cesim::Drag(from, to, DWORD(action.ms));
        break;
    case Action::Kind::Down:
    case Action::Kind::Move:
        ok = Resolve(action.from, from, &why);
        if (ok && action.kind == Action::Kind::Down)
            cesim::StylusDown(from.x, from.y);
        else if (ok)
            cesim::StylusMove(from.x, from.y);
        break;
    case Action::Kind::Up:
        cesim::StylusUp();
        break;
    case Action::Kind::Key:
        ok = PressHotKey();
        if (!ok)
            why = "vexo has no hot key (TLHWKey is 0)";
        cesim::Advance(DWORD(action.ms));
        ReleaseHotKey();
        break;
    case Action::Kind::Wait:
        cesim::Advance(DWORD(action.ms));
        break;
    case Action::Kind::Cfg: {
        std::string output;
        ok = Cfg(action.words, &output);
        if (!ok)
            why = "vexocfg " + Joined(action.words) + " failed: " + output;
        break;
    }
    case Action::Kind::Rotate:
        ok = Rotate(action.angle, &why);
        break;
    case Action::Kind::Reload:
        ok = Reload(&why);
        break;
    case Action::Kind::Shot: {
        std::string path;
        ok = Screenshot(action.name, &path);
        if (ok) {
            std::printf("screenshot: %s\n", path.c_str());
            std::fflush(stdout);
        } else {
            why = "cannot write " + path;
        }
        break;
    }
    }
    if (!ok)
        return Fail(error, "line " + std::to_string(action.line) + ": " + why);
    return true;
}

bool Session::PlayAll(const std::vector<Action>& actions, std::string* error) {
    for (const Action& action : actions)
        if (!Play(action, error))
            return false;
    return true;
}

bool Session::VexoRunning() const {
    return vexo_ != 0 && cesim::ProcessRunning(vexo_);
}

bool Session::EndVexo(int* exitCode) {
    if (!VexoRunning())
        return false;
    HWND button = FindButton();
    cesim::StartHelperProcess(u"\\Windows\\unload.exe",
                              [button] { PostMessageW(button, WM_CLOSE, 0, 0); });
    cesim::Advance(kStartUpMs);
    if (VexoRunning())
        return false;
    vexoEndTold_ = true;
    if (exitCode)
        *exitCode = cesim::ProcessExitCode(vexo_);
    return true;
}

std::vector<std::string> Session::TakeNews() {
    std::vector<std::string> news;
    for (Started& s : started_) {
        if (s.closed || s.running.windows.empty())
            continue;
        HWND main = s.running.windows[0];
        auto info = cesim::Inspect(main);
        std::string title = info ? cesim::Narrow(info->title) : std::string();
        if (!info || !cesim::ProcessRunning(s.running.processId)) {
            s.closed = true;
            news.push_back("closed " + s.name);
        } else if (s.visible != info->visible) {
            s.visible = info->visible;
            news.push_back((s.visible ? "shown " : "hidden ") + s.name + " (" + title + ")");
        }
    }
    // Its own Exit, or a crash: the session goes on without it.
    if (vexo_ != 0 && !vexoEndTold_ && !cesim::ProcessRunning(vexo_)) {
        vexoEndTold_ = true;
        news.push_back("vexo ended with exit code " +
                       std::to_string(cesim::ProcessExitCode(vexo_)));
    }
    return news;
}

} // namespace vexosim
