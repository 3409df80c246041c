// vexocfg with vexo running: a change reaches vexo through the reload message, and only vexo's
// button window is sent it.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/device_fixture.h"
#include "tools/vexocfg/vexocfg.h"

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

using vexotest::BootDevice;
using vexotest::FindButtonWindow;
using vexotest::kSettingsPath;
using vexotest::StartVexo;

namespace {

const UINT kVkApp1 = 0xC1;
const UINT kVkApp2 = 0xC2;

typedef vexotest::CfgResult Result;

Result Cfg(std::vector<std::string> args) { return vexotest::RunCfg(std::move(args)); }

UINT ReadConfigMessage() {
    return RegisterWindowMessageW(L"Holmvest::Vexo::Messages::ReadConfig");
}

TEST(VexoCfgNotify, ASetReachesTheRunningVexo) {
    BootDevice(96);
    StartVexo();
    ASSERT_NE(FindButtonWindow(), nullptr);
    ASSERT_TRUE(cesim::HotKeys().empty());

    Result r = Cfg({"set", "TLHWKey", "193"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    auto key = cesim::HotKeyFor(kVkApp1);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->window, FindButtonWindow());
}

TEST(VexoCfgNotify, NoNotifyWritesTheRegistryAndLeavesVexoAsItWas) {
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"TLHWKey\"=dword:000000c1\n");
    StartVexo();
    ASSERT_TRUE(cesim::HotKeyFor(kVkApp1));

    Result r = Cfg({"set", "TLHWKey", "0xC2", "--no-notify"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(cesim::reg::GetDword(kSettingsPath, "TLHWKey"), kVkApp2);
    EXPECT_TRUE(cesim::HotKeyFor(kVkApp1));
    EXPECT_FALSE(cesim::HotKeyFor(kVkApp2));

    // The next notified change brings vexo up to date with both.
    EXPECT_EQ(Cfg({"set", "ShowDot", "off"}).code, 0);
    EXPECT_FALSE(cesim::HotKeyFor(kVkApp1));
    EXPECT_TRUE(cesim::HotKeyFor(kVkApp2));
}

TEST(VexoCfgNotify, EveryCommandThatWritesTellsVexoAndNoOtherDoes) {
    BootDevice(96);
    StartVexo();
    std::ofstream(cesim::HostPath(u"\\in.reg"))
        << "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n\"ShowDot\"=dword:0\n";
    const std::vector<std::vector<std::string>> writers = {
        {"reset", "ShowDot"},
        {"exception", "add", "\\Windows\\a.exe", "close", "menu"},
        {"exception", "remove", "\\Windows\\a.exe"},
        {"ignore", "add", "\\Windows\\a.exe"},
        {"ignore", "remove", "\\Windows\\a.exe"},
        {"import", "\\in.reg"},
    };
    const std::vector<std::vector<std::string>> readers = {
        {"get", "TLHWKey"},      {"list"},
        {"exception", "list"},   {"ignore", "list"},
        {"export", "\\out.reg"}, {"set", "TLHWKey", "999"},
    };
    for (const auto& command : writers) {
        // Written behind vexo's back: only a reload shows it.
        cesim::reg::SetDword(kSettingsPath, "TLHWKey", kVkApp1);
        ASSERT_FALSE(cesim::HotKeyFor(kVkApp1));
        Result r = Cfg(command);
        EXPECT_EQ(r.code, 0) << command[0] << " " << command[1] << ": " << r.err;
        EXPECT_TRUE(cesim::HotKeyFor(kVkApp1)) << command[0] << " " << command[1];
        cesim::reg::SetDword(kSettingsPath, "TLHWKey", 0);
        vexotest::SendReadConfig();
    }
    cesim::reg::SetDword(kSettingsPath, "TLHWKey", kVkApp1);
    for (const auto& command : readers) {
        Cfg(command);
        EXPECT_FALSE(cesim::HotKeyFor(kVkApp1)) << command[0];
    }
}

// A window of another program whose class merely begins with "VexoClass".
std::atomic<int> decoyReloads{0};

LRESULT CALLBACK DecoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ReadConfigMessage())
        ++decoyReloads;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(VexoCfgNotify, OnlyTheChildWhoseClassIsExactlyVexoClassIsTold) {
    BootDevice(96);
    StartVexo();
    HWND taskbar = cesim::Taskbar();
    std::atomic<HWND> decoy{nullptr};
    cesim::StartHelperProcess(u"\\Windows\\decoy.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DecoyProc;
        wc.lpszClassName = L"VexoClassDecoy";
        RegisterClassW(&wc);
        decoy = CreateWindowExW(0, L"VexoClassDecoy", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                taskbar, nullptr, nullptr, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    });
    cesim::Settle();
    ASSERT_NE(decoy.load(), nullptr);
    // The decoy comes first in the walk, so a prefix match would stop there.
    ASSERT_EQ(cesim::ChildWindows(taskbar).front(), decoy.load());

    EXPECT_EQ(Cfg({"set", "TLHWKey", "193"}).code, 0);
    EXPECT_EQ(decoyReloads.load(), 0);
    EXPECT_TRUE(cesim::HotKeyFor(kVkApp1));
}

} // namespace
