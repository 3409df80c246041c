// The task menu: built from the task table and the enabled commands, tracked below the taskbar.
#ifndef VEXO_MENU_TASKMENU_H
#define VEXO_MENU_TASKMENU_H

#include <windows.h>

// Set for each chosen command: the tap that chose it lay in the close zone at the item's end.
extern bool CloseTapFlag;

// The device commands shown as one row of icons in compact mode, in menu order.
const int kCompactSlots = 8;
struct CompactIcon {
    UINT command;
    HICON icon;
};
struct CompactIconTable {
    CompactIcon slots[kCompactSlots];
    int count; // slots in use for the menu being shown
};
extern CompactIconTable compactIconTable;

// The width of the menu's items, as the last item drawn had it.
extern int MenuItemWidth;

// Shows the menu and returns when it has closed; a chosen command is posted to the button.
void ShowTaskMenu();

// Appends an owner-drawn command item whose data is a new entry (text, no process, the window
// or the icon); the menu owns the entry until it is destroyed.
BOOL InsertMenuItem(HMENU menu, UINT command, LPCWSTR text, HWND window);
BOOL InsertMenuItem(HMENU menu, UINT command, LPCWSTR text, HICON icon);
// Appends a greyed owner-drawn item without data, which draws as a line.
BOOL InsertMenuSeparator(HMENU menu);
bool SetCompactIcon(int slot, UINT command, HICON icon);

// The slot of the icon row under x, or -1: the row ends at the taskbar's right edge and holds
// `count` icons, `slotWidth` apart from its left end.
int CompactSlotAt(int x, int taskbarRight, int rowWidth, int slotWidth, int count);
// Whether x lies in the close zone at the right end of an item that ends at the taskbar's edge.
bool IsInCloseZone(int x, int taskbarRight);

#endif
