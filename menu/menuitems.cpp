// Measuring and drawing the owner-drawn items of the task menu: program icons and close marks
// on tasks, icons and check marks on commands, the icon row, lines, in the menu colours.
#include "menu/menuitems.h"

#include "button/theme.h"
#include "config/config.h"
#include "config/log.h"
#include "menu/taskmenu.h"
#include "shell/commandids.h"
#include "shell/dpi.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

#include <commctrl.h>
#include <shellapi.h>

static LPCWSTR TitleOf(const TaskEntry& entry) {
    return entry.title ? entry.title : L"";
}

void OnMeasureItem(WPARAM wParam, LPARAM lParam) {
    if (appLog)
        appLog->Write(5, "OnMeasureItem()");
    MEASUREITEMSTRUCT* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (!item)
        return;
    const TaskEntry* entry = reinterpret_cast<const TaskEntry*>(item->itemData);
    int width = 0;
    int height = Sy(8);
    if (entry) {
        // Measured in the screen's own font, although drawn in the bold menu font: a title
        // that no longer fits is cut with "..." when drawn.
        HDC screen = GetDC(NULL);
        RECT text = {0, 0, 0, 0};
        DrawTextW(screen, TitleOf(*entry), -1, &text, DT_CALCRECT);
        int screenWidth = GetDeviceCaps(screen, HORZRES);
        ReleaseDC(NULL, screen);
        width = Sx(30) + Sx(16) + (text.right - text.left);
        height = Sy(18);
        // A menu wider than the screen would hide the close marks at its right end; the
        // menu's frame needs a pixel on either side.
        int widest = screenWidth - Sx(2);
        if (widest > 0 && width > widest)
            width = widest;
    }
    if (width < Sx(160))
        width = Sx(160);
    item->itemWidth = UINT(width);
    item->itemHeight = UINT(height);
}

static void DrawSmallIcon(HDC dc, int x, int y, HICON icon) {
    DrawIconEx(dc, x, y, icon, Sx(16), Sy(16), 0, NULL, DI_NORMAL);
}

static void DrawCompactRow(HDC dc, const RECT& rc) {
    for (int k = 0; k < compactIconTable.count && k < kCompactSlots; ++k)
        DrawSmallIcon(dc, rc.left + Sx(2) + k * Sx(20), rc.top + Sy(1),
                      compactIconTable.slots[k].icon);
}

static void DrawSeparator(HDC dc, const RECT& rc, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, Sx(1), colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    int y = (rc.top + rc.bottom) / 2;
    DrawLine(dc, rc.left + Sx(6), y, rc.right - Sx(6), y);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

// The shell's small icon of the task's program, drawn from the system image list.
void DrawTaskIcon(HDC dc, int x, int y, const TaskEntry& entry) {
    WCHAR path[kMaxPathChars];
    GetTaskProgramPath(&entry, path);
    // An empty path names no file; asking the shell about it only costs time.
    if (!path[0])
        return;
    SHFILEINFO info;
    memset(&info, 0, sizeof info);
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SHGetFileInfo(
        path, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_SMALLICON));
    if (list)
        ImageList_DrawEx(list, info.iIcon, dc, x, y, Sx(16), Sy(16), CLR_NONE, CLR_NONE,
                         ILD_NORMAL);
    // The shell hands out an icon of its own with every answer; each draw would leak one.
    if (info.hIcon)
        DestroyIcon(info.hIcon);
}

static void DrawCheckMark(HDC dc, const RECT& rc, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    int rows = Sy(3);
    // Finer screens get one row more and the strokes a pixel further right and down.
    bool fine = GetDeviceCaps(dc, LOGPIXELSX) >= 130;
    int shift = fine ? 1 : 0;
    int last = fine ? rows : rows - 1;
    for (int i = 0; i <= last; ++i) {
        POINT points[3];
        points[0].x = rc.left + Sx(8);
        points[0].y = rc.top + Sy(8) + i;
        points[1].x = rc.left + Sx(10) + shift;
        points[1].y = rc.top + Sy(10) + i + shift;
        points[2].x = rc.left + Sx(15) + shift;
        points[2].y = rc.top + Sy(5) + i + shift;
        Polyline(dc, points, 3);
    }
    SelectObject(dc, previous);
    DeleteObject(pen);
}

static void DrawTitle(HDC dc, const RECT& rc, const TaskEntry& entry, bool task, COLORREF colour) {
    HGDIOBJ previousFont = SelectObject(dc, menuFont);
    SetTextColor(dc, colour);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    RECT text = {rc.left + Sx(20), rc.top, rc.right - Sx(20), rc.bottom};
    // A task's title is the program's own text: an "&" in it is a plain character.
    UINT format = DT_SINGLELINE | DT_VCENTER | (task ? DT_NOPREFIX : 0);
    LPCWSTR title = TitleOf(entry);
    DrawTextEndEllipsis(dc, title, int(wcslen(title)), &text, format);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousFont);
}

static void DrawEntry(HDC dc, const RECT& rc, const TaskEntry& entry, UINT state, COLORREF colour) {
    bool task = entry.processId != 0;
    if (task)
        DrawTaskIcon(dc, rc.left + Sx(2), rc.top + Sy(1), entry);
    else if (state & ODS_CHECKED)
        DrawCheckMark(dc, rc, colour);
    DrawTitle(dc, rc, entry, task, colour);
    if (task)
        DrawSmallIcon(dc, rc.right - Sx(18), rc.top + Sy(1), icons[ICON_CLOSE]);
    if (entry.icon)
        DrawSmallIcon(dc, rc.left + Sx(2), rc.top + Sy(1), entry.icon);
}

void OnDrawItem(WPARAM wParam, LPARAM lParam) {
    if (appLog)
        appLog->Write(5, "OnDrawItem()");
    const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (!item)
        return;
    HDC dc = item->hDC;
    RECT rc = item->rcItem;
    int saved = SaveDC(dc);
    // Any selected item is highlighted, a checked one too; the separators are greyed and
    // never look chosen.
    bool highlighted = (item->itemState & ODS_SELECTED) && !(item->itemState & ODS_GRAYED);
    COLORREF text = highlighted ? config.ClrMenuHiFg : config.ClrMenuFg;
    COLORREF background = highlighted ? config.ClrMenuHiBg : config.ClrMenuBg;

    HBRUSH brush = CreateSolidBrush(background);
    HPEN nullPen = CreatePen(PS_NULL, 0, 0);
    HGDIOBJ previousBrush = SelectObject(dc, brush);
    HGDIOBJ previousPen = SelectObject(dc, nullPen);
    // Without a pen the fill stops a pixel short of the right and bottom ends.
    Rectangle(dc, rc.left, rc.top, rc.right + 1, rc.bottom + 1);
    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    MenuItemWidth = rc.right - rc.left;

    const TaskEntry* entry = reinterpret_cast<const TaskEntry*>(item->itemData);
    if (item->itemID == CMD_ICON_ROW)
        DrawCompactRow(dc, rc);
    else if (!entry)
        DrawSeparator(dc, rc, text);
    else
        DrawEntry(dc, rc, *entry, item->itemState, text);

    DeleteObject(brush);
    DeleteObject(nullPen);
    RestoreDC(dc, saved);
}

static int MeasuredWidth(HDC dc, LPCWSTR text, int length, const RECT& rect, UINT format) {
    RECT measured = rect;
    DrawTextW(dc, text, length, &measured, format | DT_CALCRECT);
    return measured.right - measured.left;
}

static bool IsLeadSurrogate(WCHAR c) {
    return c >= 0xD800 && c < 0xDC00;
}

int DrawTextEndEllipsis(HDC dc, LPCWSTR text, int length, RECT* rect, UINT format) {
    if (!text)
        text = L"";
    if (length < 0)
        length = int(wcslen(text));
    if (appLog)
        appLog->Write(7, "DrawTextEndEllipsis(, '%S', %d, ,)", text, length);
    int available = rect->right - rect->left;
    if (MeasuredWidth(dc, text, length, *rect, format) <= available)
        return DrawTextW(dc, text, length, rect, format);
    WCHAR* candidate = static_cast<WCHAR*>(malloc((size_t(length) + 4) * sizeof(WCHAR)));
    // Without room for a shorter copy, the whole text is better than none.
    if (!candidate)
        return DrawTextW(dc, text, length, rect, format);
    for (int n = length; n >= 0; --n) {
        // Half a character pair would draw as a stray mark.
        if (n > 0 && IsLeadSurrogate(text[n - 1]))
            continue;
        memcpy(candidate, text, size_t(n) * sizeof(WCHAR));
        memcpy(candidate + n, L"...", 4 * sizeof(WCHAR));
        if (MeasuredWidth(dc, candidate, n + 3, *rect, format) < available)
            break;
    }
    int result = DrawTextW(dc, candidate, -1, rect, format);
    free(candidate);
    return result;
}
