// The diagnostic log.
#include "config/log.h"

Log* appLog = NULL;

Log::Log(LPCWSTR path, int level) : file(NULL), level(level) {
    InitializeCriticalSection(&lock);
    if (level == 0)
        return;
    DeleteFileW(path);
    file = CreateFileW(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

Log::~Log() {
    if (file && file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    DeleteCriticalSection(&lock);
}

void Log::Write(int messageLevel, const char* format, ...) {
    if (messageLevel > level)
        return;
    EnterCriticalSection(&lock);

    char message[1024];
    va_list args;
    va_start(args, format);
    // A message longer than the buffer is cut, never written past it.
    _vsnprintf(message, sizeof message - 1, format, args);
    va_end(args);
    message[sizeof message - 1] = 0;

    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR wideTime[256];
    int length = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, L"HH:mm:ss", wideTime, 255);
    wideTime[length > 0 && length < 256 ? length : 0] = 0;
    char time[256];
    int bytes = WideCharToMultiByte(CP_OEMCP, 0, wideTime, -1, time, 255, NULL, NULL);
    time[bytes > 0 && bytes < 256 ? bytes : 0] = 0;

    char line[2048];
    int lineLength = _snprintf(line, sizeof line - 1, "%s - %s\n", time, message);
    line[sizeof line - 1] = 0;
    if (lineLength < 0)
        lineLength = int(strlen(line));
    DWORD written = 0;
    WriteFile(file, line, DWORD(lineLength), &written, NULL);

    LeaveCriticalSection(&lock);
}
