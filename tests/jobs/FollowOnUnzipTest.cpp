// What follows a decrypt job: the unzip of a decrypted archive, and when a
// program started to decrypt one file may quit.

#include <gtest/gtest.h>

#include <functional>

#include "crypto/EncryptFile.h"
#include "jobs/FollowOnUnzip.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/jobs/ScriptedJobHost.h"

namespace vaultpack {
namespace {

class FollowOnUnzipTest : public testing::Test {
public:
    // A container made from `name` in box/, its zip flag set when the name ends in ".zip".
    std::filesystem::path Container(const std::string& name) const {
        const std::filesystem::path source = sandbox.Write("box/" + name, "content");
        const std::filesystem::path container = sandbox / ("box/" + name + ".ezc");
        EXPECT_TRUE(EncryptFile(source, container, "pw", "", true).Completed());
        std::filesystem::remove(source);
        return container;
    }

    test::JobSandbox sandbox;
};

JobCompletion Decrypted(const std::filesystem::path& container, bool completed = true) {
    JobCompletion completion;
    completion.kind = JobKind::Decrypt;
    completion.decryptedContainer = container;
    completion.decryptionCompleted = completed;
    return completion;
}

TEST_F(FollowOnUnzipTest, DecidesFromTheCompletion) {
    struct Row {
        const char* name;
        JobCompletion completion;
        bool unzipRunning;
        bool unzipFollows;
        bool startsUnzip;
    };
    const std::filesystem::path archiveContainer = Container("bundle.zip");
    const std::filesystem::path goneContainer = Container("gone.zip");
    std::filesystem::remove(goneContainer);
    const Row rows[] = {
        {"ArchiveStartsUnzip", Decrypted(archiveContainer), false, true, true},
        {"UnzipRunningAlready", Decrypted(archiveContainer), true, true, false},
        {"PlainFile", Decrypted(Container("notes.txt")), false, false, false},
        {"DecryptionFailed", Decrypted(archiveContainer, false), false, false, false},
        {"NothingDecrypted", Decrypted({}, false), false, false, false},
        {"ContainerGone", Decrypted(goneContainer), false, false, false},
    };
    for (const Row& row : rows) {
        const DecryptFollowOn followOn = DecideDecryptFollowOn(row.completion, row.unzipRunning);
        EXPECT_EQ(followOn.unzipFollows, row.unzipFollows) << row.name;
        EXPECT_EQ(followOn.startUnzip.has_value(), row.startsUnzip) << row.name;
        EXPECT_EQ(followOn.quitWhenDecryptingAtStart, !row.unzipFollows) << row.name;
    }
    const auto unzip = DecideDecryptFollowOn(Decrypted(archiveContainer), false).startUnzip;
    ASSERT_TRUE(unzip);
    EXPECT_EQ(unzip->sourceFiles, std::vector<std::filesystem::path>{sandbox / "box/bundle.zip"});
    EXPECT_EQ(unzip->destinationFolders, std::vector<std::filesystem::path>{sandbox / "box"});
    EXPECT_TRUE(unzip->deleteSourceAfter);
}

TEST_F(FollowOnUnzipTest, EncryptedArchiveComesBackAsItsFiles) {
    const std::filesystem::path first = sandbox.Write("src/first.txt", "1");
    const std::filesystem::path second = sandbox.Write("src/deep/second.txt", "2");
    CreateArchiveParams create;
    create.items = {test::ItemFor(first), test::ItemFor(second, "deep\\")};
    create.multipleItems = create.zipEnabled = create.encryptEnabled = true;
    create.password = "pw";
    std::filesystem::create_directory(sandbox / "box");
    test::ScriptedJobHost creator;
    creator.Expect("save", (sandbox / "box/pack.ezc").string());
    ASSERT_EQ(RunCreateArchiveJob(create, creator), JobOutcome::Succeeded);

    test::ScriptedJobHost decryptor;
    decryptor.Expect("password", "pw");
    FileJobParams decrypt;
    decrypt.sourceFiles = {sandbox / "box/pack.ezc"};
    ASSERT_EQ(RunDecryptJob(decrypt, decryptor), JobOutcome::Succeeded);
    const DecryptFollowOn followOn = DecideDecryptFollowOn(decryptor.completions.at(0), false);
    ASSERT_TRUE(followOn.startUnzip);

    test::ScriptedJobHost unzipper;
    EXPECT_EQ(RunUnzipJob(*followOn.startUnzip, unzipper), JobOutcome::Succeeded);

    EXPECT_EQ(decryptor.MessageIds(), std::vector<int>{});
    EXPECT_EQ(test::EnglishText(unzipper.messages.at(0)), "2 out of 2 files have been unzipped successfully");
    test::Files box = test::FolderContents(sandbox / "box");
    box.erase("pack.ezc");
    EXPECT_EQ(box, (test::Files{{"deep", "<folder>"}, {"deep/second.txt", "2"}, {"first.txt", "1"}}))
        << "extracted beside the container; the decrypted archive is gone";
}

}  // namespace
}  // namespace vaultpack
