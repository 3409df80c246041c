// Menu objects of the simulated device: popup menus and their items, each menu owned by the
// process that created it and counted, so that a menu a program forgets shows as a leak.
#include "menus.h"

#include "faults.h"

#include <cesim/menus.h>

#include <algorithm>
#include <map>
#include <memory>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct State {
    std::map<uintptr_t, std::unique_ptr<Menu>> menus;
    uintptr_t nextHandle = 0x03000010;
};

State& S() {
    static State* state = new State;
    return *state;
}

void SetError(const Lock& held, DWORD error) {
    Kernel::Current(held).lastError = error;
}

Menu* Valid(const Lock& held, HMENU menu) {
    Menu* m = FindMenu(held, menu);
    if (!m)
        SetError(held, ERROR_INVALID_HANDLE);
    return m;
}

// The item that `item` names: a position with MF_BYPOSITION, else a command id.
MenuItem* ItemOf(Menu& menu, UINT item, UINT flags) {
    if (flags & MF_BYPOSITION)
        return item < menu.items.size() ? &menu.items[item] : nullptr;
    for (MenuItem& i : menu.items)
        if (i.id == item && !(i.flags & MF_SEPARATOR))
            return &i;
    return nullptr;
}

const UINT kTypeAndState = MF_GRAYED | MF_DISABLED | MF_BITMAP | MF_CHECKED | MF_MENUBARBREAK |
                           MF_MENUBREAK | MF_HILITE | MF_OWNERDRAW | MF_SEPARATOR;

bool RegisterHooks() {
    Kernel::OnProcessEnd([](const Lock&, Process& process) {
        size_t left = 0;
        for (auto it = S().menus.begin(); it != S().menus.end();) {
            if (it->second->processId == process.id) {
                ++left;
                it = S().menus.erase(it);
            } else {
                ++it;
            }
        }
        process.leftMenus = left;
    });
    return true;
}
bool g_hooks = RegisterHooks();

} // namespace

Menu* FindMenu(const Kernel::Lock&, HMENU menu) {
    auto it = S().menus.find(uintptr_t(menu));
    return it == S().menus.end() ? nullptr : it->second.get();
}

void ResetMenus(const Kernel::Lock& held) {
    S().menus.clear();
    ResetMenuTracking(held);
}

size_t LiveMenus(DWORD processId) {
    Lock lock(Kernel::Mutex());
    size_t n = 0;
    for (auto& entry : S().menus)
        n += entry.second->processId == processId ? 1 : 0;
    return n;
}

std::vector<MenuItemInfo> MenuItems(HMENU menu) {
    Lock lock(Kernel::Mutex());
    std::vector<MenuItemInfo> items;
    if (Menu* m = FindMenu(lock, menu))
        for (const MenuItem& i : m->items)
            items.push_back(MenuItemInfo{i.id, i.flags, i.data, i.text});
    return items;
}

} // namespace cesim

using namespace cesim;

extern "C" {

HMENU CreatePopupMenu(void) {
    DWORD error = 0;
    if (ShouldFail("CreatePopupMenu", &error)) {
        SetLastError(error);
        return nullptr;
    }
    Lock lock(Kernel::Mutex());
    std::unique_ptr<Menu> menu(new Menu);
    menu->handle = reinterpret_cast<HMENU>(S().nextHandle);
    S().nextHandle += 4;
    menu->processId = Kernel::Current(lock).processId;
    HMENU handle = menu->handle;
    S().menus[uintptr_t(handle)] = std::move(menu);
    return handle;
}

BOOL DestroyMenu(HMENU menu) {
    Lock lock(Kernel::Mutex());
    if (!Valid(lock, menu))
        return FALSE;
    S().menus.erase(uintptr_t(menu));
    return TRUE;
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR item) {
    DWORD error = 0;
    if (ShouldFail("InsertMenuW", &error)) {
        SetLastError(error);
        return FALSE;
    }
    Lock lock(Kernel::Mutex());
    Menu* m = Valid(lock, menu);
    if (!m)
        return FALSE;
    // Cascading menus are not part of this device.
    if (flags & MF_POPUP) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuItem added;
    added.flags = flags & kTypeAndState;
    added.id = UINT(id);
    if (flags & MF_OWNERDRAW)
        added.data = ULONG_PTR(item);
    else if (!(flags & (MF_SEPARATOR | MF_BITMAP)))
        added.text = U16(item);
    size_t at = m->items.size();
    if (flags & MF_BYPOSITION) {
        at = std::min<size_t>(position, at);
    } else {
        // By command: in front of the item with that id, else at the end.
        for (size_t i = 0; i < m->items.size(); ++i)
            if (m->items[i].id == position && !(m->items[i].flags & MF_SEPARATOR)) {
                at = i;
                break;
            }
    }
    m->items.insert(m->items.begin() + at, added);
    return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR item) {
    return InsertMenuW(menu, 0xFFFFFFFF, flags | MF_BYPOSITION, id, item);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
    Lock lock(Kernel::Mutex());
    Menu* m = Valid(lock, menu);
    MenuItem* i = m ? ItemOf(*m, item, check) : nullptr;
    if (!i)
        return 0xFFFFFFFF;
    DWORD previous = i->flags & MF_CHECKED;
    i->flags = (i->flags & ~UINT(MF_CHECKED)) | (check & MF_CHECKED);
    return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    Lock lock(Kernel::Mutex());
    Menu* m = Valid(lock, menu);
    MenuItem* i = m ? ItemOf(*m, item, enable) : nullptr;
    if (!i)
        return BOOL(0xFFFFFFFF);
    UINT previous = i->flags & (MF_GRAYED | MF_DISABLED);
    i->flags = (i->flags & ~UINT(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return BOOL(previous);
}

int GetMenuItemCount(HMENU menu) {
    Lock lock(Kernel::Mutex());
    Menu* m = Valid(lock, menu);
    return m ? int(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    Lock lock(Kernel::Mutex());
    Menu* m = Valid(lock, menu);
    if (!m || position < 0 || size_t(position) >= m->items.size())
        return 0xFFFFFFFF;
    return m->items[size_t(position)].id;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    Lock lock(Kernel::Mutex());
    Menu* m = Valid(lock, menu);
    MenuItem* i = m ? ItemOf(*m, item, flags) : nullptr;
    return i ? i->flags : 0xFFFFFFFF;
}

} // extern "C"
