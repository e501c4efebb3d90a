#pragma once

#include <filesystem>
#include <optional>

#include <QString>

class QWidget;

namespace vaultpack {

class PlatformPickers;

// Lets the user pick one folder; title says what it is for. With
// createDefault the folder DefaultInstallFolder is created when missing and
// the picker starts there (the folder stays even when the user cancels);
// when it cannot be made, the picker starts without a preselection. Without
// createDefault nothing is created or preselected. Nothing on a cancel. The
// picker belongs to owner (may be null).
std::optional<std::filesystem::path> ChooseFolder(PlatformPickers& pickers, QWidget* owner, const QString& title,
                                                  bool createDefault);

}  // namespace vaultpack
