// Registry keys as Windows CE has them: whatever access is asked, the handle reads and writes;
// a key is deleted with everything under it.
#include <windows.h>

#undef RegOpenKeyExW
#undef RegDeleteKeyW

extern "C" LONG WINAPI CeRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access,
                                       PHKEY result) {
    LONG status = RegOpenKeyExW(key, subKey, options, access | KEY_READ | KEY_WRITE, result);
    // Where the desktop keeps writing to administrators, the key is at least read.
    if (status == ERROR_ACCESS_DENIED)
        status = RegOpenKeyExW(key, subKey, options, KEY_READ, result);
    return status;
}

extern "C" LONG WINAPI CeRegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    if (!subKey || !subKey[0])
        return RegDeleteKeyW(key, subKey);
    return RegDeleteTreeW(key, subKey);
}
