// The CAB installer of the simulated device: the setup library's hooks in the installer's
// order around the file copies, on a process of its own, and the record of what is installed.
#include <cesim/installer.h>
#include <cesim/registry.h>

#include "kernel.h"
#include "processes.h"

#include <atomic>
#include <memory>

namespace cesim {

namespace {

const char kAppsKey[] = "HKEY_LOCAL_MACHINE\\Software\\Apps\\";

std::string RecordKey(const Package& package) {
    return kAppsKey + Narrow(package.appName);
}

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
    return folder + u"\\" + name;
}

// The folder and the ones above it, as the installer makes them.
void MakeFolder(const std::u16string& folder) {
    for (size_t at = folder.find(u'\\', 1);; at = folder.find(u'\\', at + 1)) {
        CreateDirectoryW(W(folder.substr(0, at)), nullptr);
        if (at == std::u16string::npos)
            break;
    }
}

bool CopyOnto(const std::u16string& path, const PackageFile& file) {
    HANDLE out = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    // A program's file only has to be there: what runs is its entry point.
    static const uint8_t kProgramBytes[] = {'M', 'Z'};
    const uint8_t* data = file.entry ? kProgramBytes : file.bytes.data();
    DWORD size = file.entry ? DWORD(sizeof kProgramBytes) : DWORD(file.bytes.size());
    DWORD written = 0;
    bool ok = WriteFile(out, data, size, &written, nullptr) && written == size;
    CloseHandle(out);
    if (ok && file.entry) {
        ProgramImage image;
        image.entry = file.entry;
        image.modulePath = path;
        image.resources = file.resources;
        RegisterProgramImage(image);
    }
    return ok;
}

// What the installer's process works on. It outlives the driver's call when the installer is
// still running as the driver stops waiting.
struct Job {
    Package package;
    std::u16string installDir;
    InstallerRun run;
    std::atomic<bool> ended{false};
};

// Runs body as the installer's process and advances the clock until it has ended.
InstallerRun RunInstaller(std::shared_ptr<Job> job, void (*body)(Job&), DWORD limitMs) {
    DWORD processId = StartHelperProcess(u"\\Windows\\wceload.exe", [job, body] {
        body(*job);
        job->ended = true;
    });
    for (DWORD waited = 0; !job->ended && waited < limitMs; waited += 100)
        Advance(100);
    InstallerRun run;
    if (job->ended) {
        run = job->run;
        run.ended = true;
    }
    run.processId = processId;
    return run;
}

void Install(Job& job) {
    const Package& package = job.package;
    InstallerRun& run = job.run;
    std::string record = RecordKey(package);
    BOOL previously = reg::GetDword(record, "Instl").value_or(0) != 0;
    DWORD began = GetTickCount();
    run.initResult = package.setup.installInit(nullptr, TRUE, previously, W(job.installDir));
    run.initMs = GetTickCount() - began;
    if (run.initResult != codeINSTALL_INIT_CONTINUE)
        return;
    MakeFolder(job.installDir);
    std::vector<std::u16string> copied;
    for (const PackageFile& file : package.files) {
        std::u16string path = Join(job.installDir, file.name);
        if (CopyOnto(path, file))
            copied.push_back(path);
        else
            run.failedFiles.push_back(file.name);
    }
    run.exitResult = package.setup.installExit(nullptr, W(job.installDir), 0,
                                               WORD(run.failedFiles.size()), 0, 0, 0);
    if (run.exitResult == codeINSTALL_EXIT_UNINSTALL) {
        for (const std::u16string& path : copied)
            DeleteFileW(W(path));
        return;
    }
    reg::SetString(record, "InstallDir", job.installDir);
    reg::SetDword(record, "Instl", 1);
}

void Uninstall(Job& job) {
    const Package& package = job.package;
    InstallerRun& run = job.run;
    std::string record = RecordKey(package);
    auto installDir = reg::GetString(record, "InstallDir");
    if (!installDir)
        return;
    DWORD began = GetTickCount();
    run.initResult = package.setup.uninstallInit(nullptr, W(*installDir));
    run.initMs = GetTickCount() - began;
    if (run.initResult != codeUNINSTALL_INIT_CONTINUE)
        return;
    for (const PackageFile& file : package.files)
        if (!DeleteFileW(W(Join(*installDir, file.name))))
            run.failedFiles.push_back(file.name);
    reg::DeleteKey(record);
    run.exitResult = package.setup.uninstallExit(nullptr);
}

} // namespace

InstallerRun InstallPackage(const Package& package, const std::u16string& installDir,
                            DWORD limitMs) {
    auto job = std::make_shared<Job>();
    job->package = package;
    job->installDir = installDir;
    return RunInstaller(job, Install, limitMs);
}

InstallerRun UninstallPackage(const Package& package, DWORD limitMs) {
    auto job = std::make_shared<Job>();
    job->package = package;
    return RunInstaller(job, Uninstall, limitMs);
}

} // namespace cesim
