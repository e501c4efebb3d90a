#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include <QString>

class QWidget;

namespace vaultpack {

// What a save dialog offers: its filter, the extension a name typed without
// one gets, and the folder and name it starts with (either may be empty).
struct SaveFileRequest {
    QString filterText;
    QString defaultSuffix;
    std::filesystem::path startFolder;
    QString defaultName;
};

// The platform's file and folder pickers, behind an interface so that the
// code that asks can be tested with scripted answers. A filter is written the
// Qt way ("EZC File (*.ezc)", several separated by ";;"). Each picker belongs
// to `owner` and blocks that window and its owners only (none when owner is
// null), so that the other windows of the program, a progress window's Cancel
// above all, stay usable. Every call returns nothing (or an empty list) when
// the user cancels.
class PlatformPickers {
public:
    virtual ~PlatformPickers() = default;

    virtual std::optional<std::filesystem::path> OpenFile(QWidget* owner, const QString& filterText) = 0;
    virtual std::vector<std::filesystem::path> OpenFiles(QWidget* owner, const QString& filterText) = 0;
    virtual std::optional<std::filesystem::path> SaveFile(QWidget* owner, const SaveFileRequest& request) = 0;
    // title says what the folder is for; preselect, when not empty, is the
    // folder the picker starts in.
    virtual std::optional<std::filesystem::path> ExistingFolder(QWidget* owner, const QString& title,
                                                                const std::filesystem::path& preselect) = 0;
};

}  // namespace vaultpack
