// The driver's record of the messages that reach the window procedures of one window class,
// to compare with what a test expects ("the button window got WM_COPYDATA with this text").
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cesim {

struct WatchedMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // WM_COPYDATA: what its COPYDATASTRUCT held when it was delivered.
    ULONG_PTR copyDataTag = 0;
    DWORD copyDataSize = 0;
    std::vector<uint8_t> copyData;
};

// Records from now on every message delivered to a window of the class, sent or posted,
// including windows made later; a new call forgets the earlier record. Boot stops it.
void WatchMessages(const std::u16string& className);
std::vector<WatchedMessage> WatchedMessages();

} // namespace cesim
