// The driver's view of the device's popup menus: the menu objects a program holds, the menu on
// the screen while a program tracks it, and the hardware keys that steer it.
//
// How a tracked menu behaves, as the device's menu loop does it:
//  - TrackPopupMenuEx measures every owner-drawn item (WM_MEASUREITEM to the owner), then shows
//    a top-level popup window of class "menu_worker" aligned at the point as the flags say and
//    moved so that it stays on the screen. A menu taller than the screen fills the screen's
//    height and gets scroll arrows at its top and bottom; an item that the arrows would cut is
//    not drawn, and a tap on an arrow scrolls by one item.
//  - Owner-drawn items are painted by the owner (WM_DRAWITEM, ODT_MENU, the menu window's DC,
//    its text and background colours set to the item's highlighted or greyed look) when the
//    menu shows and whenever the selection moves to or from them.
//  - While the menu is up, its window holds the stylus capture and the loop reads every stylus
//    event and key itself; everything else (posted and sent messages, timers, painting) is
//    dispatched as usual. A press outside the menu dismisses it and goes nowhere else. A release
//    over an enabled item chooses it, but only after a press made while the menu was up: the
//    release of a stylus that was already down when the menu opened chooses nothing.
//  - Keys: up and down move the selection over every item but MF_SEPARATOR ones, wrapping;
//    return chooses the selected item (or, on none or a greyed one, closes the menu); escape
//    closes it. WM_CANCELMODE to the owner (its default processing), the owner's destruction,
//    the menu window's loss of the capture and a quit request close it too.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace cesim {

// Menus a process has created and not destroyed.
size_t LiveMenus(DWORD processId);

struct MenuItemInfo {
    UINT id = 0;
    UINT flags = 0; // MF_ type and state bits
    ULONG_PTR data = 0;
    std::u16string text;
};
std::vector<MenuItemInfo> MenuItems(HMENU menu);

struct TrackedMenu {
    HMENU menu = nullptr;
    HWND window = nullptr;
    HWND owner = nullptr;
    RECT rect = {0, 0, 0, 0}; // the menu window, screen coordinates
    // Each item's place on the screen; an empty rectangle for an item scrolled out of view.
    std::vector<RECT> items;
    int selected = -1;
    bool scrolls = false;
    RECT upArrow = {0, 0, 0, 0}; // screen coordinates; empty unless the menu scrolls
    RECT downArrow = {0, 0, 0, 0};
    int firstShown = 0; // the topmost item in view
};
// The menu being tracked, the last one opened when several threads track one.
std::optional<TrackedMenu> ActiveMenu();

// A hardware key pressed and released (WM_KEYDOWN, then WM_KEYUP): to the menu being tracked,
// else to the foreground window. Settles the device.
void PressKey(UINT virtualKey);

} // namespace cesim
