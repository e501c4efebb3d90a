#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include <QString>

namespace vaultpack {

// The platform's file and folder pickers, behind an interface so that the
// code that asks can be tested with scripted answers. A filter is written the
// Qt way ("EZC File (*.ezc)", several separated by ";;"). Every call returns
// nothing (or an empty list) when the user cancels.
class PlatformPickers {
public:
    virtual ~PlatformPickers() = default;

    virtual std::optional<std::filesystem::path> OpenFile(const QString& filterText) = 0;
    virtual std::vector<std::filesystem::path> OpenFiles(const QString& filterText) = 0;
    virtual std::optional<std::filesystem::path> SaveFile(const QString& filterText,
                                                          const QString& defaultName) = 0;
    // title says what the folder is for; preselect, when not empty, is the
    // folder the picker starts in.
    virtual std::optional<std::filesystem::path> ExistingFolder(const QString& title,
                                                                const std::filesystem::path& preselect) = 0;
};

}  // namespace vaultpack
