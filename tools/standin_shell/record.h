// The record of messages that the simulated programs receive: one line per message, written
// through at once, so that a test can read it while the shell runs.
#pragma once

#include <windows.h>

#include <string>

// How a message reached a window procedure.
enum class Delivery {
    Sent,   // sent from another thread or process
    Posted, // taken from the thread's queue by its message loop
    Local,  // called on the window's own thread, or caused by its own handling
};

class Record {
public:
    // An empty path records nothing.
    explicit Record(const std::wstring& path);
    ~Record();
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    // Line: title, delivery, message, wParam, lParam, the message's name; tab-separated.
    void Write(const std::wstring& title, Delivery delivery, UINT message, WPARAM wParam,
               LPARAM lParam);

private:
    HANDLE file_;
    CRITICAL_SECTION lock_;
};

std::string Utf8(const std::wstring& text);
