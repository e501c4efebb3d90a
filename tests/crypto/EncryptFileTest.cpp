#include "crypto/EncryptFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "crypto/BlowfishCipher.h"
#include "crypto/EncryptedFileHeader.h"
#include "crypto/EncryptedFileReaders.h"
#include "crypto/Md5Context.h"
#include "tests/crypto/RecordingProgress.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

class EncryptFileTest : public ::testing::Test {
protected:
    test::TempDir dir;

    fs::path Source(const std::string& name, const Bytes& content) {
        const fs::path path = dir / name;
        test::WriteFile(path, content);
        return path;
    }
    EncryptedFileHeader Header(const fs::path& container) {
        const Bytes bytes = test::ReadFile(container);
        EncryptedFileHeader::Bytes headerBytes{};
        std::copy_n(bytes.begin(), headerBytes.size(), headerBytes.begin());
        return EncryptedFileHeader::Parse(headerBytes);
    }
};

TEST_F(EncryptFileTest, HeaderLayoutIsExact) {
    const fs::path source = Source("Report.ZIP", Bytes(5, 'x'));
    const fs::path target = dir / "out.ezc";
    ASSERT_TRUE(EncryptFile(source, target, "Pa55word", "my hint", true).Completed());

    const Bytes bytes = test::ReadFile(target);
    ASSERT_EQ(bytes.size(), 348u + 8u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 8), (Bytes{'E', 'Z', 'C', 2, 0, 0, 0, 5}));
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 18), "Report.ZIP");
    EXPECT_TRUE(std::all_of(bytes.begin() + 18, bytes.begin() + 268, [](unsigned char b) { return b == 0; }));
    const Md5Context::Digest digest = Md5Context::Of("Pa55word");
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), bytes.begin() + 268));
    EXPECT_EQ(std::string(bytes.begin() + 284, bytes.begin() + 291), "my hint");
    EXPECT_EQ(bytes[316], 1);
    EXPECT_TRUE(std::all_of(bytes.begin() + 317, bytes.begin() + 348, [](unsigned char b) { return b == 0; }));

    // The cipher text is the plaintext zero-padded to a block, under the password.
    const std::string password = "Pa55word";
    const BlowfishCipher cipher(reinterpret_cast<const unsigned char*>(password.data()), 8);
    Bytes block{'x', 'x', 'x', 'x', 'x', 0, 0, 0};
    cipher.Encrypt(block.data(), block.data(), 8, kCipherModeEcb);
    EXPECT_EQ(Bytes(bytes.begin() + 348, bytes.end()), block);
}

TEST_F(EncryptFileTest, SizesArePaddedToBlocksAndChunksDoNotShow) {
    const std::string password = "k3y";
    const BlowfishCipher cipher(reinterpret_cast<const unsigned char*>(password.data()), 3);
    for (std::size_t length : {0u, 1u, 8u, 102399u, 102400u, 102401u, 204807u}) {
        SCOPED_TRACE(length);
        const Bytes plain = test::PseudoRandomBytes(length, static_cast<unsigned>(length));
        const fs::path target = dir / "sized.ezc";
        ASSERT_TRUE(EncryptFile(Source("plain.bin", plain), target, password, "", false).Completed());

        const Bytes bytes = test::ReadFile(target);
        ASSERT_EQ(bytes.size(), 348 + PaddedLength(length));
        EXPECT_EQ(Header(target).plainLength, length);
        if (length > 0) {
            Bytes padded = plain;
            padded.resize(PaddedLength(length), 0);
            cipher.Encrypt(padded.data(), padded.data(), padded.size(), kCipherModeEcb);
            EXPECT_TRUE(std::equal(padded.begin(), padded.end(), bytes.begin() + 348));
        }
    }
}

TEST_F(EncryptFileTest, ZipFlagNeedsMarkAndZipExtension) {
    const struct {
        const char* name;
        bool markZip;
        std::uint8_t flag;
    } cases[] = {
        {"Report.ZIP", true, 1}, {"a.tar.zip", true, 1}, {"Report.ZIP", false, 0},
        {"report.zip.txt", true, 0}, {"zip", true, 0}, {"report.zipx", true, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const fs::path target = dir / "flag.ezc";
        ASSERT_TRUE(EncryptFile(Source(row.name, {1, 2, 3}), target, "pw", "", row.markZip).Completed());
        EXPECT_EQ(ReadZipFlag(target), row.flag);
        EXPECT_EQ(ReadStoredName(target), row.name);
    }
}

TEST_F(EncryptFileTest, HintIsCutTo32BytesWithoutTerminator) {
    const fs::path target = dir / "hint.ezc";
    const std::string hint40 = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    ASSERT_TRUE(EncryptFile(Source("a.txt", {1}), target, "pw", hint40, false).Completed());
    EXPECT_EQ(ReadHint(target), hint40.substr(0, 32));
    EXPECT_EQ(test::ReadFile(target)[284 + 31], 'v');
}

TEST_F(EncryptFileTest, ProgressCountsBytesBelow64KiBAnd64KiBUnitsAbove) {
    const struct {
        std::size_t length;
        std::vector<std::string> calls;
    } cases[] = {
        {0, {"range 0", "position 0"}},
        {40000, {"range 40000", "position 40000", "position 40000"}},
        {1040000,
         {"range 15", "position 1", "position 3", "position 4", "position 6", "position 7", "position 9",
          "position 11", "position 12", "position 14", "position 15", "position 15", "position 15"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.length);
        test::RecordingProgress progress;
        ASSERT_TRUE(EncryptFile(Source("p.bin", Bytes(row.length, 9)), dir / "p.ezc", "pw", "", false, &progress)
                        .Completed());
        EXPECT_EQ(progress.calls, row.calls);
    }
}

TEST_F(EncryptFileTest, CancelBeforeFirstChunkLeavesOnlyTheHeader) {
    test::RecordingProgress progress;
    progress.cancelAfterPositions = 0;
    const fs::path target = dir / "c.ezc";
    const FileOperationResult result = EncryptFile(Source("c.bin", Bytes(300000, 1)), target, "pw", "", false, &progress);
    EXPECT_EQ(result.status, FileOperationStatus::Cancelled);
    EXPECT_EQ(fs::file_size(target), 348u);
    EXPECT_EQ(progress.calls, std::vector<std::string>{"range 4"});
}

TEST_F(EncryptFileTest, RefusalsLeaveTheTargetUntouched) {
    const fs::path source = Source("s.bin", Bytes(100, 3));
    const fs::path existing = dir / "existing.ezc";
    test::WriteFile(existing, "keep me");

    FileOperationResult result = EncryptFile(source, existing, "", "", false);
    EXPECT_EQ(result.failure.reason, FailureReason::EmptyPassword);

    result = EncryptFile(dir / "missing.bin", existing, "pw", "", false);
    EXPECT_EQ(result.failure.reason, FailureReason::FileAccess);
    EXPECT_EQ(result.failure.operation, FileOperation::Open);
    EXPECT_EQ(result.failure.path, dir / "missing.bin");

    const fs::path huge = dir / "huge.bin";
    test::WriteFile(huge, "");
    fs::resize_file(huge, 0x100000000ull);  // sparse: takes no disk space
    result = EncryptFile(huge, existing, "pw", "", false);
    EXPECT_EQ(result.failure.reason, FailureReason::SourceTooLarge);

    EXPECT_EQ(test::ReadFile(existing), Bytes({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));

    fs::create_hard_link(source, dir / "link.bin");
    for (const fs::path& target : {source, dir / "." / "s.bin", dir / "link.bin"}) {
        result = EncryptFile(source, target, "pw", "", false);
        EXPECT_EQ(result.failure.reason, FailureReason::TargetIsSource) << target;
    }
    EXPECT_EQ(test::ReadFile(source), Bytes(100, 3));
}

TEST_F(EncryptFileTest, SourceThatShrinksWhileReadFails) {
    const fs::path source = Source("shrinking.bin", Bytes(250000, 4));
    test::RecordingProgress progress;
    progress.onRange = [&] { fs::resize_file(source, 150000); };
    const FileOperationResult result = EncryptFile(source, dir / "s.ezc", "pw", "", false, &progress);
    EXPECT_EQ(result.status, FileOperationStatus::Failed);
    EXPECT_EQ(result.failure.reason, FailureReason::SourceShrank);
}

}  // namespace
}  // namespace vaultpack
