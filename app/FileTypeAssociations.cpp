#include "app/FileTypeAssociations.h"

#include "app/InstalledFiles.h"
#include "app/MimeAppsList.h"

namespace vaultpack {

std::vector<FileTypeKey> EncryptedFileTypeKeys() {
    std::vector<FileTypeKey> keys{{FileTypeKey::Kind::DefaultApplication, std::string(EncryptedFileMimeType())}};
    for (const std::filesystem::path& file : EncryptedFileTypeFiles()) {
        keys.push_back({FileTypeKey::Kind::DataFile, file.string()});
    }
    return keys;
}

std::vector<FileTypeKey> ZipFileTypeKeys() {
    return {{FileTypeKey::Kind::DefaultApplication, std::string(ZipMimeType())}};
}

std::error_code DeleteKeyChain(const FileTypeRegistry& registry, const std::vector<FileTypeKey>& keys) {
    for (const FileTypeKey& key : keys) {
        if (std::error_code error = registry.DeleteKey(key)) {
            return error;
        }
    }
    return {};
}

bool IsZipTypeOwned(const FileTypeRegistry& registry) {
    const std::optional<std::string> application = registry.DefaultApplication(ZipMimeType());
    return application && (MimeAppsList::NamesEntry(*application, DesktopEntryName()) ||
                           MimeAppsList::NamesEntry(*application, OpenEntryName()));
}

}  // namespace vaultpack
