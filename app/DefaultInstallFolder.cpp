#include "app/DefaultInstallFolder.h"

#include <cstdlib>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

namespace vaultpack {

namespace {

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && std::filesystem::path(home).is_absolute()) {
        return home;
    }
    if (const passwd* account = ::getpwuid(::getuid());
        account != nullptr && account->pw_dir != nullptr && std::filesystem::path(account->pw_dir).is_absolute()) {
        return account->pw_dir;
    }
    return {};
}

}  // namespace

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
