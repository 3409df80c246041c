// The scripted-session reader: what each line reads as, and what a bad line is told.
#include "tools/simulator/script.h"

#include <gtest/gtest.h>

namespace vexosim {
namespace {

using Kind = Action::Kind;
using Base = ScriptPoint::Base;

const ScreenSize kPortrait96 = {240, 320};

std::vector<Action> Read(const std::string& text, ScreenSize screen = kPortrait96) {
    std::vector<Action> actions;
    std::string error;
    EXPECT_TRUE(ReadScript(text, screen, actions, &error)) << error;
    return actions;
}

std::string ErrorOf(const std::string& text, ScreenSize screen = kPortrait96) {
    std::vector<Action> actions(1);
    std::string error;
    EXPECT_FALSE(ReadScript(text, screen, actions, &error)) << text;
    EXPECT_EQ(actions.size(), 1u) << "a failed read leaves the actions as they were";
    return error;
}

TEST(ScriptReader, ReadsEachActionWithItsArgumentsAndDefaults) {
    struct Case {
        const char* line;
        Kind kind;
        Base base;
        int x, y, item, ms;
        const char* name;
    } cases[] = {
        {"start ok", Kind::Start, Base::Screen, 0, 0, 0, 0, "ok"},
        {"tap 10,20", Kind::Tap, Base::Screen, 10, 20, 0, 50, ""},
        {"tap 239,319 5", Kind::Tap, Base::Screen, 239, 319, 0, 5, ""},
        {"hold button 800", Kind::Hold, Base::Button, 0, 0, 0, 800, ""},
        {"tap button+0,60", Kind::Tap, Base::Button, 0, 60, 0, 50, ""},
        {"tap button-10,-3", Kind::Tap, Base::Button, -10, -3, 0, 50, ""},
        {"tap item3+90,0", Kind::Tap, Base::MenuItem, 90, 0, 3, 50, ""},
        {"down item0", Kind::Down, Base::MenuItem, 0, 0, 0, 0, ""},
        {"move 5,6", Kind::Move, Base::Screen, 5, 6, 0, 0, ""},
        {"up", Kind::Up, Base::Screen, 0, 0, 0, 0, ""},
        {"key", Kind::Key, Base::Screen, 0, 0, 0, 50, ""},
        {"key 900", Kind::Key, Base::Screen, 0, 0, 0, 900, ""},
        {"wait 0", Kind::Wait, Base::Screen, 0, 0, 0, 0, ""},
        {"reload", Kind::Reload, Base::Screen, 0, 0, 0, 0, ""},
        {"shot menu-96", Kind::Shot, Base::Screen, 0, 0, 0, 0, "menu-96"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<Action> actions = Read(c.line);
        ASSERT_EQ(actions.size(), 1u);
        const Action& a = actions[0];
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.line, 1);
        EXPECT_EQ(a.from.base, c.base);
        EXPECT_EQ(a.from.x, c.x);
        EXPECT_EQ(a.from.y, c.y);
        EXPECT_EQ(a.from.item, c.item);
        EXPECT_EQ(a.ms, c.ms);
        EXPECT_EQ(a.name, c.name);
    }
}

TEST(ScriptReader, ReadsDragsVexocfgAndRotationsWithLineNumbersPastCommentsAndBlanks) {
    std::vector<Action> actions = Read("# the downward gesture\n"
                                       "\n"
                                       "drag button button+0,80   # off the button\n"
                                       "  cfg set  ShowDot off\n"
                                       "drag 1,2 3,4 700\n"
                                       "rotate 270\n");
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[0].line, 3);
    EXPECT_EQ(actions[0].to.base, Base::Button);
    EXPECT_EQ(actions[0].to.y, 80);
    EXPECT_EQ(actions[0].ms, 200);
    EXPECT_EQ(actions[1].kind, Kind::Cfg);
    EXPECT_EQ(actions[1].words, (std::vector<std::string>{"set", "ShowDot", "off"}));
    EXPECT_EQ(actions[2].to.x, 3);
    EXPECT_EQ(actions[2].ms, 700);
    EXPECT_EQ(actions[3].angle, 270);
    EXPECT_TRUE(Read("").empty());
}

TEST(ScriptReader, ChecksPointsAgainstTheScreenAsItIsTurned) {
    EXPECT_EQ(Read("rotate 90\ntap 319,239\nrotate 180\ntap 239,319").size(), 4u);
    EXPECT_EQ(ErrorOf("rotate 90\ntap 239,319"), "line 2: point 239,319 is off the 320x240 screen");
    EXPECT_EQ(ErrorOf("tap 479,10"), "line 1: point 479,10 is off the 240x320 screen");
    EXPECT_EQ(Read("tap 479,639", {480, 640}).size(), 1u);
}

TEST(ScriptReader, NamesTheLineAndWhatItExpectedForABadLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"wait 10\nfly 3", "line 2: expected an action (start, tap, hold, drag, down, move, up, "
                           "key, wait, cfg, rotate, reload, shot), found \"fly\""},
        {"start", "line 1: expected \"start PROGRAM\", found 0 arguments"},
        {"start notepad", "line 1: unknown program \"notepad\"; known: ok, close, sheet, hang, "
                          "dialog"},
        {"tap -1,5", "line 1: point -1,5 is off the 240x320 screen"},
        {"tap 240,5", "line 1: point 240,5 is off the 240x320 screen"},
        {"tap 10", "line 1: expected a point X,Y, button or itemN, found \"10\""},
        {"tap 10,2x", "line 1: expected a point X,Y, button or itemN, found \"10,2x\""},
        {"tap button+5", "line 1: expected an offset +DX,DY after \"button\", found \"button+5\""},
        {"tap itemx", "line 1: expected a menu item such as item0, found \"itemx\""},
        {"tap item", "line 1: expected a menu item such as item0, found \"item\""},
        {"hold button", "line 1: expected \"hold POINT MS\", found 1 argument"},
        {"wait soon", "line 1: expected milliseconds from 0 to 600000, found \"soon\""},
        {"wait -5", "line 1: expected milliseconds from 0 to 600000, found \"-5\""},
        {"wait 600001", "line 1: expected milliseconds from 0 to 600000, found \"600001\""},
        {"key 10 20", "line 1: expected \"key [MS]\", found 2 arguments"},
        {"up 3,4", "line 1: expected \"up\", found 1 argument"},
        {"cfg", "line 1: expected \"cfg COMMAND [ARGUMENTS]\", found 0 arguments"},
        {"rotate 45", "line 1: expected an angle of 0, 90, 180 or 270, found \"45\""},
        {"shot ../x", "line 1: expected a file name without folders, found \"../x\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf(c.text), c.error);
}

TEST(ScriptReader, AMissingFileIsNamed) {
    std::vector<Action> actions;
    std::string error;
    EXPECT_FALSE(ReadScriptFile("/nonexistent/demo.session", kPortrait96, actions, &error));
    EXPECT_EQ(error, "cannot read /nonexistent/demo.session");
}

} // namespace
} // namespace vexosim
