// The button's faces as images, against reviewed references. Each case is one shell style at
// one DPI; its reference is a grid of every setting, close-button type and pressed state.
// VEXO_UPDATE_REFERENCES=1 rewrites the references instead of comparing.
#include "image/reference.h"
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/programs.h>

#include "button/paint.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"

using vexotest::BootDevice;
using vexotest::ChangeSettings;
using vexotest::FindButtonWindow;
using vexotest::kSettingsPath;
using vexotest::StartVexo;

namespace {

const int kGap = 2;

struct Foreground {
    HWND none;  // the desktop
    HWND cross; // a full-screen program without caption
    HWND ok;    // a dialog with an OK button in its caption
};

Foreground StartForegroundPrograms() {
    cesim::SimProgram p;
    p.modulePath = u"\\Windows\\faces.exe";
    cesim::SimWindow app;
    app.title = u"Notes";
    cesim::SimWindow dialog;
    dialog.title = u"Options";
    dialog.style = WS_VISIBLE | WS_CAPTION;
    dialog.exStyle = WS_EX_CAPTIONOKBTN;
    p.windows = {app, dialog};
    auto running = cesim::StartSimulatedProgram(p);
    return Foreground{cesim::DesktopWindow(), running.windows[0], running.windows[1]};
}

cesim::Surface Capture(HWND button) {
    cesim::Surface screen = cesim::ComposeScreen();
    RECT r = cesim::Inspect(button)->rect;
    cesim::Surface face(r.right - r.left, r.bottom - r.top);
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x)
            face.set(x, y, screen.at(r.left + x, r.top + y));
    return face;
}

void Paste(cesim::Surface& sheet, const cesim::Surface& face, int column, int row) {
    int x0 = column * (face.width + kGap) + kGap;
    int y0 = row * (face.height + kGap) + kGap;
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x)
            sheet.set(x0 + x, y0 + y, face.at(x, y));
}

void Repaint(HWND button) {
    InvalidateRect(button, nullptr, FALSE);
    cesim::Settle();
}

// Rows: OldStyleBkgnd, OldStyleButton, ShowDot (8 combinations); columns: none, X, ok, each
// released and pressed.
cesim::Surface RenderAllFaces() {
    Foreground fg = StartForegroundPrograms();
    StartVexo();
    HWND button = FindButtonWindow();
    RECT r = cesim::Inspect(button)->rect;
    int w = r.right - r.left, h = r.bottom - r.top;
    cesim::Surface sheet(6 * (w + kGap) + kGap, 8 * (h + kGap) + kGap, 0x808080);
    for (int row = 0; row < 8; ++row) {
        ChangeSettings([row] {
            cesim::reg::SetDword(kSettingsPath, "OldStyleBkgnd", (row >> 2) & 1);
            cesim::reg::SetDword(kSettingsPath, "OldStyleButton", (row >> 1) & 1);
            cesim::reg::SetDword(kSettingsPath, "ShowDot", row & 1);
        });
        HWND targets[3] = {fg.none, fg.cross, fg.ok};
        for (int type = 0; type < 3; ++type) {
            SetForegroundWindow(targets[type]);
            for (int down = 0; down < 2; ++down) {
                pressed = down != 0;
                Repaint(button);
                Paste(sheet, Capture(button), type * 2 + down, row);
            }
        }
    }
    pressed = false;
    return sheet;
}

#define FACES_CASE(name, dpi, major, minor)                                                        \
    TEST(Faces, name) {                                                                            \
        BootDevice(dpi, "", major, minor);                                                         \
        vexotest::CompareWithReference(RenderAllFaces(), "faces", #name);                          \
    }
FACES_CASE(Other96, 96, 6, 0)
FACES_CASE(Ce4At96, 96, 4, 20)
FACES_CASE(Ce5At96, 96, 5, 1)
FACES_CASE(Ce52At96, 96, 5, 2)
FACES_CASE(Other192, 192, 6, 0)
FACES_CASE(Ce4At192, 192, 4, 20)
FACES_CASE(Ce5At192, 192, 5, 1)
FACES_CASE(Ce52At192, 192, 5, 2)

} // namespace
