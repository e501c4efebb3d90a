#pragma once

#include "ui/PlatformPickers.h"

class QWidget;

namespace vaultpack {

// PlatformPickers through QFileDialog's native pickers, each modal over
// parent (or application-modal when parent is null). GUI thread only.
class QtPlatformPickers : public PlatformPickers {
public:
    explicit QtPlatformPickers(QWidget* parent = nullptr) : parent_(parent) {}

    std::optional<std::filesystem::path> OpenFile(const QString& filterText) override;
    std::vector<std::filesystem::path> OpenFiles(const QString& filterText) override;
    std::optional<std::filesystem::path> SaveFile(const QString& filterText, const QString& defaultName) override;
    std::optional<std::filesystem::path> ExistingFolder(const QString& title,
                                                        const std::filesystem::path& preselect) override;

private:
    QWidget* parent_;
};

}  // namespace vaultpack
