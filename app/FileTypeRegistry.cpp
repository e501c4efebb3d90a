#include "app/FileTypeRegistry.h"

#include "app/InstalledFiles.h"
#include "app/MimeAppsList.h"
#include "files/FileHandle.h"

namespace vaultpack {

std::optional<std::string> FileTypeRegistry::DefaultApplication(std::string_view mimeType) const {
    try {
        return MimeAppsList(MimeAppsFile()).DefaultApplication(mimeType);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

std::error_code FileTypeRegistry::DeleteKey(const FileTypeKey& key) const {
    if (key.kind == FileTypeKey::Kind::DataFile) {
        std::error_code error;
        // remove() takes away a symbolic link, never what it points to, and
        // refuses a folder that still holds something.
        std::filesystem::remove(dataHome_ / key.name, error);
        return error;
    }
    try {
        // Either of the program's entries, which the user may have made the default.
        for (const std::string& entry : {DesktopEntryName(), OpenEntryName()}) {
            MimeAppsList(MimeAppsFile()).RemoveDefaultApplication(key.name, entry);
        }
    } catch (const FileError& error) {
        return {error.ErrorNumber(), std::generic_category()};
    }
    return {};
}

}  // namespace vaultpack
