// The device's file system, mapped into a host folder, and its local time and time formats.
#include "faults.h"
#include "kernel.h"

#include <cesim/device.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;
namespace fs = std::filesystem;

struct FileObject : KernelObject {
    int fd = -1;
    std::string hostPath;
    DWORD access = 0;
    DWORD share = 0;
    ~FileObject() override {
        if (fd >= 0)
            ::close(fd);
    }
};

struct State {
    // Every open file, to apply the sharing rules of the device.
    std::vector<std::weak_ptr<FileObject>> open;
    SYSTEMTIME base = {2026, 1, 1, 5, 9, 0, 0, 0};
};

State& S() {
    static State* state = new State;
    return *state;
}

void SetError(const Lock& held, DWORD error) {
    Kernel::Current(held).lastError = error;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

DWORD ErrorFromErrno(int e) {
    switch (e) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_DISK_FULL;
    }
    return ERROR_ACCESS_DENIED;
}

std::vector<std::shared_ptr<FileObject>> OpenFilesAt(const std::string& hostPath) {
    std::vector<std::shared_ptr<FileObject>> result;
    auto& open = S().open;
    for (auto it = open.begin(); it != open.end();) {
        if (auto f = it->lock()) {
            if (f->hostPath == hostPath)
                result.push_back(f);
            ++it;
        } else {
            it = open.erase(it);
        }
    }
    return result;
}

bool SharingAllows(const FileObject& existing, DWORD access, DWORD share) {
    if ((access & GENERIC_WRITE) && !(existing.share & FILE_SHARE_WRITE))
        return false;
    if ((access & GENERIC_READ) && !(existing.share & FILE_SHARE_READ))
        return false;
    if ((existing.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))
        return false;
    if ((existing.access & GENERIC_READ) && !(share & FILE_SHARE_READ))
        return false;
    return true;
}

// The loader keeps a running program's file open, so it can be read but neither replaced nor
// deleted until the program has ended.
bool IsRunningModule(const Lock& held, const std::string& hostPath) {
    std::string file = Lower(fs::path(hostPath).filename().string());
    for (const Process* p : Kernel::LiveProcesses(held)) {
        size_t slash = p->modulePath.find_last_of(u"\\/");
        std::u16string name =
            slash == std::u16string::npos ? p->modulePath : p->modulePath.substr(slash + 1);
        // The name first: resolving every program's path on each write would be slow.
        if (!name.empty() && Lower(Narrow(name)) == file && HostPath(p->modulePath) == hostPath)
            return true;
    }
    return false;
}

std::shared_ptr<FileObject> FindFile(const Lock& held, HANDLE handle) {
    return std::dynamic_pointer_cast<FileObject>(Kernel::FindHandle(held, handle));
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long days, int* year, int* month, int* day) {
    days += 719468;
    long era = (days >= 0 ? days : days - 146096) / 146097;
    long doe = days - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long y = yoe + era * 400;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    *day = int(doy - (153 * mp + 2) / 5 + 1);
    *month = int(mp < 10 ? mp + 3 : mp - 9);
    *year = int(y + (*month <= 2 ? 1 : 0));
}

long DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    long era = (year >= 0 ? year : year - 399) / 400;
    long yoe = year - era * 400;
    long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void AppendNumber(std::u16string& out, int value, int width) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*d", width, value);
    for (const char* p = digits; *p; ++p)
        out.push_back(char16_t(*p));
}

// Expands a time picture the way the device's NLS does for the pictures vexo uses.
std::u16string FormatTime(const SYSTEMTIME& t, const std::u16string& picture, DWORD flags) {
    std::u16string out;
    for (size_t i = 0; i < picture.size();) {
        char16_t c = picture[i];
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c)
            ++run;
        if (c == u'\'') {
            size_t end = picture.find(u'\'', i + 1);
            if (end == std::u16string::npos)
                end = picture.size();
            out += picture.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        int width = run >= 2 ? 2 : 1;
        if (c == u'H' || (c == u'h' && (flags & TIME_FORCE24HOURFORMAT))) {
            AppendNumber(out, t.wHour, width);
        } else if (c == u'h') {
            int h = t.wHour % 12;
            AppendNumber(out, h == 0 ? 12 : h, width);
        } else if (c == u'm') {
            AppendNumber(out, t.wMinute, width);
        } else if (c == u's') {
            if (!(flags & TIME_NOSECONDS))
                AppendNumber(out, t.wSecond, width);
        } else if (c == u't') {
            const char16_t* marker = t.wHour < 12 ? u"AM" : u"PM";
            out += run >= 2 ? std::u16string(marker) : std::u16string(1, marker[0]);
        } else {
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

} // namespace

std::string HostPath(const std::u16string& devicePath) {
    fs::path resolved(BootedWith().fileRoot);
    // Each folder entered, so that ".." goes back up but never above the device's root, as
    // Win32 resolves "\\..\\x" to "\\x"; no path of the device names a file of the host.
    std::vector<fs::path> entered;
    std::string path = Narrow(devicePath);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!entered.empty()) {
                resolved = entered.back();
                entered.pop_back();
            }
            continue;
        }
        entered.push_back(resolved);
        fs::path next = resolved / part;
        std::error_code ec;
        if (!fs::exists(next, ec) && fs::is_directory(resolved, ec)) {
            for (const auto& entry : fs::directory_iterator(resolved, ec)) {
                if (Lower(entry.path().filename().string()) == Lower(part)) {
                    next = entry.path();
                    break;
                }
            }
        }
        resolved = next;
    }
    return resolved.string();
}

void SetLocalTimeBase(const SYSTEMTIME& time) {
    Lock lock(Kernel::Mutex());
    S().base = time;
}

} // namespace cesim

using namespace cesim;

extern "C" {

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation, DWORD flags, HANDLE templateFile) {
    DWORD injected;
    bool fail = ShouldFail("CreateFileW", &injected);
    std::string host = path ? HostPath(U16(path)) : std::string();
    Lock lock(Kernel::Mutex());
    if (fail) {
        SetError(lock, injected);
        return INVALID_HANDLE_VALUE;
    }
    if (!path || !*path) {
        SetError(lock, ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool replaces =
        (access & GENERIC_WRITE) || creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING;
    if (replaces && IsRunningModule(lock, host)) {
        SetError(lock, ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    for (const auto& other : OpenFilesAt(host)) {
        if (!SharingAllows(*other, access, shareMode)) {
            SetError(lock, ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    }
    struct stat st;
    bool existed = ::stat(host.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int mode = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (creation) {
    case CREATE_NEW:
        if (existed) {
            SetError(lock, ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        mode |= O_CREAT;
        break;
    case CREATE_ALWAYS:
        mode |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        mode |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        mode |= O_TRUNC;
        break;
    default:
        SetError(lock, ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!existed && (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING)) {
        SetError(lock, ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(host.c_str(), mode | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetError(lock, errno == ENOENT && !existed ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<FileObject>();
    file->fd = fd;
    file->hostPath = host;
    file->access = access;
    file->share = shareMode;
    S().open.push_back(file);
    HANDLE handle = Kernel::AddHandle(lock, file);
    bool reportsExisting = existed && (creation == OPEN_ALWAYS || creation == CREATE_ALWAYS);
    SetError(lock, reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytes, LPDWORD written, void* overlapped) {
    DWORD injected;
    bool fail = ShouldFail("WriteFile", &injected);
    Lock lock(Kernel::Mutex());
    if (written)
        *written = 0;
    std::shared_ptr<FileObject> file = FindFile(lock, handle);
    if (!file) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (fail) {
        SetError(lock, injected);
        return FALSE;
    }
    if (!(file->access & GENERIC_WRITE)) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const char* data = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < bytes) {
        ssize_t n = ::write(file->fd, data + done, bytes - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetError(lock, ErrorFromErrno(errno));
            if (written)
                *written = done;
            return FALSE;
        }
        done += DWORD(n);
    }
    if (written)
        *written = done;
    return TRUE;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytes, LPDWORD read, void* overlapped) {
    DWORD injected;
    bool fail = ShouldFail("ReadFile", &injected);
    Lock lock(Kernel::Mutex());
    if (read)
        *read = 0;
    std::shared_ptr<FileObject> file = FindFile(lock, handle);
    if (!file) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (fail) {
        SetError(lock, injected);
        return FALSE;
    }
    if (!(file->access & GENERIC_READ)) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    char* data = static_cast<char*>(buffer);
    DWORD done = 0;
    while (done < bytes) {
        ssize_t n = ::read(file->fd, data + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetError(lock, ErrorFromErrno(errno));
            return FALSE;
        }
        if (n == 0)
            break;
        done += DWORD(n);
    }
    if (read)
        *read = done;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD high) {
    Lock lock(Kernel::Mutex());
    std::shared_ptr<FileObject> file = FindFile(lock, handle);
    struct stat st;
    if (!file || ::fstat(file->fd, &st) != 0) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (high)
        *high = DWORD(uint64_t(st.st_size) >> 32);
    return DWORD(st.st_size);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG high, DWORD method) {
    Lock lock(Kernel::Mutex());
    std::shared_ptr<FileObject> file = FindFile(lock, handle);
    if (!file) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    int64_t offset = high ? (int64_t(*high) << 32) | uint32_t(distance) : int64_t(distance);
    int whence = method == FILE_END ? SEEK_END : method == FILE_CURRENT ? SEEK_CUR : SEEK_SET;
    off_t at = ::lseek(file->fd, off_t(offset), whence);
    if (at < 0) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return INVALID_FILE_SIZE;
    }
    if (high)
        *high = LONG(uint64_t(at) >> 32);
    return DWORD(at);
}

BOOL DeleteFileW(LPCWSTR path) {
    DWORD injected;
    bool fail = ShouldFail("DeleteFileW", &injected);
    std::string host = path ? HostPath(U16(path)) : std::string();
    Lock lock(Kernel::Mutex());
    if (fail) {
        SetError(lock, injected);
        return FALSE;
    }
    if (!OpenFilesAt(host).empty() || IsRunningModule(lock, host)) {
        SetError(lock, ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    struct stat st;
    if (host.empty() || ::stat(host.c_str(), &st) != 0) {
        SetError(lock, ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (S_ISDIR(st.st_mode) || ::unlink(host.c_str()) != 0) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
    std::string host = path ? HostPath(U16(path)) : std::string();
    Lock lock(Kernel::Mutex());
    if (host.empty() || ::mkdir(host.c_str(), 0755) != 0) {
        SetError(lock, errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

void GetLocalTime(LPSYSTEMTIME time) {
    Lock lock(Kernel::Mutex());
    const SYSTEMTIME& b = S().base;
    int64_t ms = int64_t(Kernel::Now(lock)) + b.wMilliseconds +
                 1000 * (int64_t(b.wSecond) + 60 * (int64_t(b.wMinute) + 60 * b.wHour));
    long days = DaysFromCivil(b.wYear, b.wMonth, b.wDay) + long(ms / 86400000);
    ms %= 86400000;
    int year, month, day;
    CivilFromDays(days, &year, &month, &day);
    time->wYear = WORD(year);
    time->wMonth = WORD(month);
    time->wDay = WORD(day);
    time->wDayOfWeek = WORD((days + 4) % 7); // 1970-01-01 was a Thursday
    time->wHour = WORD(ms / 3600000);
    time->wMinute = WORD(ms / 60000 % 60);
    time->wSecond = WORD(ms / 1000 % 60);
    time->wMilliseconds = WORD(ms % 1000);
}

int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR buffer,
                   int capacity) {
    DWORD injected;
    bool fail = ShouldFail("GetTimeFormatW", &injected);
    SYSTEMTIME now;
    if (!time) {
        GetLocalTime(&now);
        time = &now;
    }
    Lock lock(Kernel::Mutex());
    if (fail) {
        SetError(lock, injected);
        return 0;
    }
    if (capacity < 0 || (capacity > 0 && !buffer) || time->wHour > 23 || time->wMinute > 59 ||
        time->wSecond > 59) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string text = FormatTime(*time, format ? U16(format) : u"h:mm:ss tt", flags);
    int needed = int(text.size()) + 1;
    if (capacity == 0)
        return needed;
    if (needed > capacity) {
        SetError(lock, ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; i < text.size(); ++i)
        buffer[i] = wchar_t(text[i]);
    buffer[text.size()] = 0;
    return needed;
}

} // extern "C"
