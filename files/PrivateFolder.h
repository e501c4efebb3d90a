#pragma once

#include <filesystem>
#include <string>

namespace vaultpack {

// A new folder under the system's temporary folder that only the user may
// enter (mode 0700), named `prefix` and six random characters. It goes with
// everything in it when the object goes; meanwhile it is in the temporary file
// registry, so that an abrupt end removes it too. The constructor throws
// FileError when the folder cannot be made.
class PrivateFolder {
public:
    explicit PrivateFolder(const std::string& prefix);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    int registration_ = -1;
};

}  // namespace vaultpack
