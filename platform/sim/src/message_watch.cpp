// The driver's record of the messages that reach the window procedures of one window class.
#include <cesim/message_watch.h>

#include "messages.h"
#include "windowing.h"

namespace cesim {

namespace {

struct State {
    bool watching = false;
    std::u16string className;
    std::vector<WatchedMessage> record;
};

State& S() {
    static State* state = new State;
    return *state;
}

} // namespace

void RecordWatchedMessage(const Kernel::Lock&, const Window& window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    if (!S().watching || !EqualsNoCase(window.className, S().className))
        return;
    WatchedMessage m;
    m.window = window.handle;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    if (message == WM_COPYDATA && lParam) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        m.copyDataTag = data->dwData;
        m.copyDataSize = data->cbData;
        if (data->lpData)
            m.copyData.assign(static_cast<const uint8_t*>(data->lpData),
                              static_cast<const uint8_t*>(data->lpData) + data->cbData);
    }
    S().record.push_back(std::move(m));
}

void ResetMessageWatch(const Kernel::Lock&) {
    S() = State();
}

void WatchMessages(const std::u16string& className) {
    Kernel::Lock lock(Kernel::Mutex());
    S().watching = true;
    S().className = className;
    S().record.clear();
}

std::vector<WatchedMessage> WatchedMessages() {
    Kernel::Lock lock(Kernel::Mutex());
    return S().record;
}

} // namespace cesim
