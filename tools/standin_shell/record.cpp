// The record of messages that the simulated programs receive.
#include "record.h"

#include <prsht.h>

#include <cstdio>

namespace {

const char* DeliveryName(Delivery delivery) {
    switch (delivery) {
    case Delivery::Sent:
        return "sent";
    case Delivery::Posted:
        return "posted";
    case Delivery::Local:
        return "local";
    }
    return "?";
}

// The messages a close protocol is made of, by name, so that a record reads without a table.
const char* MessageName(UINT message) {
    switch (message) {
    case WM_CREATE:
        return "WM_CREATE";
    case WM_DESTROY:
        return "WM_DESTROY";
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_QUIT:
        return "WM_QUIT";
    case WM_SHOWWINDOW:
        return "WM_SHOWWINDOW";
    case WM_ACTIVATE:
        return "WM_ACTIVATE";
    case WM_ENABLE:
        return "WM_ENABLE";
    case WM_CANCELMODE:
        return "WM_CANCELMODE";
    case WM_WINDOWPOSCHANGED:
        return "WM_WINDOWPOSCHANGED";
    case WM_GETTEXT:
        return "WM_GETTEXT";
    case WM_GETTEXTLENGTH:
        return "WM_GETTEXTLENGTH";
    case WM_SYSCOMMAND:
        return "WM_SYSCOMMAND";
    case WM_COMMAND:
        return "WM_COMMAND";
    case WM_TIMER:
        return "WM_TIMER";
    case PSM_PRESSBUTTON:
        return "PSM_PRESSBUTTON";
    case PSM_GETCURRENTPAGEHWND:
        return "PSM_GETCURRENTPAGEHWND";
    }
    return "-";
}

} // namespace

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr,
                            nullptr);
    return out;
}

Record::Record(const std::wstring& path) : file_(INVALID_HANDLE_VALUE) {
    InitializeCriticalSection(&lock_);
    if (!path.empty())
        file_ = CreateFileW(path.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

Record::~Record() {
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    DeleteCriticalSection(&lock_);
}

void Record::Write(const std::wstring& title, Delivery delivery, UINT message, WPARAM wParam,
                   LPARAM lParam) {
    if (file_ == INVALID_HANDLE_VALUE)
        return;
    char fields[160];
    std::snprintf(fields, sizeof fields, "\t%s\t0x%04X\t0x%llX\t0x%llX\t%s\n",
                  DeliveryName(delivery), message, static_cast<unsigned long long>(wParam),
                  static_cast<unsigned long long>(lParam), MessageName(message));
    std::string line = Utf8(title) + fields;
    EnterCriticalSection(&lock_);
    // Unbuffered: every line is in the file when Write returns.
    DWORD written = 0;
    WriteFile(file_, line.data(), DWORD(line.size()), &written, nullptr);
    LeaveCriticalSection(&lock_);
}
