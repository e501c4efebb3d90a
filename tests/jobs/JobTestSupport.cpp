#include "tests/jobs/JobTestSupport.h"

#include <gtest/gtest.h>


namespace vaultpack::test {

std::filesystem::path JobSandbox::MakeTemporaryFolder() const {
    std::filesystem::create_directory(TemporaryFolder());
    return TemporaryFolder();
}

std::filesystem::path JobSandbox::Write(const std::string& relativePath, const std::string& content) const {
    const std::filesystem::path path = *this / relativePath;
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path, content);
    return path;
}

std::string RandomText(std::size_t size, unsigned seed) {
    const std::vector<unsigned char> bytes = PseudoRandomBytes(size, seed);
    return {bytes.begin(), bytes.end()};
}

ArchiveItem ItemFor(const std::filesystem::path& source, const std::string& archiveFolder) {
    return {source.filename().string(), archiveFolder, source};
}

Files FolderContents(const std::filesystem::path& folder) {
    Files files;
    for (const auto& [name, item] : ReadTree(folder)) {
        files[name] = item.folder ? "<folder>" : item.content;
    }
    return files;
}

Files ArchiveContents(const std::filesystem::path& archive) {
    const TempDir scratch;
    EXPECT_EQ(ExtractAll(archive, scratch.Path()), std::vector<std::string>{}) << archive;
    return FolderContents(scratch.Path());
}

}  // namespace vaultpack::test
