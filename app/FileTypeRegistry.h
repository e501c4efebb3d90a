#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vaultpack {

// One piece of a file-type association on the desktop: a file of the program
// in the user's data folder (a MIME package, an icon), or the user's default
// application for a MIME type in mimeapps.list.
struct FileTypeKey {
    enum class Kind { DataFile, DefaultApplication };
    Kind kind;
    std::string name;  // DataFile: the path relative to the data folder; DefaultApplication: the MIME type
};

// The user's file-type associations as the freedesktop.org files hold them:
// files under the data folder ($XDG_DATA_HOME) and the defaults in
// $XDG_CONFIG_HOME/mimeapps.list.
class FileTypeRegistry {
public:
    FileTypeRegistry(std::filesystem::path dataHome, std::filesystem::path configHome)
        : dataHome_(std::move(dataHome)), configHome_(std::move(configHome)) {}

    const std::filesystem::path& DataHome() const { return dataHome_; }

    // The user's default application for a MIME type; nothing when none is
    // set or mimeapps.list cannot be read.
    std::optional<std::string> DefaultApplication(std::string_view mimeType) const;

    // Removes one key: the data file, or the type's default when it names
    // the program's own desktop entry (another program's default stays).
    // Something already absent needs no removal and is no failure. The error
    // says why the key could not be removed: a folder that still holds files
    // where the file is, or a file that may not be changed.
    std::error_code DeleteKey(const FileTypeKey& key) const;

private:
    std::filesystem::path MimeAppsFile() const { return configHome_ / "mimeapps.list"; }

    std::filesystem::path dataHome_;
    std::filesystem::path configHome_;
};

}  // namespace vaultpack
