#include "ui/QtPlatformPickers.h"

#include <QFileDialog>

namespace vaultpack {

namespace {

// Runs the dialog blocking only its owner: QFileDialog's static functions
// would block every window of the program, the progress windows included.
std::vector<std::filesystem::path> Run(QFileDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    std::vector<std::filesystem::path> chosen;
    if (dialog.exec() == QDialog::Accepted) {
        for (const QString& file : dialog.selectedFiles()) {
            chosen.emplace_back(file.toStdString());
        }
    }
    return chosen;
}

std::optional<std::filesystem::path> FirstOrNothing(const std::vector<std::filesystem::path>& chosen) {
    if (chosen.empty()) {
        return std::nullopt;
    }
    return chosen.front();
}

QString Text(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

std::optional<std::filesystem::path> QtPlatformPickers::OpenFile(QWidget* owner, const QString& filterText) {
    QFileDialog dialog(owner, QString(), QString(), filterText);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return FirstOrNothing(Run(dialog));
}

std::vector<std::filesystem::path> QtPlatformPickers::OpenFiles(QWidget* owner, const QString& filterText) {
    QFileDialog dialog(owner, QString(), QString(), filterText);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return Run(dialog);
}

std::optional<std::filesystem::path> QtPlatformPickers::SaveFile(QWidget* owner, const SaveFileRequest& request) {
    QFileDialog dialog(owner, QString(), Text(request.startFolder), request.filterText);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension gets the filter's, before the dialog
    // checks whether that file exists.
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.defaultName.isEmpty()) {
        dialog.selectFile(request.defaultName);
    }
    return FirstOrNothing(Run(dialog));
}

std::optional<std::filesystem::path> QtPlatformPickers::ExistingFolder(QWidget* owner, const QString& title,
                                                                       const std::filesystem::path& preselect) {
    QFileDialog dialog(owner, title, Text(preselect));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return FirstOrNothing(Run(dialog));
}

}  // namespace vaultpack
