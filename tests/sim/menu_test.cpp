// Popup menus of the device: menu objects and their accounting, and TrackPopupMenuEx as a
// program meets it: where the menu shows, what its owner is asked to measure and draw, and how
// the stylus, the keys and WM_CANCELMODE end it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cesim/device.h>
#include <cesim/menus.h>
#include <cesim/stylus.h>

#include <functional>
#include <vector>

namespace {

struct Seen {
    UINT message;
    UINT id;
    UINT action;
    UINT state;
    RECT rect;
    COLORREF textColor; // of the DC handed to WM_DRAWITEM
};

struct Item {
    UINT flags;
    UINT id;
    int height; // what the owner measures; 0 for an item that is not owner-drawn
};

const int kItemWidth = 120;

// One program that shows a menu from a window of its own, and what that window received.
struct MenuRun {
    std::vector<Seen> seen;
    std::vector<UINT> commands;
    std::vector<UINT> presses; // stylus presses that reached the owner
    int ticks = 0;
    BOOL result = -1;
    bool returned = false;
    HWND owner = nullptr;
    HMENU menu = nullptr;
    DWORD processId = 0;
};
MenuRun* g_run = nullptr;

LRESULT CALLBACK OwnerProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        mis->itemWidth = kItemWidth;
        mis->itemHeight = UINT(mis->itemData);
        g_run->seen.push_back(Seen{m, mis->itemID, 0, 0, RECT{}, 0});
        return TRUE;
    }
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        g_run->seen.push_back(Seen{m, dis->itemID, dis->itemAction, dis->itemState, dis->rcItem,
                                   GetTextColor(dis->hDC)});
        HBRUSH brush =
            CreateSolidBrush((dis->itemState & ODS_SELECTED) ? RGB(255, 0, 0) : RGB(0, 160, 0));
        FillRect(dis->hDC, &dis->rcItem, brush);
        DeleteObject(brush);
        return TRUE;
    }
    case WM_COMMAND:
        g_run->commands.push_back(LOWORD(wp));
        return 0;
    case WM_TIMER:
        ++g_run->ticks;
        return 0;
    case WM_LBUTTONDOWN:
        g_run->presses.push_back(m);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

// Starts a program whose window fills the screen below the taskbar and tracks a menu of the
// items at the point; returns once the menu is up (or the call has returned).
void StartMenu(MenuRun& run, std::vector<Item> items, UINT flags, POINT at,
               std::function<void(HWND)> before = nullptr) {
    g_run = &run;
    run.processId =
        cesim::StartHelperProcess(u"\\Windows\\menus.exe", [&run, items, flags, at, before] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = OwnerProc;
            wc.lpszClassName = L"MenuOwner";
            RegisterClassW(&wc);
            run.owner = CreateWindowExW(0, L"MenuOwner", L"Owner", WS_VISIBLE, 0, 26, 240, 294,
                                        nullptr, nullptr, nullptr, nullptr);
            run.menu = CreatePopupMenu();
            for (const Item& item : items)
                InsertMenuW(run.menu, 0xFFFFFFFF, item.flags | MF_BYPOSITION, item.id,
                            reinterpret_cast<LPCWSTR>(intptr_t(item.height)));
            if (before)
                before(run.owner);
            run.result = TrackPopupMenuEx(run.menu, flags, at.x, at.y, run.owner, nullptr);
            run.returned = true;
            DestroyMenu(run.menu);
            // The program lives on, so that what the menu left in its queue would show.
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0))
                DispatchMessageW(&msg);
        });
}

const UINT kOwnerDraw = MF_OWNERDRAW;

std::vector<Item> FourItems() {
    return {{kOwnerDraw, 11, 18},
            {kOwnerDraw | MF_GRAYED, 12, 8},
            {kOwnerDraw, 13, 18},
            {kOwnerDraw | MF_CHECKED, 14, 18}};
}

POINT Center(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::vector<Seen> Drawn(const MenuRun& run, UINT action) {
    std::vector<Seen> drawn;
    for (const Seen& s : run.seen)
        if (s.message == WM_DRAWITEM && s.action == action)
            drawn.push_back(s);
    return drawn;
}

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override { cesim::Boot(); }
};

TEST_F(MenuTest, MenusAreCountedPerProcessAndAForgottenOneIsReportedAtExit) {
    HMENU kept = nullptr;
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\leaky.exe", [&] {
        kept = CreatePopupMenu();
        HMENU freed = CreatePopupMenu();
        DestroyMenu(freed);
        EXPECT_FALSE(DestroyMenu(freed)) << "a menu is destroyed once";
    });
    EXPECT_NE(kept, nullptr);
    EXPECT_EQ(cesim::ProcessExitReport(pid).menus, 1u);
    EXPECT_EQ(cesim::LiveMenus(pid), 0u) << "the device reclaims what the process left";
}

TEST_F(MenuTest, ItemsGoInByPositionAndAreCheckedByCommand) {
    HMENU menu = CreatePopupMenu();
    int data = 0;
    ASSERT_TRUE(InsertMenuW(menu, 0xFFFFFFFF, MF_BYPOSITION | MF_OWNERDRAW, 7,
                            reinterpret_cast<LPCWSTR>(&data)));
    ASSERT_TRUE(
        InsertMenuW(menu, 0, MF_BYPOSITION | MF_OWNERDRAW | MF_GRAYED, 0xFFFFFFFF, nullptr));
    ASSERT_TRUE(InsertMenuW(menu, 99, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr));
    std::vector<cesim::MenuItemInfo> items = cesim::MenuItems(menu);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, 0xFFFFFFFFu);
    EXPECT_EQ(items[0].flags, UINT(MF_OWNERDRAW | MF_GRAYED));
    EXPECT_EQ(items[1].id, 7u);
    EXPECT_EQ(items[1].data, ULONG_PTR(&data)) << "an owner-drawn item keeps its data";
    EXPECT_EQ(items[2].flags, UINT(MF_SEPARATOR));

    EXPECT_EQ(CheckMenuItem(menu, 7, MF_BYCOMMAND | MF_CHECKED), DWORD(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 7, MF_BYCOMMAND | MF_UNCHECKED), DWORD(MF_CHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 8, MF_BYCOMMAND | MF_CHECKED), 0xFFFFFFFFu);
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(GetMenuItemCount(menu), -1);
}

TEST_F(MenuTest, HangsRightAlignedBelowThePointAfterEveryItemWasMeasured) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RETURNCMD | TPM_RIGHTALIGN, POINT{240, 26});
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    auto info = cesim::Inspect(menu->window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->className, u"menu_worker");
    EXPECT_TRUE(info->visible);
    // A one-pixel frame around items as wide as the widest measured one.
    int width = kItemWidth + 2, height = 18 + 8 + 18 + 18 + 2;
    EXPECT_EQ(menu->rect.right, 240);
    EXPECT_EQ(menu->rect.left, 240 - width);
    EXPECT_EQ(menu->rect.top, 26);
    EXPECT_EQ(menu->rect.bottom, 26 + height);
    EXPECT_EQ(cesim::WindowAtPoint(200, 30), menu->window) << "above the shell's taskbar";

    ASSERT_EQ(run.seen.size(), 8u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(run.seen[i].message, UINT(WM_MEASUREITEM));
        EXPECT_EQ(run.seen[i + 4].message, UINT(WM_DRAWITEM));
        EXPECT_EQ(run.seen[i + 4].action, UINT(ODA_DRAWENTIRE));
    }
    EXPECT_EQ(run.seen[5].state, UINT(ODS_GRAYED));
    EXPECT_EQ(run.seen[7].state, UINT(ODS_CHECKED));
    RECT third = run.seen[6].rect;
    EXPECT_EQ(third.left, 1);
    EXPECT_EQ(third.top, 1 + 18 + 8);
    EXPECT_EQ(third.right, 1 + kItemWidth);
    EXPECT_EQ(third.bottom, 1 + 18 + 8 + 18);

    cesim::Surface screen = cesim::ComposeScreen();
    EXPECT_EQ(screen.at(menu->rect.left, 40), 0x000000u) << "the frame";
    EXPECT_EQ(screen.at(menu->rect.left + 5, 27 + 30), 0x00A000u) << "what the owner drew";
    cesim::PressKey(VK_ESCAPE);
    EXPECT_TRUE(run.returned);
}

TEST_F(MenuTest, ATapChoosesAnEnabledItemOnlyAndTheSelectionIsRedrawnAsItMoves) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RETURNCMD, POINT{10, 40});
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    run.seen.clear();
    cesim::Tap(Center(menu->items[1]).x, Center(menu->items[1]).y);
    EXPECT_FALSE(run.returned) << "a greyed item is not chosen";
    cesim::StylusDown(Center(menu->items[0]).x, Center(menu->items[0]).y);
    cesim::StylusMove(Center(menu->items[2]).x, Center(menu->items[2]).y);
    std::vector<Seen> redrawn = Drawn(run, ODA_SELECT);
    ASSERT_EQ(redrawn.size(), 5u);
    EXPECT_EQ(redrawn[0].id, 12u);
    EXPECT_EQ(redrawn[0].state, UINT(ODS_SELECTED | ODS_GRAYED));
    EXPECT_EQ(redrawn[0].textColor, GetSysColor(COLOR_HIGHLIGHTTEXT))
        << "the DC comes set to the highlighted look";
    EXPECT_EQ(redrawn[1].id, 12u);
    EXPECT_EQ(redrawn[1].state, UINT(ODS_GRAYED));
    EXPECT_EQ(redrawn[1].textColor, GetSysColor(COLOR_GRAYTEXT));
    EXPECT_EQ(redrawn[2].id, 11u);
    EXPECT_EQ(redrawn[4].id, 13u);
    EXPECT_EQ(redrawn[4].state, UINT(ODS_SELECTED));
    cesim::StylusUp();
    EXPECT_TRUE(run.returned);
    EXPECT_EQ(run.result, 13);
    EXPECT_FALSE(cesim::Inspect(menu->window)) << "the menu window is gone";
}

TEST_F(MenuTest, KeysMoveOverEverythingButSeparatorsAndChooseOrClose) {
    struct Case {
        const char* name;
        std::vector<UINT> keys;
        BOOL result;
    } cases[] = {
        {"down, return: the first item", {VK_DOWN, VK_RETURN}, 21},
        {"down twice skips the separator", {VK_DOWN, VK_DOWN, VK_RETURN}, 23},
        {"up from nothing: the last item", {VK_UP, VK_RETURN}, 25},
        {"down past the end wraps", {VK_UP, VK_DOWN, VK_RETURN}, 21},
        {"return on a greyed item closes", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, 0},
        {"return on nothing closes", {VK_RETURN}, 0},
        {"escape closes", {VK_DOWN, VK_ESCAPE}, 0},
    };
    for (const Case& c : cases) {
        cesim::Boot();
        MenuRun run;
        StartMenu(run,
                  {{kOwnerDraw, 21, 18},
                   {MF_SEPARATOR, 0, 0},
                   {kOwnerDraw, 23, 18},
                   {kOwnerDraw | MF_GRAYED, 24, 18},
                   {kOwnerDraw, 25, 18}},
                  TPM_RETURNCMD, POINT{0, 30});
        for (UINT key : c.keys)
            cesim::PressKey(key);
        EXPECT_TRUE(run.returned) << c.name;
        EXPECT_EQ(run.result, c.result) << c.name;
    }
}

TEST_F(MenuTest, APressOutsideDismissesTheMenuAndReachesNoWindow) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RETURNCMD, POINT{0, 30});
    ASSERT_TRUE(cesim::ActiveMenu());
    cesim::StylusDown(200, 300);
    EXPECT_TRUE(run.returned);
    EXPECT_EQ(run.result, 0);
    cesim::StylusUp();
    cesim::Tap(200, 300);
    EXPECT_EQ(run.presses.size(), 1u) << "only the press after the menu reached the window";
}

TEST_F(MenuTest, CancelModeToTheOwnerEndsTheMenu) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RETURNCMD, POINT{0, 30});
    ASSERT_TRUE(cesim::ActiveMenu());
    cesim::StartHelperProcess(u"\\Windows\\other.exe",
                              [&] { SendMessageW(run.owner, WM_CANCELMODE, 0, 0); });
    EXPECT_TRUE(run.returned);
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(cesim::ActiveMenu());
}

TEST_F(MenuTest, AProgramEndedWhileItsMenuIsUpLeavesNoMenuBehind) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RETURNCMD, POINT{0, 30});
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    EXPECT_TRUE(cesim::TerminateProgram(run.processId, 1));
    EXPECT_FALSE(cesim::ActiveMenu());
    EXPECT_FALSE(cesim::Inspect(menu->window));
    EXPECT_EQ(cesim::ProcessExitReport(run.processId).menus, 1u);
}

TEST_F(MenuTest, TheReleaseOfAStylusDownBeforeTheMenuOpenedChoosesNothing) {
    MenuRun run;
    cesim::StylusDown(20, 50);
    StartMenu(run, FourItems(), TPM_RETURNCMD, POINT{0, 30});
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    cesim::StylusMove(Center(menu->items[0]).x, Center(menu->items[0]).y);
    EXPECT_EQ(cesim::ActiveMenu()->selected, 0) << "the highlight follows the stylus";
    cesim::StylusUp();
    EXPECT_FALSE(run.returned);
    cesim::Tap(Center(menu->items[0]).x, Center(menu->items[0]).y);
    EXPECT_EQ(run.result, 11);
}

TEST_F(MenuTest, OtherMessagesAreDispatchedWhileTheMenuIsUp) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RETURNCMD, POINT{0, 30},
              [](HWND owner) { SetTimer(owner, 1, 100, nullptr); });
    cesim::Advance(350);
    EXPECT_EQ(run.ticks, 3);
    EXPECT_FALSE(run.returned);
    cesim::PressKey(VK_ESCAPE);
}

TEST_F(MenuTest, WithoutReturnCmdTheChoiceIsPostedToTheOwner) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RIGHTALIGN, POINT{240, 26});
    cesim::PressKey(VK_DOWN);
    cesim::PressKey(VK_RETURN);
    EXPECT_EQ(run.result, TRUE);
    EXPECT_EQ(run.commands, std::vector<UINT>{11});
}

TEST_F(MenuTest, StaysOnTheScreenWhereThePointWouldPushItOff) {
    MenuRun run;
    StartMenu(run, FourItems(), TPM_RETURNCMD, POINT{200, 300});
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->rect.right, 240);
    EXPECT_EQ(menu->rect.bottom, 320);
    EXPECT_FALSE(menu->scrolls);
    cesim::PressKey(VK_ESCAPE);
}

TEST_F(MenuTest, AMenuTallerThanTheScreenFillsItAndScrollsByOneItem) {
    std::vector<Item> items;
    for (UINT i = 0; i < 30; ++i)
        items.push_back({kOwnerDraw, 100 + i, 18});
    MenuRun run;
    StartMenu(run, items, TPM_RETURNCMD | TPM_RIGHTALIGN, POINT{240, 26});
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->scrolls);
    EXPECT_EQ(menu->rect.top, 0);
    EXPECT_EQ(menu->rect.bottom, 320);
    // 320 less the frame and two 12-pixel arrow bands holds 16 whole items of 18.
    int shown = 0;
    for (const RECT& r : menu->items)
        shown += r.bottom > r.top ? 1 : 0;
    EXPECT_EQ(shown, 16);
    EXPECT_EQ(menu->items[0].top, 13);
    EXPECT_EQ(Drawn(run, ODA_DRAWENTIRE).size(), 16u) << "an item the arrow would cut is not drawn";

    cesim::Tap(Center(menu->downArrow).x, Center(menu->downArrow).y);
    menu = cesim::ActiveMenu();
    EXPECT_EQ(menu->firstShown, 1);
    EXPECT_EQ(menu->items[1].top, 13);
    EXPECT_FALSE(run.returned) << "a tap on an arrow chooses nothing";

    cesim::PressKey(VK_UP); // from nothing to the last item, scrolled into view
    menu = cesim::ActiveMenu();
    EXPECT_EQ(menu->selected, 29);
    EXPECT_EQ(menu->firstShown, 14);
    cesim::Tap(Center(menu->items[29]).x, Center(menu->items[29]).y);
    EXPECT_EQ(run.result, 129);
}

} // namespace
