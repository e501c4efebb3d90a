#include "app/Uninstall.h"

#include <string>

#include <unistd.h>

#include "app/DefaultInstallFolder.h"
#include "app/FileTypeAssociations.h"
#include "app/InstalledFiles.h"
#include "app/ProcessStart.h"
#include "app/SelfDeleteScript.h"
#include "app/XdgFolders.h"
#include "files/FileHandle.h"

namespace vaultpack {

namespace {

// Asks the package manager, which knows its own database; without it (no
// dpkg on this system) nothing is a package's.
bool ListedByPackageManager(const std::filesystem::path& programFile, const std::filesystem::path& database) {
    return !RunToEnd({"dpkg-query", "--admindir=" + database.string(), "--search", "--", programFile.string()});
}

void RemoveDataFiles(const std::filesystem::path& dataHome, const std::vector<std::filesystem::path>& files) {
    for (const std::filesystem::path& file : files) {
        std::error_code ignored;
        std::filesystem::remove(dataHome / file, ignored);
    }
}

// So that the desktop forgets the type and the menu entry at once. The
// tools are optional: a missing one leaves its cache as it is.
void RefreshDesktopCaches(const std::filesystem::path& dataHome) {
    std::error_code ignored;
    if (std::filesystem::is_directory(dataHome / "mime/packages", ignored)) {
        RunToEnd({"update-mime-database", (dataHome / "mime").string()});
    }
    if (std::filesystem::is_directory(dataHome / "applications", ignored)) {
        RunToEnd({"update-desktop-database", "-q", (dataHome / "applications").string()});
    }
}

// An install into another prefix (cmake --install --prefix P) put its data
// files into P/share beside P/bin; they go with the program. Empty when the
// program is not in a "bin" folder, or that share folder is the user's own.
std::filesystem::path PrefixDataFolder(const UninstallTarget& target) {
    const std::filesystem::path bin = target.programFile.parent_path();
    const std::filesystem::path share = bin.parent_path() / "share";
    std::error_code error;
    if (bin.filename() != "bin" || !std::filesystem::is_directory(share, error) ||
        std::filesystem::equivalent(share, target.dataHome, error)) {
        return {};
    }
    return share;
}

void RemoveProgramFiles(const UninstallTarget& target) {
    std::error_code ignored;
    std::filesystem::remove(target.programFile.parent_path() / CommandLineProgramName(), ignored);
    const SelfDeleteScript script{target.programFile, target.defaultInstallFolder, target.scriptFile,
                                  target.programProcess};
    try {
        WriteSelfDeleteScript(script);
    } catch (const FileError&) {
        return;  // no script: the program file stays
    }
    StartSelfDeleteScript(script);
}

}  // namespace

UninstallTarget CurrentUninstallTarget() {
    UninstallTarget target;
    target.dataHome = DataHome();
    target.configHome = ConfigHome();
    std::error_code error;
    target.programFile = std::filesystem::read_symlink("/proc/self/exe", error);
    target.programProcess = ::getpid();
    target.defaultInstallFolder = DefaultInstallFolder();
    target.scriptFile = SelfDeleteScriptPath();
    return target;
}

bool ProgramBelongsToSystem(const std::filesystem::path& programFile,
                            const std::filesystem::path& packageDatabase) {
    return ::access(programFile.parent_path().c_str(), W_OK) != 0 ||
           ListedByPackageManager(programFile, packageDatabase);
}

std::vector<MessageId> Uninstall(const UninstallTarget& target) {
    const FileTypeRegistry registry(target.dataHome, target.configHome);
    const bool systemProgram =
        target.programFile.empty() || ProgramBelongsToSystem(target.programFile, target.packageDatabase);
    if (!target.dataHome.empty()) {
        RemoveDataFiles(target.dataHome, DesktopEntryFiles());
        RemoveDataFiles(target.dataHome, ProgramDataFiles());
        DeleteKeyChain(registry, EncryptedFileTypeKeys());
        if (!systemProgram) {
            if (const std::filesystem::path share = PrefixDataFolder(target); !share.empty()) {
                for (const auto& files : {DesktopEntryFiles(), ProgramDataFiles(), EncryptedFileTypeFiles()}) {
                    RemoveDataFiles(share, files);
                }
                RefreshDesktopCaches(share);
            }
            RemoveProgramFiles(target);
        }
    }
    if (!target.configHome.empty() && IsZipTypeOwned(registry)) {
        DeleteKeyChain(registry, ZipFileTypeKeys());
    }
    if (!target.dataHome.empty()) {
        RefreshDesktopCaches(target.dataHome);
    }
    if (systemProgram) {
        return {MessageId::ProgramUninstalled, MessageId::ProgramBelongsToSystem};
    }
    return {MessageId::ProgramUninstalled};
}

}  // namespace vaultpack
