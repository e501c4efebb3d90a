#include "app/DefaultInstallFolder.h"

#include <system_error>

#include "app/XdgFolders.h"

namespace vaultpack {

std::filesystem::path DefaultInstallFolder() {
    const std::filesystem::path home = HomeFolder();
    return home.empty() ? home : home / "Vaultpack Drive";
}

std::filesystem::path EnsureDefaultInstallFolder() {
    const std::filesystem::path folder = DefaultInstallFolder();
    if (folder.empty()) {
        return {};
    }
    std::error_code error;
    // create_directory makes this one level only: a missing home folder makes it fail.
    std::filesystem::create_directory(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        return {};
    }
    return folder;
}

}  // namespace vaultpack
