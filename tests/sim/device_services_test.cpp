// The device's services: the soft reset and the boot after it, the power key's sleep, the
// display driver's escapes and rotation, message boxes, the power manager and both Bluetooth
// stacks.
#include <gtest/gtest.h>
#include <utility>

#include <windows.h>

#include <bthutil.h>
#include <pkfuncs.h>
#include <pm.h>
#include <pwingdi.h>

#include <cesim/device.h>
#include <cesim/msgbox.h>
#include <cesim/power.h>
#include <cesim/programs.h>
#include <cesim/registry.h>

#include <algorithm>
#include <atomic>

namespace {

const char kRotationKey[] = "HKLM\\System\\GDI\\Rotation";
const std::u16string kWiFi = u"{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\TIACXWLN1";

std::atomic<int> g_result{-1};
std::atomic<bool> g_returned{false};

class DeviceServices : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::Boot();
        g_result = -1;
        g_returned = false;
    }
    void TearDown() override { cesim::ClearFailures(); }

    static void Run(std::function<void()> fn) {
        cesim::StartHelperProcess(u"\\Windows\\t.exe", fn);
    }
};

int Escape(int escape, const void* in, int inSize, void* out = nullptr, int outSize = 0) {
    HDC dc = GetDC(nullptr);
    int result =
        ExtEscape(dc, escape, inSize, static_cast<LPCSTR>(in), outSize, static_cast<LPSTR>(out));
    ReleaseDC(nullptr, dc);
    return result;
}

LONG Orient(DWORD orientation, DWORD flags = 0, DWORD fields = DM_DISPLAYORIENTATION,
            DWORD* reported = nullptr) {
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    mode.dmFields = fields;
    mode.dmDisplayOrientation = orientation;
    LONG result = ChangeDisplaySettingsEx(nullptr, &mode, nullptr, flags, nullptr);
    if (reported)
        *reported = mode.dmDisplayOrientation;
    return result;
}

bool Received(DWORD pid, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const cesim::ReceivedMessage& m : cesim::ReceivedMessages(pid))
        if (m.message == message && m.wParam == wParam && m.lParam == lParam)
            return true;
    return false;
}

TEST_F(DeviceServices, ASoftResetEndsEveryProgramAndTheNextBootKeepsTheRegistry) {
    cesim::RunningProgram notes = cesim::StartSimulatedProgram({u"\\Windows\\notes.exe", {{}}});
    cesim::reg::SetDword(kRotationKey, "Angle", 90);
    cesim::reg::SetDword("HKCU\\Software\\Kept", "Value", 7);
    Run([] {
        KernelIoControl(IOCTL_HAL_REBOOT, nullptr, 0, nullptr, 0, nullptr);
        g_returned = true;
    });
    EXPECT_FALSE(g_returned);
    EXPECT_FALSE(cesim::ProcessRunning(notes.processId));
    EXPECT_TRUE(cesim::TopLevelWindows().empty());
    EXPECT_TRUE(cesim::Halted());
    EXPECT_TRUE(cesim::ScreenDark());
    EXPECT_EQ(cesim::Restarts(), 1);

    cesim::BootAgain();
    EXPECT_FALSE(cesim::Halted());
    EXPECT_EQ(cesim::Restarts(), 1);
    EXPECT_EQ(cesim::reg::GetDword("HKCU\\Software\\Kept", "Value"), 7u);
    // The recorded angle turns the screen at boot; the shell lays itself out for it.
    EXPECT_EQ(cesim::ScreenOrientation(), DWORD(DMDO_90));
    auto taskbar = cesim::Inspect(cesim::Taskbar());
    ASSERT_TRUE(taskbar);
    EXPECT_EQ(taskbar->rect.right, 320);
    EXPECT_EQ(cesim::ComposeScreen().width, 320);

    cesim::Boot();
    EXPECT_EQ(cesim::Restarts(), 0);
    EXPECT_FALSE(cesim::reg::GetDword("HKCU\\Software\\Kept", "Value"));
    SetLastError(0);
    EXPECT_FALSE(KernelIoControl(0x01010040, nullptr, 0, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
}

TEST_F(DeviceServices, ThePowerKeyPutsTheDeviceToSleepUntilTheButtonWakesIt) {
    Run([] {
        SetTimer(nullptr, 0, 100, nullptr);
        keybd_event(VK_OFF, 0, KEYEVENTF_SILENT, 0);
        keybd_event(VK_OFF, 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
        MSG msg;
        GetMessageW(&msg, nullptr, 0, 0);
        g_returned = true;
    });
    EXPECT_TRUE(cesim::DeviceAsleep());
    EXPECT_TRUE(cesim::ScreenDark());
    DWORD before = cesim::Now();
    cesim::Advance(1000);
    EXPECT_EQ(cesim::Now(), before);
    EXPECT_FALSE(g_returned);
    ASSERT_EQ(cesim::KeyEvents().size(), 2u);
    EXPECT_EQ(cesim::KeyEvents()[1].flags, DWORD(KEYEVENTF_KEYUP | KEYEVENTF_SILENT));

    cesim::PressPowerButton();
    EXPECT_FALSE(cesim::DeviceAsleep());
    EXPECT_FALSE(cesim::ScreenDark());
    cesim::Advance(100);
    EXPECT_TRUE(g_returned);
}

TEST_F(DeviceServices, TheDisplayDriverSwitchesItsPowerThroughItsEscape) {
    DWORD set = SETPOWERMANAGEMENT, unknown = 6150;
    EXPECT_EQ(Escape(QUERYESCSUPPORT, &set, sizeof set), 1);
    EXPECT_EQ(Escape(QUERYESCSUPPORT, &unknown, sizeof unknown), 0);
    EXPECT_EQ(Escape(QUERYESCSUPPORT, &set, 2), -1);
    VIDEO_POWER_MANAGEMENT off = {sizeof off, 1, VideoPowerOff};
    EXPECT_EQ(Escape(SETPOWERMANAGEMENT, &off, sizeof off), 1);
    EXPECT_EQ(cesim::DisplayPowerState(), VideoPowerOff);
    cesim::Surface dark = cesim::ComposeScreen();
    EXPECT_EQ(std::count(dark.pixels.begin(), dark.pixels.end(), 0u), long(dark.pixels.size()));
    VIDEO_POWER_MANAGEMENT read = {};
    EXPECT_EQ(Escape(GETPOWERMANAGEMENT, nullptr, 0, &read, sizeof read), 1);
    EXPECT_EQ(read.PowerState, ULONG(VideoPowerOff));
    VIDEO_POWER_MANAGEMENT wrong = {4, 1, VideoPowerOn};
    EXPECT_EQ(Escape(SETPOWERMANAGEMENT, &wrong, sizeof wrong), -1);
    VIDEO_POWER_MANAGEMENT on = {sizeof on, 1, VideoPowerOn};
    EXPECT_EQ(Escape(SETPOWERMANAGEMENT, &on, sizeof on), 1);
    EXPECT_FALSE(cesim::ScreenDark());

    cesim::BootOptions plain;
    plain.displayPowerEscape = false;
    cesim::Boot(plain);
    EXPECT_EQ(Escape(QUERYESCSUPPORT, &set, sizeof set), 0);
    EXPECT_EQ(Escape(SETPOWERMANAGEMENT, &off, sizeof off), 0);
    EXPECT_EQ(cesim::DisplayPowerState(), VideoPowerOn);
    EXPECT_EQ(cesim::DisplayEscapes(), (std::vector<int>{QUERYESCSUPPORT, SETPOWERMANAGEMENT}));
}

TEST_F(DeviceServices, TurningTheScreenResizesFullScreenWindowsAndTellsEveryProgram) {
    cesim::RunningProgram notes = cesim::StartSimulatedProgram({u"\\Windows\\notes.exe", {{}}});
    DWORD reported = 99;
    EXPECT_EQ(Orient(0, CDS_TEST, DM_DISPLAYQUERYORIENTATION, &reported), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(reported, DWORD(DMDO_90 | DMDO_180 | DMDO_270));
    EXPECT_EQ(Orient(DMDO_90), DISP_CHANGE_SUCCESSFUL);
    cesim::Settle();
    EXPECT_EQ(Orient(0, CDS_TEST, DM_DISPLAYORIENTATION, &reported), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(reported, DWORD(DMDO_90));
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 320);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 240);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(cesim::Inspect(notes.windows[0])->rect.right, 320);
    EXPECT_EQ(cesim::Inspect(notes.windows[0])->rect.bottom, 240);
    EXPECT_EQ(cesim::Inspect(cesim::Taskbar())->rect.right, 320);
    // The shell's own close button and icons keep to the taskbar's right end.
    std::vector<HWND> shellChildren = cesim::ChildWindows(cesim::Taskbar());
    ASSERT_EQ(shellChildren.size(), 2u);
    int rightmost = 0;
    for (HWND child : shellChildren)
        rightmost = std::max(rightmost, int(cesim::Inspect(child)->rect.right));
    EXPECT_EQ(rightmost, 320);
    EXPECT_EQ(cesim::Inspect(cesim::DesktopWindow())->rect.bottom, 240);
    EXPECT_TRUE(Received(notes.processId, WM_SIZE, 0, MAKELPARAM(320, 214)));
    EXPECT_TRUE(Received(notes.processId, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0));

    // Refused modes change nothing.
    EXPECT_EQ(Orient(3), DISP_CHANGE_BADMODE);
    DEVMODEW small = {};
    small.dmSize = 100;
    small.dmFields = DM_DISPLAYORIENTATION;
    EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &small, nullptr, 0, nullptr), DISP_CHANGE_BADPARAM);
    cesim::BootOptions portraitOnly;
    portraitOnly.rotations = 0;
    cesim::Boot(portraitOnly);
    EXPECT_EQ(Orient(0, CDS_TEST, DM_DISPLAYQUERYORIENTATION, &reported), DISP_CHANGE_BADMODE);
    EXPECT_EQ(Orient(DMDO_270), DISP_CHANGE_BADMODE);
    EXPECT_EQ(cesim::ScreenOrientation(), DWORD(DMDO_0));
    EXPECT_EQ(cesim::ComposeScreen().width, 240);
}

TEST_F(DeviceServices, AScreenWithUnevenPixelsSwapsItsTwoDensitiesWhenItTurns) {
    cesim::BootOptions uneven;
    uneven.dpiX = 96;
    uneven.dpiY = 192;
    cesim::Boot(uneven);
    auto densities = [] {
        HDC dc = GetDC(nullptr);
        std::pair<int, int> both(GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
        ReleaseDC(nullptr, dc);
        return both;
    };
    EXPECT_EQ(densities(), std::make_pair(96, 192));
    EXPECT_EQ(Orient(DMDO_90), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(densities(), std::make_pair(192, 96));
    EXPECT_EQ(Orient(DMDO_180), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(densities(), std::make_pair(96, 192));
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER)
        ++g_result;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeCountingWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = L"Counting";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, L"Counting", L"Counting", WS_VISIBLE, 0, 26, 240, 294, nullptr,
                             nullptr, nullptr, nullptr);
    SetTimer(w, 1, 100, nullptr);
    return w;
}

TEST_F(DeviceServices, AMessageBoxAsksModallyWhileItsThreadsWindowsGoOn) {
    std::atomic<int> answer{-1};
    std::atomic<HWND> owner{nullptr};
    Run([&] {
        owner = MakeCountingWindow();
        answer = MessageBoxW(owner, L"Are you sure to soft-reset the device?", L"Vexo",
                             MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        Sleep(INFINITE);
    });
    auto box = cesim::OpenMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, u"Vexo");
    EXPECT_EQ(box->owner, owner.load());
    ASSERT_EQ(box->buttons.size(), 2u);
    EXPECT_EQ(box->buttons[0].label, u"Yes");
    EXPECT_EQ(box->buttons[1].id, IDNO);
    EXPECT_EQ(GetForegroundWindow(), box->window);
    EXPECT_TRUE(cesim::Inspect(owner)->style & WS_DISABLED);
    // A question without a way out does not close.
    PostMessageW(box->window, WM_CLOSE, 0, 0);
    g_result = 0;
    cesim::Advance(300);
    EXPECT_EQ(g_result, 3);
    EXPECT_EQ(answer, -1);

    EXPECT_FALSE(cesim::AnswerMessageBox(IDOK));
    EXPECT_TRUE(cesim::AnswerMessageBox(IDNO));
    EXPECT_EQ(answer, IDNO);
    EXPECT_FALSE(cesim::OpenMessageBox());
    EXPECT_FALSE(IsWindow(box->window));
    EXPECT_FALSE(cesim::Inspect(owner)->style & WS_DISABLED);
}

TEST_F(DeviceServices, AQuitRequestEndsAMessageBoxUnansweredAndReachesTheOuterLoop) {
    std::atomic<int> answer{-1};
    std::atomic<bool> quitSeen{false};
    DWORD thread = 0;
    Run([&] {
        thread = GetCurrentThreadId();
        answer = MessageBoxW(nullptr, L"Close?", L"Notes", MB_OKCANCEL);
        MSG msg;
        quitSeen = !GetMessageW(&msg, nullptr, 0, 0) && msg.wParam == 5;
        Sleep(INFINITE);
    });
    PostThreadMessageW(thread, WM_QUIT, 5, 0);
    cesim::Settle();
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(quitSeen);
    EXPECT_FALSE(cesim::OpenMessageBox());

    // A box that offers Cancel closes with it.
    Run([&] { answer = MessageBoxW(nullptr, L"Close?", L"Notes", MB_OKCANCEL); });
    PostMessageW(cesim::OpenMessageBox()->window, WM_CLOSE, 0, 0);
    cesim::Settle();
    EXPECT_EQ(answer, IDCANCEL);
}

TEST_F(DeviceServices, ThePowerManagerKnowsItsDevicesByClassAndName) {
    cesim::AddPowerDevice(kWiFi, D4);
    cesim::AddPowerDevice(u"BKL1:", D0);
    CEDEVICE_POWER_STATE state = PwrDeviceMaximum;
    std::u16string lower = u"{98c5250d-c29a-4985-ae5f-afe5367e5006}\\tiacxwln1";
    EXPECT_EQ(GetDevicePower(const_cast<char16_t*>(lower.c_str()), POWER_NAME, &state), 0u);
    EXPECT_EQ(state, D4);
    std::u16string generic = u"{A32942B7-920C-486b-B0E6-92A702A99B35}\\BKL1:";
    EXPECT_EQ(GetDevicePower(const_cast<char16_t*>(generic.c_str()), POWER_NAME, &state), 0u);
    EXPECT_EQ(state, D0);
    state = PwrDeviceMaximum;
    EXPECT_EQ(GetDevicePower(const_cast<wchar_t*>(L"{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\X"),
                             POWER_NAME, &state),
              DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(state, PwrDeviceMaximum);

    PVOID wifi = const_cast<char16_t*>(kWiFi.c_str());
    EXPECT_EQ(SetDevicePower(wifi, POWER_NAME, D0), 0u);
    EXPECT_EQ(cesim::PowerDeviceState(kWiFi), D0);
    EXPECT_EQ(SetDevicePower(wifi, POWER_NAME, PwrDeviceMaximum), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetDevicePower(wifi, 0, D4), DWORD(ERROR_INVALID_PARAMETER));
    cesim::BootAgain();
    EXPECT_EQ(cesim::PowerDeviceState(kWiFi), D4);
    cesim::Boot();
    EXPECT_FALSE(cesim::PowerDeviceState(kWiFi));
}

TEST_F(DeviceServices, BothBluetoothStacksSwitchTheirRadios) {
    DWORD mode = 99;
    EXPECT_EQ(BthGetMode(&mode), 0);
    EXPECT_EQ(mode, DWORD(BTH_POWER_OFF));
    EXPECT_EQ(BthSetMode(BTH_DISCOVERABLE), 0);
    EXPECT_EQ(BthSetMode(3), ERROR_INVALID_PARAMETER);
    cesim::BootAgain();
    EXPECT_EQ(cesim::BluetoothMode(), DWORD(BTH_DISCOVERABLE));

    cesim::StartWidcommTray();
    HWND tray = FindWindowW(L"WCE_BTTRAY", L"Bluetooth Console");
    ASSERT_TRUE(tray);
    EXPECT_FALSE(IsWindowVisible(tray));
    PostMessageW(tray, WM_COMMAND, 0x1002, 0);
    cesim::Settle();
    EXPECT_EQ(cesim::reg::GetDword("HKLM\\SOFTWARE\\WIDCOMM\\BtConfig\\General", "StackMode"), 1u);
    PostMessageW(tray, WM_COMMAND, 0x1001, 0);
    cesim::Settle();
    EXPECT_EQ(cesim::reg::GetDword("HKLM\\SOFTWARE\\WIDCOMM\\BtConfig\\General", "StackMode"), 0u);
    EXPECT_EQ(cesim::WidcommTrayCommands(), (std::vector<WPARAM>{0x1002, 0x1001}));
}

} // namespace
