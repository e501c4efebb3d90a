#include "ui/FileTypeLookup.h"

#include <QFile>

namespace vaultpack {

FileTypeLookup::FileType FileTypeLookup::Of(const std::filesystem::path& path) {
    const QMimeType type = mimeTypes_.mimeTypeForFile(QFile::decodeName(path.c_str()));
    const auto known = byMimeType_.find(type.name());
    if (known != byMimeType_.end()) {
        return known->second;
    }
    const QIcon fallback = iconProvider_.icon(QFileIconProvider::File);
    FileType fileType{QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback)),
                      type.comment()};
    byMimeType_.emplace(type.name(), fileType);
    return fileType;
}

}  // namespace vaultpack
