// The diagnostic log: one time-stamped 8-bit line per message, from any thread.
#ifndef VEXO_CONFIG_LOG_H
#define VEXO_CONFIG_LOG_H

#include <windows.h>

class Log {
public:
    // A level other than 0 replaces any previous file at path with a new, empty one.
    Log(LPCWSTR path, int level);
    virtual ~Log();

    // Writes "HH:mm:ss - message\n" when level is at most the log's level.
    void Write(int level, const char* format, ...);

    HANDLE file;
    CRITICAL_SECTION lock;
    int level;

private:
    Log(const Log&);
    Log& operator=(const Log&);
};

// Null while the program runs without a log; every caller tests it.
extern Log* appLog;

#endif
