// Scripted sessions played on the device: what a user would see happen, and the errors that
// only the device's state can tell.
#include <gtest/gtest.h>

#include "shell/commandids.h"
#include "tools/simulator/session.h"

#include <cesim/device.h>
#include <cesim/menus.h>
#include <cesim/registry.h>

#include <cstdio>
#include <fstream>

namespace vexosim {
namespace {

class SessionTest : public ::testing::Test {
protected:
    void StartSession(const std::string& regText = std::string()) {
        SessionOptions options;
        options.outDir = ::testing::TempDir() + "vexo-session";
        if (!regText.empty()) {
            options.registryFile = ::testing::TempDir() + "vexo-session.reg";
            WriteRegistryFile(regText);
        }
        session_ = std::make_unique<Session>(options);
        std::string error;
        ASSERT_TRUE(session_->Start(&error)) << error;
    }
    void WriteRegistryFile(const std::string& regText) {
        std::ofstream(::testing::TempDir() + "vexo-session.reg") << regText;
    }
    // Plays the script and returns the error, empty when it played through.
    std::string Play(const std::string& text) {
        std::vector<Action> actions;
        std::string error;
        if (!ReadScript(text, session_->Screen(), actions, &error))
            return "read: " + error;
        session_->PlayAll(actions, &error);
        return error;
    }
    std::unique_ptr<Session> session_;
};

// One program per session: each of the catalogue's kinds under a tap on the button.
class CatalogueTest : public SessionTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CatalogueTest, ATapOnTheButtonEndsTheProgramInFrontItsOwnWay) {
    std::string name = GetParam();
    StartSession();
    ASSERT_EQ(Play("start " + name + "\nwait 600\ntap button\nwait 600"), "");
    if (name == "hang") {
        EXPECT_TRUE(session_->TakeNews().empty()) << "a hung program stays on the screen";
        EXPECT_TRUE(session_->VexoRunning());
        ASSERT_EQ(Play("start close\nwait 600\ntap button\nwait 600"), "");
        EXPECT_EQ(session_->TakeNews(), std::vector<std::string>{"closed close"})
            << "vexo goes on closing the others";
    } else {
        EXPECT_EQ(session_->TakeNews(), std::vector<std::string>{"closed " + name});
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, CatalogueTest,
                         ::testing::Values("ok", "close", "sheet", "hang", "dialog"));

TEST_F(SessionTest, WhatVexoDoesToTheProgramInFrontIsToldOnce) {
    StartSession();
    ASSERT_EQ(Play("cfg set TapAction minimize\nstart close\nwait 600\ntap button\nwait 600"), "");
    EXPECT_EQ(session_->TakeNews(), std::vector<std::string>{"hidden close (Notes)"});
    EXPECT_TRUE(session_->TakeNews().empty());
}

TEST_F(SessionTest, AHoldOnTheButtonOpensTheMenuWhoseItemsAScriptCanTap) {
    StartSession();
    ASSERT_EQ(Play("start close\nwait 600\nhold button 800"), "");
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    POINT first = {0, 0};
    ASSERT_TRUE(
        session_->Resolve(ScriptPoint{ScriptPoint::Base::MenuItem, 1, 0, 0}, first, nullptr));
    EXPECT_EQ(first.y, (menu->items[1].top + menu->items[1].bottom) / 2);
    EXPECT_EQ(Play("tap item99"), "line 1: the menu has " + std::to_string(menu->items.size()) +
                                      " items, so there is no item99");
    ASSERT_EQ(Play("tap 230,310\nwait 100"), "");
    EXPECT_FALSE(cesim::ActiveMenu()) << "a tap outside the menu closes it";
    EXPECT_EQ(Play("wait 10\ntap item0"), "line 2: no menu is open for item0");
}

TEST_F(SessionTest, APlaceOffTheScreenIsRefusedWhereItIsPlayed) {
    StartSession();
    EXPECT_EQ(Play("tap button+0,400"),
              "line 1: button+0,400 is at 226,413, off the 240x320 screen");
}

TEST_F(SessionTest, TheScreenTurnsAndTheScreenshotsFollowIt) {
    StartSession();
    ASSERT_EQ(Play("rotate 90\nwait 100\nshot turned"), "");
    EXPECT_EQ(session_->Angle(), 90);
    cesim::Surface shot;
    ASSERT_TRUE(cesim::ReadPng(session_->Options().outDir + "/turned.png", shot));
    EXPECT_EQ(shot.width, 320);
    EXPECT_EQ(shot.height, 240);
    EXPECT_EQ(Play("tap 300,200"), "") << "the turned screen is wider than it is tall";
    std::remove((session_->Options().outDir + "/turned.png").c_str());
}

TEST_F(SessionTest, TheHotKeyFollowsTheSettingsAndIsMissedWhenThereIsNone) {
    StartSession("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                 "\"TLHWKey\"=dword:000000c3\n");
    ASSERT_TRUE(cesim::HotKeyFor(0xC3)) << "the --registry file wins over the defaults";
    ASSERT_EQ(Play("key"), "");
    ASSERT_EQ(Play("cfg set TLHWKey 0"), "");
    EXPECT_EQ(Play("key"), "line 1: vexo has no hot key (TLHWKey is 0)");
    // Editing the file and reloading brings the key back.
    WriteRegistryFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                      "\"TLHWKey\"=dword:000000c2\n");
    ASSERT_EQ(Play("reload"), "");
    EXPECT_TRUE(cesim::HotKeyFor(0xC2));
    EXPECT_FALSE(cesim::HotKeyFor(0xC3));
}

TEST_F(SessionTest, AFailingSettingsCommandStopsTheScriptWithVexocfgsWords) {
    StartSession();
    std::string error = Play("wait 1\ncfg set NoSuchSetting 1\nshot never");
    EXPECT_EQ(error.rfind("line 2: vexocfg set NoSuchSetting 1 failed: ", 0), 0u) << error;
    EXPECT_NE(error.find("NoSuchSetting"), error.rfind("NoSuchSetting")) << error;
}

TEST_F(SessionTest, VexoEndsWhenTheSessionAsksItTo) {
    StartSession();
    int code = -1;
    EXPECT_TRUE(session_->EndVexo(&code));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(session_->VexoRunning());
    EXPECT_FALSE(session_->EndVexo(&code));
    EXPECT_TRUE(session_->TakeNews().empty()) << "the session's own ending is no news";
}

TEST_F(SessionTest, VexosOwnExitIsToldAndTheSessionGoesOn) {
    StartSession();
    ASSERT_EQ(Play("hold button 800"), "");
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    ASSERT_EQ(cesim::MenuItems(menu->menu).back().id, UINT(CMD_EXIT));
    ASSERT_EQ(Play("tap item" + std::to_string(menu->items.size() - 1) + "\nwait 600"), "");
    EXPECT_EQ(session_->TakeNews(), std::vector<std::string>{"vexo ended with exit code 0"});
    EXPECT_TRUE(session_->TakeNews().empty());
    EXPECT_EQ(Play("start close\nwait 100\nshot after-exit"), "");
}

} // namespace
} // namespace vexosim
