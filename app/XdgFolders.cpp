#include "app/XdgFolders.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace vaultpack {

namespace {

// A relative value is ignored, as the base directory rules ask.
std::filesystem::path AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || !std::filesystem::path(value).is_absolute()) {
        return {};
    }
    return value;
}

std::filesystem::path FromEnvironmentOrHome(const char* name, const char* underHome) {
    std::filesystem::path folder = AbsoluteFromEnvironment(name);
    if (!folder.empty()) {
        return folder;
    }
    const std::filesystem::path home = HomeFolder();
    return home.empty() ? home : home / underHome;
}

}  // namespace

std::filesystem::path HomeFolder() {
    if (std::filesystem::path home = AbsoluteFromEnvironment("HOME"); !home.empty()) {
        return home;
    }
    if (const passwd* account = ::getpwuid(::getuid());
        account != nullptr && account->pw_dir != nullptr && std::filesystem::path(account->pw_dir).is_absolute()) {
        return account->pw_dir;
    }
    return {};
}

std::filesystem::path DataHome() { return FromEnvironmentOrHome("XDG_DATA_HOME", ".local/share"); }

std::filesystem::path ConfigHome() { return FromEnvironmentOrHome("XDG_CONFIG_HOME", ".config"); }

}  // namespace vaultpack
