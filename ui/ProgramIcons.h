#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace vaultpack {

class IconButton;

// The program's own icons, compiled in under ":/icons/<name>.svg".
namespace icon_names {
inline constexpr const char* kApplication = "application";
inline constexpr const char* kCreateArchive = "create-archive";
inline constexpr const char* kDecrypt = "decrypt";
inline constexpr const char* kUnzip = "unzip";
inline constexpr const char* kAddFiles = "add-files";
inline constexpr const char* kAddFolders = "add-folders";
inline constexpr const char* kDelete = "delete";
inline constexpr const char* kCreate = "create";
}  // namespace icon_names

// The compiled-in icon of that name (one of icon_names); a null icon for an
// unknown name.
QIcon ProgramIcon(const QString& name);

// A large button of the program's windows: the program icon `icon` above
// the caption.
IconButton* MakeProgramButton(QWidget* parent, const char* objectName, const char* icon, const QString& caption);

}  // namespace vaultpack
