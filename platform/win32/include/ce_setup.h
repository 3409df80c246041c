// The setup library convention of the Windows CE installer, which the desktop does not have:
// the four functions a setup DLL exports by name, their arguments and the codes they answer.
#ifndef VEXO_WIN32_CE_SETUP_H
#define VEXO_WIN32_CE_SETUP_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Before the installer copies any file.
typedef enum { codeINSTALL_INIT_CONTINUE = 0, codeINSTALL_INIT_CANCEL } codeINSTALL_INIT;

// After the files are in place; UNINSTALL makes the installer take the installation back.
typedef enum { codeINSTALL_EXIT_DONE = 0, codeINSTALL_EXIT_UNINSTALL } codeINSTALL_EXIT;

// Before the files are removed; CANCEL keeps the application installed.
typedef enum { codeUNINSTALL_INIT_CONTINUE = 0, codeUNINSTALL_INIT_CANCEL } codeUNINSTALL_INIT;

// After the files are removed.
typedef enum { codeUNINSTALL_EXIT_DONE = 0 } codeUNINSTALL_EXIT;

codeINSTALL_INIT Install_Init(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                              LPCWSTR installDir);
codeINSTALL_EXIT Install_Exit(HWND parent, LPCWSTR installDir, WORD failedDirs, WORD failedFiles,
                              WORD failedRegKeys, WORD failedRegValues, WORD failedShortcuts);
codeUNINSTALL_INIT Uninstall_Init(HWND parent, LPCWSTR installDir);
codeUNINSTALL_EXIT Uninstall_Exit(HWND parent);

// What the installer holds once it has found each function by its name.
typedef codeINSTALL_INIT (*pfnINSTALL_INIT)(HWND, BOOL, BOOL, LPCWSTR);
typedef codeINSTALL_EXIT (*pfnINSTALL_EXIT)(HWND, LPCWSTR, WORD, WORD, WORD, WORD, WORD);
typedef codeUNINSTALL_INIT (*pfnUNINSTALL_INIT)(HWND, LPCWSTR);
typedef codeUNINSTALL_EXIT (*pfnUNINSTALL_EXIT)(HWND);

#ifdef __cplusplus
}
#endif

#endif
