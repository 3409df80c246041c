// Where vexo is installed and the shortcut in the Startup folder that starts it at boot.
#ifndef VEXO_SETUP_SHORTCUT_H
#define VEXO_SETUP_SHORTCUT_H

#include <windows.h>

namespace VexoSetup {

// installDir, "\" and "vexo.exe" in a new string to free(); the folder is taken as it is
// given. NULL when no folder is given or memory runs out.
WCHAR* ProgramPath(LPCWSTR installDir);

// The Startup folder followed by "\Vexo.lnk" in a new string to free(); NULL when the folder
// cannot be found or memory runs out.
WCHAR* StartupShortcutPath();

// Puts into the Startup folder a shortcut to vexo.exe in installDir, with the path quoted,
// replacing the shortcut of an earlier installation. Returns the platform's success flag.
BOOL CreateStartupShortcut(LPCWSTR installDir);

// Deletes the Startup shortcut. True when it is gone, also when it was never there.
bool DeleteStartupShortcut();

} // namespace VexoSetup

#endif
