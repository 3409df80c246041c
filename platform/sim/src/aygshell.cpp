// Tap-and-hold recognition of the shell library: a wait on the virtual clock that watches the
// stylus and leaves the message queue as it finds it.
#include <aygshell.h>

#include <cesim/stylus.h>

#include "input.h"
#include "windowing.h"

using namespace cesim;

extern "C" DWORD SHRecognizeGesture(SHRGINFO* info) {
    if (!info)
        return 0;
    int slackX = GetSystemMetrics(SM_CXDRAG);
    int slackY = GetSystemMetrics(SM_CYDRAG);
    Kernel::Lock lock(Kernel::Mutex());
    Window* client = WindowManager::Find(lock, info->hwndClient);
    if (!client)
        return 0;
    RECT r = WindowManager::ScreenRect(lock, *client);
    POINT down = {r.left + info->ptDown.x, r.top + info->ptDown.y};
    auto held = [&] { return StylusHeldNear(lock, down, slackX, slackY); };
    if (!held())
        return 0;
    bool interrupted = Kernel::Wait(
        lock, [&] { return !held(); }, kGestureHoldMs, true);
    return interrupted ? 0 : GN_CONTEXTMENU;
}
