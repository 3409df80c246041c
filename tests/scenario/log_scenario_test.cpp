// What vexo writes to its log over one life on the device.
#include "support/device_fixture.h"

#include <windows.h>

#include <fstream>
#include <sstream>

using vexotest::BootDevice;
using vexotest::FindButtonWindow;
using vexotest::SendFromOtherProcess;
using vexotest::StartVexo;

namespace {

std::string ReadHostFile(const std::u16string& devicePath) {
    std::ifstream in(cesim::HostPath(devicePath), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(LogScenario, LevelTwoRecordsTheWindowsLifeCycleLineByLine) {
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"LogLevel\"=dword:00000002\n\"LogFile\"=\"\\\\Temp\\\\vexo.log\"\n");
    CreateDirectoryW(L"\\Temp", nullptr);
    SYSTEMTIME base = {2026, 12, 2, 8, 9, 5, 31, 0};
    cesim::SetLocalTimeBase(base);
    DWORD pid = StartVexo();
    cesim::Advance(1500);
    vexotest::SendReadConfig();
    cesim::Advance(1000);
    SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
    ASSERT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(ReadHostFile(u"\\Temp\\vexo.log"),
              "09:05:31 - OnCreate()\n"
              "09:05:32 - OnReadConfig()\n"
              "09:05:33 - OnDestroy()\n");
}

TEST(LogScenario, LevelZeroWritesNoFile) {
    BootDevice(96);
    StartVexo();
    SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
    std::ifstream in(cesim::HostPath(u"\\vexo.log"));
    EXPECT_FALSE(in.good());
}

} // namespace
