#include "tests/jobs/JobTestSupport.h"

#include <cstdlib>

#include "app/MessageRendering.h"
#include "tests/jobs/ZipTestSupport.h"

namespace vaultpack::test {

JobSandbox::JobSandbox() {
    if (const char* previous = std::getenv("TMPDIR")) {
        previousTmpdir_ = previous;
    }
    std::filesystem::create_directory(TemporaryFolder());
    ::setenv("TMPDIR", TemporaryFolder().c_str(), 1);
}

JobSandbox::~JobSandbox() {
    if (previousTmpdir_) {
        ::setenv("TMPDIR", previousTmpdir_->c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

std::filesystem::path JobSandbox::Write(const std::string& relativePath, const std::string& content) const {
    const std::filesystem::path path = dir_ / relativePath;
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path, content);
    return path;
}

std::string ReadText(const std::filesystem::path& path) {
    const std::vector<unsigned char> bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

ArchiveItem ItemFor(const std::filesystem::path& source, const std::string& archiveFolder) {
    ArchiveItem item;
    item.name = source.filename().string();
    item.archiveFolder = archiveFolder;
    item.sourcePath = source;
    return item;
}

Files FolderContents(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files[entry.path().lexically_relative(folder).string()] =
            entry.is_directory() ? "<folder>" : ReadText(entry.path());
    }
    return files;
}

Files ArchiveContents(const std::filesystem::path& archive) {
    const TempDir scratch;
    ExtractAll(archive, scratch.Path());
    return FolderContents(scratch.Path());
}

std::string EnglishText(const MessageBoxRequest& request) {
    return RenderMessageLines(MessageCatalogue(MessageCatalogue::Language::English), request.lines);
}

std::string EnglishText(const MessageLine& line) {
    return RenderMessageLine(MessageCatalogue(MessageCatalogue::Language::English), line);
}

}  // namespace vaultpack::test
