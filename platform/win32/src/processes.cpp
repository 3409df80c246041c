// Processes as Windows CE has them: handles opened without asking for rights, good for waiting
// and terminating, that name the process's executable when given to GetModuleFileNameW, and
// CreateProcessW without start-up information or the program's name in the command line.
#include <windows.h>

#include <stdlib.h>

// The real calls, under the names this file gives the CE meaning.
#undef OpenProcess
#undef GetModuleFileNameW
#undef CreateProcessW

extern "C" HANDLE WINAPI CeOpenProcess(DWORD access, BOOL inherit, DWORD processId) {
    DWORD always = access | PROCESS_QUERY_LIMITED_INFORMATION;
    HANDLE process = OpenProcess(always | SYNCHRONIZE | PROCESS_TERMINATE, inherit, processId);
    // A process of another user may be waited for or ended only where the desktop allows it.
    if (!process && GetLastError() == ERROR_ACCESS_DENIED)
        process = OpenProcess(always, inherit, processId);
    return process;
}

static bool IsLoadedModule(HMODULE module) {
    HMODULE found = NULL;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(module), &found) &&
           found == module;
}

// Mirrors the desktop call's results: the length without the terminator, or, when the path
// does not fit, the capacity with the cut path terminated and ERROR_INSUFFICIENT_BUFFER.
static DWORD GetProcessImagePath(HANDLE process, LPWSTR fileName, DWORD capacity) {
    if (capacity == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const DWORD kLongestPath = 32768;
    WCHAR* path = static_cast<WCHAR*>(malloc(kLongestPath * sizeof(WCHAR)));
    if (!path) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    DWORD length = kLongestPath;
    DWORD result = 0;
    if (QueryFullProcessImageNameW(process, 0, path, &length)) {
        DWORD copied = length < capacity ? length : capacity - 1;
        memcpy(fileName, path, copied * sizeof(WCHAR));
        fileName[copied] = 0;
        SetLastError(copied < length ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
        result = copied < length ? capacity : length;
    }
    free(path);
    return result;
}

extern "C" DWORD WINAPI CeGetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD capacity) {
    if (module == NULL || IsLoadedModule(module))
        return GetModuleFileNameW(module, fileName, capacity);
    return GetProcessImagePath(reinterpret_cast<HANDLE>(module), fileName, capacity);
}

extern "C" BOOL WINAPI CeCreateProcessW(LPCWSTR imageName, LPWSTR commandLine,
                                        LPSECURITY_ATTRIBUTES processAttributes,
                                        LPSECURITY_ATTRIBUTES threadAttributes,
                                        BOOL inheritHandles, DWORD creationFlags,
                                        LPVOID environment, LPCWSTR currentDirectory,
                                        LPSTARTUPINFOW startupInfo,
                                        LPPROCESS_INFORMATION processInformation) {
    if (!imageName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    STARTUPINFOW defaults;
    memset(&defaults, 0, sizeof defaults);
    defaults.cb = sizeof defaults;
    // The desktop program skips its own name, the first word, to find its arguments.
    size_t imageLength = wcslen(imageName);
    size_t argumentsLength = commandLine ? wcslen(commandLine) : 0;
    WCHAR* line =
        static_cast<WCHAR*>(malloc((imageLength + argumentsLength + 4) * sizeof(WCHAR)));
    if (!line) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    WCHAR* end = line;
    *end++ = L'"';
    memcpy(end, imageName, imageLength * sizeof(WCHAR));
    end += imageLength;
    *end++ = L'"';
    if (argumentsLength) {
        *end++ = L' ';
        memcpy(end, commandLine, argumentsLength * sizeof(WCHAR));
        end += argumentsLength;
    }
    *end = 0;
    BOOL started = CreateProcessW(imageName, line, processAttributes, threadAttributes,
                                  inheritHandles, creationFlags, environment, currentDirectory,
                                  startupInfo ? startupInfo : &defaults, processInformation);
    DWORD error = GetLastError();
    free(line);
    SetLastError(error);
    return started;
}
