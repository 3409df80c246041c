// The device commands as a user meets them: each row sets up the settings and the device, runs
// one command in vexo, and checks what the user then sees, what the registry holds and what
// other programs were sent.
#include "support/device_fixture.h"

#include <windows.h>

#include <bthutil.h>
#include <pwingdi.h>

#include <cesim/msgbox.h>
#include <cesim/power.h>
#include <cesim/programs.h>

#include "device/power.h"
#include "device/radios.h"
#include "shell/commandids.h"

#include <algorithm>
#include <fstream>

namespace {

const std::u16string kWiFi = u"{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\TIACXWLN1";
const char kWidcommKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WIDCOMM\\BtConfig\\General";
const char kRotationKey[] = "HKEY_LOCAL_MACHINE\\System\\GDI\\Rotation";
const DWORD kEveryRotation = DMDO_90 | DMDO_180 | DMDO_270;

// The device before the command.
struct Before {
    const char* registry = ""; // .reg lines after the settings key's LogLevel
    DWORD rotations = kEveryRotation;
    bool powerEscape = true;
    std::optional<CEDEVICE_POWER_STATE> wifi = {}; // the adapter in the power manager
    DWORD bluetooth = BTH_POWER_OFF;
    bool tray = false;             // the other stack's tray program runs
    const char* failing = nullptr; // an API call that fails
};

// What the user sees afterwards, the registry, and what was sent.
struct After {
    int answer = 0; // the button tapped on the question; 0: no question is asked
    bool reset = false;
    bool dark = false;
    bool asleep = false;
    DWORD orientation = DMDO_0;
    std::optional<DWORD> angle = {};
    std::optional<CEDEVICE_POWER_STATE> wifi = {};
    DWORD bluetooth = BTH_POWER_OFF;
    std::optional<DWORD> stackMode = {};
    std::vector<WPARAM> tray = {};
    std::vector<int> escapes = {};
    std::vector<std::string> log = {}; // in this order, among the level-3 lines
};

struct Row {
    const char* name;
    WORD command;
    Before before;
    After after;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.name;
}

const char kConfirmOff[] = "\"ConfirmSoftReset\"=dword:00000000\n";
const char kAdapter[] = "\"WiFiDevice\"=\"TIACXWLN1\"\n";
const char kWidcomm[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WIDCOMM\\BtConfig\\General]\n";
const char kWidcommOff[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WIDCOMM\\BtConfig\\General]\n"
                           "\"StackMode\"=dword:00000000\n";
const char kWidcommOn[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WIDCOMM\\BtConfig\\General]\n"
                          "\"StackMode\"=dword:00000001\n";
const char kAt270[] = "[HKEY_LOCAL_MACHINE\\System\\GDI\\Rotation]\n\"Angle\"=dword:0000010e\n";
const char kAt90[] = "[HKEY_LOCAL_MACHINE\\System\\GDI\\Rotation]\n\"Angle\"=dword:0000005a\n";

const std::vector<std::string> kRotated = {"GetScreenOrientation()", "SetScreenOrientation(4)"};

const Row kRows[] = {
    {"DisplayOffDarkensTheScreen",
     CMD_DISPLAY_OFF,
     {},
     {.dark = true, .escapes = {QUERYESCSUPPORT, SETPOWERMANAGEMENT}, .log = {"DisplayOff()"}}},
    {"DisplayOffOnADriverWithoutTheEscapeOnlyAsks",
     CMD_DISPLAY_OFF,
     {.powerEscape = false},
     {.escapes = {QUERYESCSUPPORT}, .log = {"DisplayOff()"}}},
    {"PowerOffPutsTheDeviceToSleep", CMD_POWER_OFF, {}, {.asleep = true, .log = {"PowerOff()"}}},
    {"SoftResetWithoutConfirmationRestartsAtOnce",
     CMD_SOFT_RESET,
     {.registry = kConfirmOff},
     {.reset = true, .log = {"ResetPocketPC()"}}},
    {"SoftResetAnsweredNoLeavesEverythingAsItWas", CMD_SOFT_RESET, {}, {.answer = IDNO}},
    {"SoftResetAnsweredYesRestarts",
     CMD_SOFT_RESET,
     {},
     {.answer = IDYES, .reset = true, .log = {"ResetPocketPC()"}}},
    {"LandscapeLeftFromPortrait",
     CMD_LANDSCAPE_LEFT,
     {},
     {.orientation = DMDO_270, .angle = 270, .log = kRotated}},
    {"LandscapeLeftAgainReturnsToPortrait",
     CMD_LANDSCAPE_LEFT,
     {.registry = kAt270},
     {.angle = 0, .log = {"GetScreenOrientation()", "SetScreenOrientation(0)"}}},
    {"LandscapeLeftFromRightGoesStraightThere",
     CMD_LANDSCAPE_LEFT,
     {.registry = kAt90},
     {.orientation = DMDO_270, .angle = 270, .log = kRotated}},
    {"LandscapeRightFromPortrait",
     CMD_LANDSCAPE_RIGHT,
     {},
     {.orientation = DMDO_90, .angle = 90, .log = {"SetScreenOrientation(1)"}}},
    // The screen stays as it was, but the registry records the angle asked for.
    {"LandscapeRightRefusedByTheDisplayIsStillRecorded",
     CMD_LANDSCAPE_RIGHT,
     {.rotations = DMDO_270},
     {.angle = 90, .log = {"SetScreenOrientation(1)"}}},
    {"WiFiOffSwitchesOn", CMD_WIFI, {.registry = kAdapter, .wifi = D4}, {.wifi = D0}},
    {"WiFiOnSwitchesOff", CMD_WIFI, {.registry = kAdapter, .wifi = D0}, {.wifi = D4}},
    {"WiFiWithoutAnAdapterSettingDoesNothing", CMD_WIFI, {.wifi = D4}, {.wifi = D4}},
    {"WiFiWhoseQueryFailsCountsAsOff",
     CMD_WIFI,
     {.registry = kAdapter, .wifi = D4, .failing = "GetDevicePower"},
     {.wifi = D0}},
    {"BluetoothOffSwitchesOnDiscoverable", CMD_BLUETOOTH, {}, {.bluetooth = BTH_DISCOVERABLE}},
    {"BluetoothConnectableCountsAsOn", CMD_BLUETOOTH, {.bluetooth = BTH_CONNECTABLE}, {}},
    {"BluetoothWhoseQueryFailsCountsAsOff",
     CMD_BLUETOOTH,
     {.bluetooth = BTH_DISCOVERABLE, .failing = "BthGetMode"},
     {.bluetooth = BTH_DISCOVERABLE}},
    {"WidcommOffSwitchesOnThroughItsTray",
     CMD_BLUETOOTH,
     {.registry = kWidcommOff, .tray = true},
     {.stackMode = 1, .tray = {0x1002}}},
    {"WidcommOnSwitchesOffThroughItsTray",
     CMD_BLUETOOTH,
     {.registry = kWidcommOn, .tray = true},
     {.stackMode = 0, .tray = {0x1001}}},
    {"WidcommWithoutStackModeCountsAsOff",
     CMD_BLUETOOTH,
     {.registry = kWidcomm, .tray = true},
     {.stackMode = 1, .tray = {0x1002}}},
    {"WidcommWithoutItsTrayIsNotSwitched",
     CMD_BLUETOOTH,
     {.registry = kWidcommOff},
     {.stackMode = 0}},
};

// The command as the menu's choice reaches the device routines, run on a thread of vexo.
void RunCommand(DWORD vexo, WORD command) {
    cesim::StartThreadIn(vexo, [command] {
        switch (command) {
        case CMD_DISPLAY_OFF:
            return DisplayOff();
        case CMD_POWER_OFF:
            return PowerOff();
        case CMD_SOFT_RESET:
            return OnSoftReset();
        case CMD_LANDSCAPE_LEFT:
            return SetScreenOrientation(GetScreenOrientation() == DMDO_270 ? DMDO_0 : DMDO_270);
        case CMD_LANDSCAPE_RIGHT:
            return SetScreenOrientation(GetScreenOrientation() == DMDO_90 ? DMDO_0 : DMDO_90);
        case CMD_WIFI:
            if (WiFiDeviceName)
                SetWiFiPower(!IsWiFiOn());
            return;
        case CMD_BLUETOOTH:
            return SetBluetoothPower(!IsBluetoothOn());
        }
    });
}

std::vector<std::string> LogLines() {
    std::ifstream in(cesim::HostPath(u"\\vexo.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.size() > 11)
            lines.push_back(line.substr(11));
    return lines;
}

bool InOrder(const std::vector<std::string>& wanted, const std::vector<std::string>& lines) {
    auto at = lines.begin();
    for (const std::string& w : wanted) {
        at = std::find(at, lines.end(), w);
        if (at == lines.end())
            return false;
        ++at;
    }
    return true;
}

int SettingChanges(DWORD program) {
    int count = 0;
    for (const cesim::ReceivedMessage& m : cesim::ReceivedMessages(program))
        count += m.message == WM_SETTINGCHANGE && m.wParam == SETTINGCHANGE_RESET;
    return count;
}

// A .reg file for the boot to import, named after the test so parallel runs keep apart.
std::string RegistryFile(const std::string& name, const std::string& lines) {
    std::string path = ::testing::TempDir() + name + ".reg";
    std::ofstream(path) << "REGEDIT4\n\n[" << vexotest::kSettingsPath
                        << "]\n\"LogLevel\"=dword:00000003\n"
                        << lines;
    return path;
}

class DeviceCommand : public ::testing::TestWithParam<Row> {
protected:
    void TearDown() override { cesim::ClearFailures(); }
};

TEST_P(DeviceCommand, DoesWhatTheUserAskedFor) {
    const Before& before = GetParam().before;
    const After& after = GetParam().after;
    cesim::BootOptions options;
    options.rotations = before.rotations;
    options.displayPowerEscape = before.powerEscape;
    // Imported before the shell starts, so that a recorded angle turns the screen at boot.
    options.registryFile = RegistryFile(GetParam().name, before.registry);
    cesim::Boot(options);
    if (before.wifi)
        cesim::AddPowerDevice(kWiFi, *before.wifi);
    cesim::SetBluetoothMode(before.bluetooth);
    if (before.tray)
        cesim::StartWidcommTray();
    cesim::RunningProgram notes = cesim::StartSimulatedProgram({u"\\Windows\\notes.exe", {{}}});
    DWORD vexo = vexotest::StartVexo();
    if (before.failing)
        cesim::InjectFailure(before.failing, ERROR_NOT_SUPPORTED);
    DWORD orientationBefore = cesim::ScreenOrientation();
    std::optional<DWORD> angleBefore = cesim::reg::GetDword(kRotationKey, "Angle");
    size_t gdiBefore = cesim::LiveGdiObjects(vexo), heapBefore = cesim::HeapBlocks();

    RunCommand(vexo, GetParam().command);
    std::optional<cesim::MessageBoxInfo> question = cesim::OpenMessageBox();
    ASSERT_EQ(question.has_value(), after.answer != 0);
    if (question) {
        EXPECT_EQ(question->caption, u"Vexo");
        EXPECT_EQ(question->text, u"Are you sure to soft-reset the device?");
        EXPECT_EQ(question->type, UINT(MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND));
        EXPECT_EQ(question->processId, vexo);
        EXPECT_TRUE(cesim::AnswerMessageBox(after.answer));
        EXPECT_FALSE(cesim::OpenMessageBox());
    }

    EXPECT_EQ(cesim::Restarts(), after.reset ? 1 : 0);
    EXPECT_EQ(cesim::ProcessRunning(vexo), !after.reset);
    EXPECT_EQ(cesim::DeviceAsleep(), after.asleep);
    EXPECT_EQ(cesim::ScreenDark(), after.dark || after.asleep || after.reset);
    EXPECT_EQ(cesim::ScreenOrientation(), after.orientation);
    bool turned = after.orientation == DMDO_90 || after.orientation == DMDO_270;
    EXPECT_EQ(cesim::ComposeScreen().width, turned ? 320 : 240);
    if (!after.reset) {
        EXPECT_EQ(SettingChanges(notes.processId), after.orientation != orientationBefore ? 1 : 0);
        // Nothing a command takes stays taken.
        EXPECT_EQ(cesim::LiveGdiObjects(vexo), gdiBefore);
        EXPECT_EQ(cesim::HeapBlocks(), heapBefore);
    }
    EXPECT_EQ(cesim::reg::GetDword(kRotationKey, "Angle"), after.angle ? after.angle : angleBefore);
    if (before.wifi) {
        EXPECT_EQ(cesim::PowerDeviceState(kWiFi), after.wifi);
    }
    EXPECT_EQ(cesim::BluetoothMode(), after.bluetooth);
    EXPECT_EQ(cesim::reg::GetDword(kWidcommKey, "StackMode"), after.stackMode);
    EXPECT_EQ(cesim::WidcommTrayCommands(), after.tray);
    EXPECT_EQ(cesim::DisplayEscapes(), after.escapes);
    std::vector<std::string> lines = LogLines();
    EXPECT_TRUE(InOrder(after.log, lines)) << ::testing::PrintToString(lines);
    if (!after.reset) {
        EXPECT_FALSE(InOrder({"ResetPocketPC()"}, lines));
    }
}

// The angle asked for is recorded even though the display refused it; the next boot tries that
// angle, is refused again and comes up in portrait, not in the orientation the screen had.
TEST(RefusedTurn, IsRecordedAndTheNextBootComesUpInPortrait) {
    cesim::BootOptions options;
    options.rotations = DMDO_270;
    options.registryFile = RegistryFile("RefusedTurn", kAt270);
    cesim::Boot(options);
    DWORD vexo = vexotest::StartVexo();
    ASSERT_EQ(cesim::ScreenOrientation(), DWORD(DMDO_270));
    RunCommand(vexo, CMD_LANDSCAPE_RIGHT);
    EXPECT_EQ(cesim::ScreenOrientation(), DWORD(DMDO_270));
    EXPECT_EQ(cesim::reg::GetDword(kRotationKey, "Angle"), 90u);
    cesim::BootAgain();
    EXPECT_EQ(cesim::ScreenOrientation(), DWORD(DMDO_0));
    EXPECT_EQ(cesim::ComposeScreen().width, 240);
}

INSTANTIATE_TEST_SUITE_P(, DeviceCommand, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
