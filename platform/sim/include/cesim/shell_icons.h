// The shell's icons on the simulated device: the small pictures SHGetFileInfo hands out for a
// file, kept in the system image lists, and the ones simulated programs carry.
//
// What SHGetFileInfo knows a file's icon by, in this order:
//  - the shortcuts the shell keeps for its own programs ("\Windows\calendar.lnk" and the rest:
//    see ShortcutIcon), and any shortcut file on the device, by the program it points to;
//  - a program: the icon a simulated program was started with; else the first icon group of
//    the program image's resources (a program started or installed with resources); else,
//    for any program or file that exists, the default program icon;
//  - nothing for an empty path or one the device does not know: the call returns 0.
// The system image lists hold each icon once, at the size the flags ask for (SM_CXSMICON or
// SM_CXICON: 16 or 32 pixels at 96 DPI, scaled with the display).
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cesim/surface.h>

#include <optional>
#include <string>

namespace cesim {

// Pictures the device can draw at any size.
enum class ShellIcon {
    None,    // a program without an icon of its own: the default program icon
    Program, // the default program icon
    Calendar,
    Tasks,
    Contacts,
    Search,
    Pictures,
    Notes,
    Mail,
    Media,
    Phone,
    Internet,
    Sync,
    Folder,
    Document,
    Spreadsheet,
    Calculator,
    Games,
};

// The picture at a size (nearest-neighbour from its 16-pixel design), pixels it leaves
// transparent marked as kTransparent.
const uint32_t kTransparent = 0xFF000000u;
Surface ShellIconImage(ShellIcon icon, int size);

// The picture the shell shows for one of its shortcut paths, compared without regard to case.
std::optional<ShellIcon> ShortcutIcon(const std::u16string& path);

// The system image list that SHGetFileInfo returns for small (SHGFI_SMALLICON) or large icons,
// and an image in it; an empty surface for an index it does not hold.
HIMAGELIST SystemImageList(bool small);
// How often SHGetFileInfo was asked for an icon since boot, whatever the answer.
size_t IconRequests();
Surface ImageListImage(HIMAGELIST imageList, int index);

} // namespace cesim
