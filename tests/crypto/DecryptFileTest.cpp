#include "crypto/DecryptFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "crypto/EncryptFile.h"
#include "crypto/EncryptedFileHeader.h"
#include "crypto/EncryptedFileReaders.h"
#include "files/FileHandle.h"
#include "tests/crypto/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

class DecryptFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::TempDir sourceDir;

    // A container in `dir` of a file named `name` holding `content`.
    fs::path Container(const std::string& name, const Bytes& content, const std::string& password = "pw") {
        const fs::path source = sourceDir / name;
        test::WriteFile(source, content);
        const fs::path container = dir / (name + ".ezc");
        EXPECT_TRUE(EncryptFile(source, container, password, "the hint", true).Completed());
        return container;
    }
    // Overwrites bytes of a file at `offset`.
    static void Patch(const fs::path& path, std::size_t offset, const Bytes& bytes) {
        Bytes content = test::ReadFile(path);
        content.resize(std::max(content.size(), offset + bytes.size()));
        std::copy(bytes.begin(), bytes.end(), content.begin() + static_cast<std::ptrdiff_t>(offset));
        test::WriteFile(path, content);
    }
    static void SetStoredName(const fs::path& container, const std::string& name) {
        Bytes field(260, 0);
        std::copy(name.begin(), name.end(), field.begin());
        Patch(container, 8, field);
    }
};

TEST_F(DecryptFileTest, RoundTripsSizesAroundBlocksAndChunks) {
    for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 102399u, 102400u, 102401u, 1040000u}) {
        SCOPED_TRACE(length);
        const Bytes plain = test::PseudoRandomBytes(length, static_cast<unsigned>(length) + 1);
        const fs::path container = Container("data.bin", plain, "S3cret!");
        const FileOperationResult result = DecryptFile(container, "S3cret!");
        ASSERT_TRUE(result.Completed()) << static_cast<int>(result.failure.reason);
        EXPECT_EQ(result.outputPath, dir / "data.bin");
        EXPECT_EQ(test::ReadFile(dir / "data.bin"), plain);
    }
}

TEST_F(DecryptFileTest, WritesBesideTheContainerUnderTheStoredName) {
    const fs::path container = Container("report.doc", {1, 2, 3});
    fs::rename(container, dir / "a.ezc");
    ASSERT_TRUE(DecryptFile(dir / "a.ezc", "pw").Completed());
    EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"a.ezc", "report.doc"}));
}

TEST_F(DecryptFileTest, HeaderProblemsNameTheirReasonsAndCreateNothing) {
    const fs::path container = Container("x.txt", {1, 2, 3});
    Patch(container, 3, {1});
    FileOperationResult result = DecryptFile(container, "pw");
    EXPECT_EQ(result.failure.reason, FailureReason::VersionMismatch);
    EXPECT_EQ(CheckEncryptedHeader(container).failure, FailureReason::VersionMismatch);

    Patch(container, 0, {'e', 'z', 'c', 2});
    result = DecryptFile(container, "pw");
    EXPECT_EQ(result.failure.reason, FailureReason::NotEncryptedFile);

    const fs::path tiny = dir / "tiny.ezc";
    test::WriteFile(tiny, "EZC");
    EXPECT_EQ(CheckEncryptedHeader(tiny).failure, FailureReason::NotEncryptedFile);
    EXPECT_EQ(DecryptFile(tiny, "pw").failure.reason, FailureReason::NotEncryptedFile);

    EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"tiny.ezc", "x.txt.ezc"}));
}

TEST_F(DecryptFileTest, WrongPasswordIsItsOwnReasonAndCreatesNothing) {
    const fs::path container = Container("x.txt", {1, 2, 3}, "Secret");
    EXPECT_FALSE(CheckPassword(container, "secret"));
    EXPECT_TRUE(CheckPassword(container, "Secret"));
    const FileOperationResult result = DecryptFile(container, "secret");
    EXPECT_EQ(result.failure.reason, FailureReason::WrongPassword);
    EXPECT_FALSE(fs::exists(dir / "x.txt"));
}

TEST_F(DecryptFileTest, DamagedContainersFailAndKeepTheExistingFile) {
    const fs::path container = Container("kept.txt", test::PseudoRandomBytes(250000));
    test::WriteFile(dir / "kept.txt", "old content");

    // Ciphertext cut short, by a whole chunk and by a partial block.
    for (std::uintmax_t size : {200000u, 250343u, 347u, 10u}) {
        SCOPED_TRACE(size);
        const fs::path damaged = dir / "damaged.ezc";
        fs::copy_file(container, damaged, fs::copy_options::overwrite_existing);
        fs::resize_file(damaged, size);
        SetStoredName(damaged, "kept.txt");
        const FileOperationResult result = DecryptFile(damaged, "pw");
        EXPECT_EQ(result.status, FileOperationStatus::Failed);
        EXPECT_EQ(result.failure.reason == FailureReason::WrongPassword, size < 284);
        if (size >= 348) {
            EXPECT_EQ(result.failure.reason, FailureReason::TruncatedContainer);
        }
        EXPECT_EQ(test::ReadFile(dir / "kept.txt"), Bytes({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'}));
    }
    EXPECT_EQ(test::FolderEntries(dir.Path()),
              (std::vector<std::string>{"damaged.ezc", "kept.txt", "kept.txt.ezc"}));
}

TEST_F(DecryptFileTest, DataBeyondTheStoredLengthIsIgnored) {
    const fs::path container = Container("short.txt", {'a', 'b', 'c'});
    Patch(container, 356, Bytes(16, 0x77));
    ASSERT_TRUE(DecryptFile(container, "pw").Completed());
    EXPECT_EQ(test::ReadFile(dir / "short.txt"), Bytes({'a', 'b', 'c'}));
}

TEST_F(DecryptFileTest, CancelKeepsTheExistingFileAndLeavesNoTemporaryFile) {
    const fs::path container = Container("big.bin", test::PseudoRandomBytes(500000));
    test::WriteFile(dir / "big.bin", "previous");
    test::RecordingProgress progress;
    progress.cancelAfterPositions = 2;
    const FileOperationResult result = DecryptFile(container, "pw", &progress);
    EXPECT_EQ(result.status, FileOperationStatus::Cancelled);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"range 7", "position 1", "position 3"}));
    EXPECT_EQ(test::ReadFile(dir / "big.bin"), Bytes({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"big.bin", "big.bin.ezc"}));
}

TEST_F(DecryptFileTest, CompletedDecryptionReplacesTheExistingFile) {
    const fs::path container = Container("doc.txt", {'n', 'e', 'w'});
    test::WriteFile(dir / "doc.txt", "a longer old text");
    test::RecordingProgress progress;
    ASSERT_TRUE(DecryptFile(container, "pw", &progress).Completed());
    EXPECT_EQ(test::ReadFile(dir / "doc.txt"), Bytes({'n', 'e', 'w'}));
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"range 3", "position 3", "position 3"}));
}

TEST_F(DecryptFileTest, HostileStoredNamesStayInTheContainersFolder) {
    const fs::path container = Container("payload.txt", {'p'});
    const struct {
        const char* stored;
        const char* written;  // nullptr: refused
    } cases[] = {
        {"../evil.txt", "evil.txt"},  {"/etc/passwd", "passwd"},     {"..\\..\\win.ini", "win.ini"},
        {"sub/dir/", nullptr},        {"..", nullptr},                {".", nullptr},
        {"", nullptr},                {"a/..", nullptr},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.stored);
        SetStoredName(container, row.stored);
        const FileOperationResult result = DecryptFile(container, "pw");
        if (row.written == nullptr) {
            EXPECT_EQ(result.failure.reason, FailureReason::UnsafeStoredName);
        } else {
            ASSERT_TRUE(result.Completed()) << static_cast<int>(result.failure.reason);
            EXPECT_EQ(result.outputPath, dir / row.written);
            fs::remove(dir / row.written);
        }
        EXPECT_EQ(test::FolderEntries(dir.Path()), std::vector<std::string>{"payload.txt.ezc"});
    }
    EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "evil.txt"));
}

TEST_F(DecryptFileTest, StoredNameOfTheContainerItselfIsRefused) {
    const fs::path container = Container("self.txt", {'s'});
    SetStoredName(container, "self.txt.ezc");
    const Bytes before = test::ReadFile(container);
    EXPECT_EQ(DecryptFile(container, "pw").failure.reason, FailureReason::TargetIsContainer);
    EXPECT_EQ(test::ReadFile(container), before);
}

TEST_F(DecryptFileTest, ReadersTakeFieldsUpToTheirLimits) {
    const fs::path container = Container("r.txt", {1});
    EXPECT_EQ(ReadHint(container), "the hint");
    EXPECT_EQ(ReadZipFlag(container), 0);

    Patch(container, 284, Bytes(32, 'h'));
    EXPECT_EQ(ReadHint(container), std::string(32, 'h'));
    Patch(container, 8, Bytes(260, 'n'));
    EXPECT_EQ(ReadStoredName(container), std::string(259, 'n'));
    Patch(container, 316, {7});
    EXPECT_EQ(ReadZipFlag(container), 7);

    EXPECT_THROW(ReadHint(dir / "absent.ezc"), FileError);
    // A FIFO is refused at once rather than waited on for a writer.
    ASSERT_EQ(::mkfifo((dir / "pipe.ezc").c_str(), 0600), 0);
    EXPECT_THROW(CheckEncryptedHeader(dir / "pipe.ezc"), FileError);
    EXPECT_EQ(EncryptFile(dir / "pipe.ezc", dir / "pipe.out", "pw", "", false).failure.reason, FailureReason::FileAccess);
}

}  // namespace
}  // namespace vaultpack
