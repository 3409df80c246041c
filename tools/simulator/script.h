// Scripted sessions: a text of one action a line, read into actions the session player runs.
//
//   # a comment; blank lines are skipped
//   start ok                  a simulated program (see catalogue.h for the names)
//   tap POINT [MS]            down and up at POINT, MS apart (default 50)
//   hold POINT MS             down at POINT, still for MS, up
//   drag POINT POINT [MS]     down at the first, moving to the second over MS (default 200), up
//   down POINT / move POINT / up
//   key [MS]                  the hot key pressed and released, MS apart (default 50)
//   wait MS                   the device's clock moves on
//   cfg ARGS...               vexocfg with these arguments, as the settings program runs it
//   rotate 0|90|180|270       the screen turns to that angle
//   reload                    the --registry file again, then vexo rereads its settings
//   shot NAME                 a screenshot NAME.png in the output folder
//
// A POINT is X,Y in screen pixels, or a place on the screen with an optional +DX,DY (or -DX,-DY)
// after it: "button" (the middle of vexo's button) or "itemN" (the middle of item N of the
// menu on the screen, counted from 0), e.g. button+0,60 or item2+100,0.
#pragma once

#include <string>
#include <vector>

namespace vexosim {

struct ScriptPoint {
    enum class Base { Screen, Button, MenuItem };
    Base base = Base::Screen;
    int item = 0; // for MenuItem
    int x = 0;    // the point itself for Screen, else the offset from the place
    int y = 0;
};

struct Action {
    enum class Kind {
        Start,
        Tap,
        Hold,
        Drag,
        Down,
        Move,
        Up,
        Key,
        Wait,
        Cfg,
        Rotate,
        Reload,
        Shot
    };
    Kind kind = Kind::Wait;
    int line = 0;
    ScriptPoint from;
    ScriptPoint to;
    int ms = 0;
    int angle = 0;
    std::string name;               // of the program or the screenshot
    std::vector<std::string> words; // vexocfg's arguments
};

struct ScreenSize {
    int width = 240;
    int height = 320;
};

// Reads a whole script for a screen of the given size in portrait (rotate lines turn it for the
// lines that follow). False on the first bad line, with "line N: ..." in *error.
bool ReadScript(const std::string& text, ScreenSize screen, std::vector<Action>& actions,
                std::string* error);
bool ReadScriptFile(const std::string& path, ScreenSize screen, std::vector<Action>& actions,
                    std::string* error);

// How a point reads in a script, for messages.
std::string DescribePoint(const ScriptPoint& point);

} // namespace vexosim
