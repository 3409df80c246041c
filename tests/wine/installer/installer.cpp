// Plays the CE installer under Wine: loads a setup library, finds its four hooks by name and
// calls them in the installer's order around copying vexo.exe into the installation folder or
// deleting it. Prints one line per step for the script that runs it.
//
//   setup-installer install SETUP.DLL VEXO.EXE FOLDER   Install_Init, copy, Install_Exit
//   setup-installer uninstall SETUP.DLL FOLDER          Uninstall_Init, delete, Uninstall_Exit
//   setup-installer running                             the file the running vexo runs from
//   setup-installer hung-button                         a vexo that stops answering at WM_CLOSE
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

typedef int (*InstallInit)(HWND, BOOL, BOOL, LPCWSTR);
typedef int (*InstallExit)(HWND, LPCWSTR, WORD, WORD, WORD, WORD, WORD);
typedef int (*UninstallInit)(HWND, LPCWSTR);
typedef int (*UninstallExit)(HWND);

constexpr int kUsage = 2;
constexpr int kNoLibrary = 3;

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

struct Hooks {
    HMODULE library = nullptr;
    InstallInit installInit = nullptr;
    InstallExit installExit = nullptr;
    UninstallInit uninstallInit = nullptr;
    UninstallExit uninstallExit = nullptr;
};

// Every hook must be there under its plain name, or the library is refused.
bool Load(const wchar_t* path, Hooks* hooks) {
    hooks->library = LoadLibraryW(path);
    if (!hooks->library) {
        std::printf("load=failed %lu\n", GetLastError());
        return false;
    }
    hooks->installInit = reinterpret_cast<InstallInit>(
        reinterpret_cast<void*>(GetProcAddress(hooks->library, "Install_Init")));
    hooks->installExit = reinterpret_cast<InstallExit>(
        reinterpret_cast<void*>(GetProcAddress(hooks->library, "Install_Exit")));
    hooks->uninstallInit = reinterpret_cast<UninstallInit>(
        reinterpret_cast<void*>(GetProcAddress(hooks->library, "Uninstall_Init")));
    hooks->uninstallExit = reinterpret_cast<UninstallExit>(
        reinterpret_cast<void*>(GetProcAddress(hooks->library, "Uninstall_Exit")));
    bool all =
        hooks->installInit && hooks->installExit && hooks->uninstallInit && hooks->uninstallExit;
    std::printf("load=%s\n", all ? "ok" : "missing exports");
    return all;
}

int Install(const Hooks& hooks, const std::wstring& program, const std::wstring& folder) {
    DWORD began = GetTickCount();
    std::printf("init=%d\n", hooks.installInit(nullptr, TRUE, FALSE, folder.c_str()));
    std::printf("init-ms=%lu\n", GetTickCount() - began);
    // The folder and the ones above it, as the installer makes them.
    for (size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos)
            break;
    }
    std::wstring target = folder + L"\\vexo.exe";
    WORD failed = 0;
    if (CopyFileW(program.c_str(), target.c_str(), FALSE)) {
        std::printf("copy=ok\n");
    } else {
        std::printf("copy=failed %lu\n", GetLastError());
        failed = 1;
    }
    std::fflush(stdout);
    std::printf("exit=%d\n", hooks.installExit(nullptr, folder.c_str(), 0, failed, 0, 0, 0));
    return 0;
}

int Uninstall(const Hooks& hooks, const std::wstring& folder) {
    int init = hooks.uninstallInit(nullptr, folder.c_str());
    std::printf("init=%d\n", init);
    if (init != 0)
        return 0;
    std::wstring target = folder + L"\\vexo.exe";
    if (DeleteFileW(target.c_str()))
        std::printf("delete=ok\n");
    else
        std::printf("delete=failed %lu\n", GetLastError());
    std::printf("exit=%d\n", hooks.uninstallExit(nullptr));
    return 0;
}

// The running vexo is the one whose button window sits under the taskbar.
int Running() {
    HWND button = FindWindowExW(FindWindowW(L"HHTaskBar", nullptr), nullptr, L"VexoClass", nullptr);
    DWORD pid = 0;
    if (button)
        GetWindowThreadProcessId(button, &pid);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid) : nullptr;
    wchar_t path[MAX_PATH] = L"";
    DWORD length = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process, 0, path, &length)) {
        std::printf("running=none\n");
        return 0;
    }
    CloseHandle(process);
    std::printf("running=%s\n", Utf8(path).c_str());
    std::printf("pid=%lu\n", static_cast<unsigned long>(pid));
    return 0;
}

LRESULT CALLBACK HungProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE)
        Sleep(INFINITE);
    return DefWindowProcW(window, message, wParam, lParam);
}

// A button window of vexo's class under the taskbar whose program hangs when asked to close.
int HungButton() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HungProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VexoClass";
    RegisterClassW(&wc);
    HWND taskbar = FindWindowW(L"HHTaskBar", nullptr);
    if (!taskbar || !CreateWindowExW(0, L"VexoClass", L"VexoWindow", WS_CHILD | WS_VISIBLE, 212, 2,
                                     28, 22, taskbar, nullptr, wc.hInstance, nullptr)) {
        std::printf("button=failed\n");
        return 1;
    }
    std::printf("button=ok\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0))
        DispatchMessageW(&msg);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring command = argc > 1 ? argv[1] : L"";
    int result = kUsage;
    if (command == L"running" && argc == 2) {
        result = Running();
    } else if (command == L"hung-button" && argc == 2) {
        result = HungButton();
    } else if (command == L"install" && argc == 5) {
        Hooks hooks;
        result = Load(argv[2], &hooks) ? Install(hooks, argv[3], argv[4]) : kNoLibrary;
    } else if (command == L"uninstall" && argc == 4) {
        Hooks hooks;
        result = Load(argv[2], &hooks) ? Uninstall(hooks, argv[3]) : kNoLibrary;
    } else {
        std::fprintf(stderr, "usage: setup-installer install SETUP.DLL VEXO.EXE FOLDER\n"
                             "       setup-installer uninstall SETUP.DLL FOLDER\n"
                             "       setup-installer running\n"
                             "       setup-installer hung-button\n");
    }
    std::fflush(stdout);
    return result;
}
