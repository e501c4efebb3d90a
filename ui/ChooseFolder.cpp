#include "ui/ChooseFolder.h"

#include "app/DefaultInstallFolder.h"
#include "ui/PlatformPickers.h"

namespace vaultpack {

std::optional<std::filesystem::path> ChooseFolder(PlatformPickers& pickers, QWidget* owner, const QString& title,
                                                  bool createDefault) {
    const std::filesystem::path preselect = createDefault ? EnsureDefaultInstallFolder() : std::filesystem::path();
    return pickers.ExistingFolder(owner, title, preselect);
}

}  // namespace vaultpack
