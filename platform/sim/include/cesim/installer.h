// The device's CAB installer, played by the driver: from a process of its own it calls a setup
// library's hooks in the installer's order, around copying the package's files onto the device
// or removing them, and keeps the record of installed applications the installer keeps.
#pragma once

#include <ce_setup.h>
#include <windows.h>

#include <cesim/device.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cesim {

// The four exports of a setup library, as the installer finds them in it.
struct SetupHooks {
    pfnINSTALL_INIT installInit = nullptr;
    pfnINSTALL_EXIT installExit = nullptr;
    pfnUNINSTALL_INIT uninstallInit = nullptr;
    pfnUNINSTALL_EXIT uninstallExit = nullptr;
};

// One file of a package, installed into the installation folder under its name.
struct PackageFile {
    std::u16string name;
    ProgramEntry entry = nullptr;   // set for a program, which CreateProcessW can then start
    std::vector<uint8_t> resources; // a program's compiled resources
    std::vector<uint8_t> bytes;     // a data file's content
};

struct Package {
    std::u16string appName = u"Holmvest Vexo"; // the key of the installer's record
    std::vector<PackageFile> files;
    SetupHooks setup;
};

struct InstallerRun {
    bool ended = false;  // false: still running when the driver stopped waiting
    int initResult = -1; // what Install_Init or Uninstall_Init answered; -1: not called
    int exitResult = -1; // what Install_Exit or Uninstall_Exit answered; -1: not called
    DWORD initMs = 0;    // virtual milliseconds the Init hook took
    std::vector<std::u16string> failedFiles; // not copied, or not removed
    DWORD processId = 0;                     // the installer's own process
};

// Installs into installDir: Install_Init(no window, first call, whether the record says the
// application is installed, installDir); the folder and each file; Install_Exit(no window,
// installDir, 0, number of files that failed, 0, 0, 0). CANCEL from Install_Init copies
// nothing; UNINSTALL from Install_Exit deletes the copied files again. On success the record
// HKLM\Software\Apps\<appName> holds "InstallDir" and "Instl" = 1.
// The driver advances the clock until the installer ends, for at most limitMs.
InstallerRun InstallPackage(const Package& package, const std::u16string& installDir,
                            DWORD limitMs = 60000);

// Removes what the record says is installed: Uninstall_Init(no window, installDir); on
// CONTINUE each file and the record, then Uninstall_Exit(no window). Without a record nothing
// is called.
InstallerRun UninstallPackage(const Package& package, DWORD limitMs = 60000);

} // namespace cesim
