#include "tests/jobs/JobTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "app/MessageRendering.h"
#include "jobs/ZipReader.h"

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

std::map<std::string, std::string> ArchiveContents(const std::filesystem::path& archive) {
    const TempDir scratch;
    const std::unique_ptr<ZipReader> reader = ZipReader::Open(archive);
    if (!reader) {
        throw std::runtime_error("cannot open " + archive.string());
    }
    ZipEntryInfo info;
    reader->GetEntry(-1, info);
    std::map<std::string, std::string> contents;
    for (std::int64_t index = 0; index < info.entryCount; ++index) {
        ZipEntryInfo entry;
        if (reader->GetEntry(index, entry) != ZipResult::Success) {
            throw std::runtime_error("cannot read an entry of " + archive.string());
        }
        if (entry.isFolder) {
            contents[entry.name] = "<folder>";
            continue;
        }
        const std::filesystem::path target = scratch / "entry";
        if (reader->ExtractEntry(index, target) != ZipResult::Success) {
            throw std::runtime_error("cannot extract " + entry.name);
        }
        contents[entry.name] = ReadText(target);
    }
    reader->Close();
    return contents;
}

std::string EnglishText(const MessageBoxRequest& request) {
    return RenderMessageLines(MessageCatalogue(MessageCatalogue::Language::English), request.lines);
}

std::string EnglishText(const MessageLine& line) {
    return RenderMessageLine(MessageCatalogue(MessageCatalogue::Language::English), line);
}

std::vector<std::string> TreeOf(const std::filesystem::path& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        paths.push_back(entry.path().lexically_relative(folder).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace vaultpack::test
