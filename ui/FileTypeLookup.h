#pragma once

#include <filesystem>
#include <map>

#include <QFileIconProvider>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

namespace vaultpack {

// A file's small icon and type description as the desktop shows them,
// from its MIME type (by name, then by content). Icons are looked up once
// per type, as a folder of a thousand files holds few types.
class FileTypeLookup {
public:
    struct FileType {
        QIcon icon;
        QString description;
    };

    FileType Of(const std::filesystem::path& path);

private:
    QMimeDatabase mimeTypes_;
    QFileIconProvider iconProvider_;
    std::map<QString, FileType> byMimeType_;
};

}  // namespace vaultpack
