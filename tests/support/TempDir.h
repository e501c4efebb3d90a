#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace vaultpack::test {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes bytes to a file, replacing it.
void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
void WriteFile(const std::filesystem::path& path, const std::string& text);
std::vector<unsigned char> ReadFile(const std::filesystem::path& path);

// Deterministic pseudo-random bytes (same seed, same bytes).
std::vector<unsigned char> PseudoRandomBytes(std::size_t count, unsigned seed = 1);

// Names of the entries directly inside a folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

}  // namespace vaultpack::test
