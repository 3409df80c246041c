// Telling the running vexo to read its settings again.
#include <string>

#include "tools/vexocfg/notify.h"
#include "tools/vexocfg/text.h"

namespace vexocfg {

namespace {

const char16_t kReadConfigMessage[] = u"Holmvest::Vexo::Messages::ReadConfig";
const char16_t kTaskbarClass[] = u"HHTaskBar";
const char16_t kButtonClass[] = u"VexoClass";

// The button is a child of the taskbar, not a top-level window, so neither a broadcast nor
// FindWindow reaches it. The class name is compared whole: a longer name sharing the
// prefix is another window.
HWND FindButtonWindow() {
    HWND taskbar = FindWindowW(W(kTaskbarClass), nullptr);
    if (!taskbar)
        return nullptr;
    const std::u16string wanted = kButtonClass;
    for (HWND child = GetWindow(taskbar, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char16_t name[64] = {};
        const int length = GetClassNameW(child, W(name), 64);
        if (length == int(wanted.size()) && wanted == name)
            return child;
    }
    return nullptr;
}

} // namespace

bool NotifyVexo() {
    HWND button = FindButtonWindow();
    if (!button)
        return false;
    const UINT message = RegisterWindowMessageW(W(kReadConfigMessage));
    if (message)
        SendMessageW(button, message, 0, 0);
    return message != 0;
}

} // namespace vexocfg
