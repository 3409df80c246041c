// The settings record, loaded from HKEY_CURRENT_USER\Software\Holmvest\Vexo.
#ifndef VEXO_CONFIG_CONFIG_H
#define VEXO_CONFIG_CONFIG_H

#include <windows.h>

// Per-program override of the tap and gesture actions, matched by executable path.
class AppException {
public:
    AppException();
    ~AppException();

    // Fills the record from an open subkey of "Exceptions".
    void Read(HKEY key);

    WCHAR* ExeName;
    DWORD TapAction;
    DWORD GestureAction;

private:
    AppException(const AppException&);
    AppException& operator=(const AppException&);
};

class Config {
public:
    Config();
    virtual ~Config();

    // Reads every setting; returns the error of opening the settings key (0 when it opened).
    LONG Load();
    // Frees the texts and lists and returns them to their construction defaults.
    void Release();

    WCHAR* InstallDir;   // null until a load opens the settings key, and after one that fails
    DWORD TapAction;
    DWORD TapAndHoldAction;
    DWORD GestureAction;
    DWORD AltTab;
    WCHAR** IgnoredApps;
    int IgnoredAppsCount;
    AppException** Exceptions;
    int ExceptionsCount;
    DWORD TLHWKey;
    DWORD CompactMode;
    DWORD ShowDesktop;
    DWORD ShowSoftReset;
    DWORD ShowDisplayOff;
    DWORD ShowLandscapeRight;
    DWORD ShowLandscapeLeft;
    DWORD ShowPowerOff;
    DWORD ShowWiFi;
    DWORD ShowBth;
    DWORD ShowTaskOperations;
    WCHAR* WiFiDevice;
    COLORREF ClrMenuHiFg;
    COLORREF ClrMenuHiBg;
    COLORREF ClrMenuFg;
    COLORREF ClrMenuBg;
    DWORD ConfirmSoftReset;
    DWORD ConfirmTerminate;
    DWORD KillTimeout;
    DWORD OldStyleButton;
    DWORD ShowDot;
    DWORD OldStyleBkgnd;
    DWORD LongPressTimeout;
    DWORD AltTabTimeout;
    DWORD Page;
    DWORD LogLevel;
    WCHAR* LogFile;

    // Which of the four menu colours the settings gave (MenuColor bits); the others follow
    // the system's colours whenever the theme is reloaded.
    DWORD configuredMenuColors;
    enum MenuColor {
        MENU_HI_FG = 1,
        MENU_HI_BG = 2,
        MENU_FG = 4,
        MENU_BG = 8
    };

private:
    Config(const Config&);
    Config& operator=(const Config&);
    void LoadExceptions(HKEY settings);
    void LoadIgnoredApps(HKEY settings);
    COLORREF LoadMenuColor(HKEY settings, LPCWSTR name, int systemColor, DWORD bit);
};

extern Config config;

extern const WCHAR kSettingsKey[];
extern const WCHAR kDefaultLogFile[];

// Reads a 4-byte number; any error, or data of another size, gives the default.
DWORD RegReadDword(HKEY key, LPCWSTR name, DWORD defaultValue);
// Returns a terminated copy of a text value (or of the default) that the caller frees with
// free(); null only when even the copy of the default cannot be made.
WCHAR* RegReadString(HKEY key, LPCWSTR name, LPCWSTR defaultValue);

#endif
