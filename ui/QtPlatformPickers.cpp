#include "ui/QtPlatformPickers.h"

#include <QFileDialog>

namespace vaultpack {

namespace {

// QFileDialog answers an empty string for a cancel.
std::optional<std::filesystem::path> PathOrNothing(const QString& chosen) {
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(chosen.toStdString());
}

}  // namespace

std::optional<std::filesystem::path> QtPlatformPickers::OpenFile(const QString& filterText) {
    return PathOrNothing(QFileDialog::getOpenFileName(parent_, QString(), QString(), filterText));
}

std::vector<std::filesystem::path> QtPlatformPickers::OpenFiles(const QString& filterText) {
    std::vector<std::filesystem::path> paths;
    for (const QString& chosen : QFileDialog::getOpenFileNames(parent_, QString(), QString(), filterText)) {
        paths.emplace_back(chosen.toStdString());
    }
    return paths;
}

std::optional<std::filesystem::path> QtPlatformPickers::SaveFile(const QString& filterText,
                                                                 const QString& defaultName) {
    return PathOrNothing(QFileDialog::getSaveFileName(parent_, QString(), defaultName, filterText));
}

std::optional<std::filesystem::path> QtPlatformPickers::ExistingFolder(const QString& title,
                                                                       const std::filesystem::path& preselect) {
    return PathOrNothing(QFileDialog::getExistingDirectory(parent_, title, QString::fromStdString(preselect.string()),
                                                           QFileDialog::ShowDirsOnly));
}

}  // namespace vaultpack
