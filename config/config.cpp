// The settings record and the two registry readers it is built from.
#include "config/config.h"

#include <new>

const WCHAR kSettingsKey[] = L"Software\\Holmvest\\Vexo";
const WCHAR kDefaultLogFile[] = L"\\vexo.log";

static WCHAR kEmptyText[] = L"";

// Texts still at their built-in defaults point at these and are never freed.
static WCHAR* DefaultWiFiDevice() { return kEmptyText; }
static WCHAR* DefaultLogFile() { return const_cast<WCHAR*>(kDefaultLogFile); }

// Values longer than this are not settings; refusing them keeps the size arithmetic safe.
static const DWORD kMaxTextBytes = 0x10000;
// Likewise for the number of entries a list may claim.
static const DWORD kMaxListEntries = 0x10000;

Config config;

DWORD RegReadDword(HKEY key, LPCWSTR name, DWORD defaultValue) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, name, NULL, NULL, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return defaultValue;
    // Fewer bytes would leave part of the number unset.
    if (size != sizeof value)
        return defaultValue;
    return value;
}

static WCHAR* CopyText(LPCWSTR text) {
    size_t length = wcslen(text);
    WCHAR* copy = static_cast<WCHAR*>(malloc((length + 1) * sizeof(WCHAR)));
    if (copy)
        memcpy(copy, text, (length + 1) * sizeof(WCHAR));
    return copy;
}

WCHAR* RegReadString(HKEY key, LPCWSTR name, LPCWSTR defaultValue) {
    DWORD size = 0;
    if (RegQueryValueExW(key, name, NULL, NULL, NULL, &size) == ERROR_SUCCESS &&
        size <= kMaxTextBytes) {
        // Room for the data plus a terminator that the stored text may lack; the query gets
        // only the size it reported, so the zeroed tail always survives.
        DWORD capacity = (size + 1) * sizeof(WCHAR);
        WCHAR* buffer = static_cast<WCHAR*>(malloc(capacity));
        if (buffer) {
            memset(buffer, 0, capacity);
            DWORD read = size;
            if (RegQueryValueExW(key, name, NULL, NULL, reinterpret_cast<BYTE*>(buffer),
                                 &read) == ERROR_SUCCESS)
                return buffer;
            free(buffer);
        }
    }
    return CopyText(defaultValue);
}

AppException::AppException() : ExeName(NULL), TapAction(0), GestureAction(1) {}

AppException::~AppException() { free(ExeName); }

void AppException::Read(HKEY key) {
    free(ExeName);
    ExeName = RegReadString(key, L"ExeName", L"");
    TapAction = RegReadDword(key, L"TapAction", 0);
    GestureAction = RegReadDword(key, L"GestureAction", 1);
}

Config::Config()
    : InstallDir(NULL), TapAction(0), TapAndHoldAction(2), GestureAction(1), AltTab(1),
      IgnoredApps(NULL), IgnoredAppsCount(0), Exceptions(NULL), ExceptionsCount(0), TLHWKey(0),
      CompactMode(0), ShowDesktop(1), ShowSoftReset(0), ShowDisplayOff(0),
      ShowLandscapeRight(0), ShowLandscapeLeft(0), ShowPowerOff(0), ShowWiFi(0), ShowBth(0),
      ShowTaskOperations(1), WiFiDevice(DefaultWiFiDevice()),
      ClrMenuHiFg(GetSysColor(COLOR_HIGHLIGHTTEXT | SYS_COLOR_INDEX_FLAG)),
      ClrMenuHiBg(GetSysColor(COLOR_HIGHLIGHT | SYS_COLOR_INDEX_FLAG)),
      ClrMenuFg(GetSysColor(COLOR_MENUTEXT | SYS_COLOR_INDEX_FLAG)),
      ClrMenuBg(GetSysColor(COLOR_MENU | SYS_COLOR_INDEX_FLAG)), ConfirmSoftReset(1),
      ConfirmTerminate(1), KillTimeout(10), OldStyleButton(0), ShowDot(1), OldStyleBkgnd(0),
      LongPressTimeout(500), AltTabTimeout(500), Page(0), LogLevel(0),
      LogFile(DefaultLogFile()), configuredMenuColors(0) {}

Config::~Config() { Release(); }

void Config::Release() {
    free(InstallDir);
    InstallDir = NULL;
    for (int i = 0; i < IgnoredAppsCount; ++i)
        free(IgnoredApps[i]);
    free(IgnoredApps);
    IgnoredApps = NULL;
    IgnoredAppsCount = 0;
    for (int i = 0; i < ExceptionsCount; ++i)
        delete Exceptions[i];
    free(Exceptions);
    Exceptions = NULL;
    ExceptionsCount = 0;
    if (WiFiDevice != DefaultWiFiDevice())
        free(WiFiDevice);
    WiFiDevice = DefaultWiFiDevice();
    if (LogFile != DefaultLogFile())
        free(LogFile);
    LogFile = DefaultLogFile();
}

// A text the loader could not even copy keeps the built-in default.
static WCHAR* TextOrDefault(WCHAR* text, WCHAR* builtIn) { return text ? text : builtIn; }

LONG Config::Load() {
    Release();
    HKEY settings;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, 0, &settings);
    if (status != ERROR_SUCCESS)
        return status;

    InstallDir = RegReadString(settings, L"InstallDir", L"");
    TapAction = RegReadDword(settings, L"TapAction", 0);
    TapAndHoldAction = RegReadDword(settings, L"TapAndHoldAction", 2);
    GestureAction = RegReadDword(settings, L"GestureAction", 1);
    TLHWKey = RegReadDword(settings, L"TLHWKey", 0);
    AltTab = RegReadDword(settings, L"AltTab", 1);
    CompactMode = RegReadDword(settings, L"CompactMode", 0);
    ShowDesktop = RegReadDword(settings, L"ShowDesktop", 1);
    ShowSoftReset = RegReadDword(settings, L"ShowSoftReset", 0);
    ShowDisplayOff = RegReadDword(settings, L"ShowDisplayOff", 0);
    ShowLandscapeLeft = RegReadDword(settings, L"ShowLandscapeLeft", 0);
    ShowLandscapeRight = RegReadDword(settings, L"ShowLandscapeRight", 0);
    ShowPowerOff = RegReadDword(settings, L"ShowPowerOff", 0);
    ShowTaskOperations = RegReadDword(settings, L"ShowTaskOperations", 1);
    ShowWiFi = RegReadDword(settings, L"ShowWiFi", 0);
    ShowBth = RegReadDword(settings, L"ShowBth", 0);
    WiFiDevice = TextOrDefault(RegReadString(settings, L"WiFiDevice", L""), DefaultWiFiDevice());

    LoadExceptions(settings);
    LoadIgnoredApps(settings);

    configuredMenuColors = 0;
    ClrMenuHiBg = LoadMenuColor(settings, L"ClrMenuHiBg", COLOR_HIGHLIGHT, MENU_HI_BG);
    ClrMenuHiFg = LoadMenuColor(settings, L"ClrMenuHiFg", COLOR_HIGHLIGHTTEXT, MENU_HI_FG);
    ClrMenuBg = LoadMenuColor(settings, L"ClrMenuBg", COLOR_MENU, MENU_BG);
    ClrMenuFg = LoadMenuColor(settings, L"ClrMenuFg", COLOR_MENUTEXT, MENU_FG);

    Page = RegReadDword(settings, L"Page", 0);
    OldStyleButton = RegReadDword(settings, L"OldStyleButton", 0);
    ConfirmSoftReset = RegReadDword(settings, L"ConfirmSoftReset", 1);
    ConfirmTerminate = RegReadDword(settings, L"ConfirmTerminate", 1);
    KillTimeout = RegReadDword(settings, L"KillTimeout", 10);
    ShowDot = RegReadDword(settings, L"ShowDot", 1);
    OldStyleBkgnd = RegReadDword(settings, L"OldStyleBkgnd", 0);
    LongPressTimeout = RegReadDword(settings, L"LongPressTimeout", 500);
    AltTabTimeout = RegReadDword(settings, L"AltTabTimeout", 500);
    LogFile = TextOrDefault(RegReadString(settings, L"LogFile", kDefaultLogFile), DefaultLogFile());
    LogLevel = RegReadDword(settings, L"LogLevel", 0);

    RegCloseKey(settings);
    return ERROR_SUCCESS;
}

COLORREF Config::LoadMenuColor(HKEY settings, LPCWSTR name, int systemColor, DWORD bit) {
    // The system colour is taken just before the read, so the default follows the theme.
    COLORREF fallback = GetSysColor(systemColor | SYS_COLOR_INDEX_FLAG);
    COLORREF value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(settings, name, NULL, NULL, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof value)
        return fallback;
    configuredMenuColors |= bit;
    return value;
}

void Config::LoadExceptions(HKEY settings) {
    HKEY exceptions;
    if (RegOpenKeyExW(settings, L"Exceptions", 0, 0, &exceptions) != ERROR_SUCCESS)
        return;
    DWORD subKeys = 0;
    DWORD longestName = 0;
    if (RegQueryInfoKeyW(exceptions, NULL, NULL, NULL, &subKeys, &longestName, NULL, NULL, NULL,
                         NULL, NULL, NULL) == ERROR_SUCCESS &&
        subKeys > 0 && subKeys <= kMaxListEntries && longestName < kMaxTextBytes) {
        Exceptions = static_cast<AppException**>(malloc(subKeys * sizeof(AppException*)));
        WCHAR* name = static_cast<WCHAR*>(malloc((longestName + 1) * sizeof(WCHAR)));
        if (Exceptions && name) {
            for (DWORD i = 0; i < subKeys; ++i) {
                DWORD nameLength = longestName + 1;
                if (RegEnumKeyExW(exceptions, i, name, &nameLength, NULL, NULL, NULL, NULL) !=
                    ERROR_SUCCESS)
                    continue;
                HKEY program;
                if (RegOpenKeyExW(exceptions, name, 0, KEY_ALL_ACCESS, &program) != ERROR_SUCCESS)
                    continue;
                AppException* record = new (std::nothrow) AppException;
                if (record) {
                    record->Read(program);
                    Exceptions[ExceptionsCount++] = record;
                }
                RegCloseKey(program);
            }
        } else {
            // Without both buffers there is no list, rather than a list of unset slots.
            free(Exceptions);
            Exceptions = NULL;
        }
        free(name);
    }
    RegCloseKey(exceptions);
}

void Config::LoadIgnoredApps(HKEY settings) {
    HKEY ignored;
    if (RegOpenKeyExW(settings, L"IgnoredApps", 0, 0, &ignored) != ERROR_SUCCESS)
        return;
    DWORD values = 0;
    if (RegQueryInfoKeyW(ignored, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL,
                         NULL) == ERROR_SUCCESS &&
        values > 0 && values <= kMaxListEntries) {
        IgnoredApps = static_cast<WCHAR**>(malloc(values * sizeof(WCHAR*)));
        for (DWORD i = 0; IgnoredApps && i < values; ++i) {
            WCHAR name[64];
            memset(name, 0, sizeof name);
            _snwprintf(name, 63, L"Item%d", int(i));
            WCHAR* path = RegReadString(ignored, name, L"");
            if (path && path[0])
                IgnoredApps[IgnoredAppsCount++] = path;
            else
                free(path);
        }
    }
    RegCloseKey(ignored);
}
