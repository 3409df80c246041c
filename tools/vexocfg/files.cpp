// Whole files through the platform's own file calls, so device paths work on the device.
#include <string>

#include "tools/vexocfg/files.h"
#include "tools/vexocfg/text.h"

namespace vexocfg {

namespace {

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

} // namespace

DWORD ReadWholeFile(const std::u16string& path, std::string* bytes) {
    HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorOr(ERROR_FILE_NOT_FOUND);
    DWORD status = ERROR_SUCCESS;
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
        status = LastErrorOr(ERROR_INVALID_HANDLE);
    } else if (size > kMaxFileBytes) {
        status = ERROR_NOT_ENOUGH_MEMORY;
    } else {
        bytes->assign(size, '\0');
        DWORD read = 0;
        if (size && !ReadFile(file, &(*bytes)[0], size, &read, nullptr))
            status = LastErrorOr(ERROR_INVALID_HANDLE);
        bytes->resize(read);
    }
    CloseHandle(file);
    return status;
}

DWORD WriteWholeFile(const std::u16string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    DWORD written = 0;
    DWORD status = ERROR_SUCCESS;
    if (!WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr))
        status = LastErrorOr(ERROR_DISK_FULL);
    else if (written != bytes.size())
        status = ERROR_DISK_FULL;
    CloseHandle(file);
    if (status != ERROR_SUCCESS)
        DeleteFileW(W(path));
    return status;
}

} // namespace vexocfg
