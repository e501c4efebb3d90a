#pragma once

#include "ui/PlatformPickers.h"

namespace vaultpack {

// PlatformPickers through Qt's file dialogs, each window-modal over its owner.
// GUI thread only.
class QtPlatformPickers : public PlatformPickers {
public:
    std::optional<std::filesystem::path> OpenFile(QWidget* owner, const QString& filterText) override;
    std::vector<std::filesystem::path> OpenFiles(QWidget* owner, const QString& filterText) override;
    std::optional<std::filesystem::path> SaveFile(QWidget* owner, const SaveFileRequest& request) override;
    std::optional<std::filesystem::path> ExistingFolder(QWidget* owner, const QString& title,
                                                        const std::filesystem::path& preselect) override;
};

}  // namespace vaultpack
