// The decrypt job driven by a scripted host: the password loop, the failures,
// the overwrite question, and a replaced file that survives cancel and failure.

#include <gtest/gtest.h>

#include <ostream>

#include <functional>

#include "crypto/EncryptFile.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/jobs/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using test::ReadText;
using test::TreeOf;

constexpr char kPassword[] = "pw-0123";

class DecryptJobTest : public testing::Test {
public:
    DecryptJobTest() {
        const std::vector<unsigned char> bytes = test::PseudoRandomBytes(250 * 1024, 3);
        plaintext = std::string(bytes.begin(), bytes.end());
        const std::filesystem::path source = sandbox.Write("box/secret.txt", plaintext);
        EXPECT_TRUE(EncryptFile(source, container, kPassword, "the hint", false).Completed());
        std::filesystem::remove(source);
    }

    // A copy of the container with `length` bytes and byte `index` set to `value`.
    std::filesystem::path DamagedCopy(std::size_t length, std::size_t index = 0, char value = 0) const {
        std::string bytes = ReadText(container);
        if (index > 0) {
            bytes[index] = value;
        }
        return sandbox.Write("box/damaged.ezc", bytes.substr(0, length));
    }

    FileJobParams Params(const std::filesystem::path& file) const {
        FileJobParams params;
        params.sourceFiles = {file};
        return params;
    }

    test::JobSandbox sandbox;
    test::ScriptedJobHost host;
    std::string plaintext;
    std::filesystem::path container = sandbox / "box/secret.ezc";
    std::filesystem::path target = sandbox / "box/secret.txt";
};

TEST_F(DecryptJobTest, RestoresTheFileBesideTheContainer) {
    host.Password(kPassword);
    EXPECT_EQ(RunDecryptJob(Params(container), host), JobOutcome::Succeeded);

    EXPECT_EQ(ReadText(target), plaintext);
    EXPECT_EQ(std::vector<std::string>(host.calls.begin(), host.calls.begin() + 4),
              (std::vector<std::string>{"password the hint", "show", "cancel-caption 170", "range 1"}));
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(test::EnglishText(host.statuses[0]), "Decrypting \"" + container.string() + "\"");
    EXPECT_EQ(host.CallsStartingWith("title"), std::vector<std::string>{"title 184"});
    EXPECT_EQ(host.MessageIds(), std::vector<int>{120});
    EXPECT_EQ(host.messages[0].caption, MessageId::CaptionInformation);
    ASSERT_EQ(host.completions.size(), 1u);
    EXPECT_EQ(host.completions[0].decryptedContainer, container);
    EXPECT_TRUE(host.completions[0].decryptionCompleted);
    EXPECT_EQ(host.calls.back(), "complete");
}

TEST_F(DecryptJobTest, AsksForTheContainerWhenNoneIsGiven) {
    host.OpenFile(std::nullopt);
    EXPECT_EQ(RunDecryptJob(FileJobParams{}, host), JobOutcome::NothingDone);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open ezc", "complete"}));
    EXPECT_TRUE(host.completions.at(0).decryptedContainer.empty());

    test::ScriptedJobHost chooser;
    chooser.OpenFile(container).Password(kPassword);
    EXPECT_EQ(RunDecryptJob(FileJobParams{}, chooser), JobOutcome::Succeeded);
    EXPECT_EQ(ReadText(target), plaintext);
}

struct DecryptFailureRow {
    const char* name;
    std::function<std::filesystem::path(const DecryptJobTest&)> container;
    std::vector<std::optional<std::string>> passwords;
    std::vector<int> messageIds;
    JobOutcome outcome;
    bool reportsContainer;
};

void PrintTo(const DecryptFailureRow& row, std::ostream* out) {
    *out << row.name;
}

class DecryptFailureTest : public DecryptJobTest, public testing::WithParamInterface<DecryptFailureRow> {};

TEST_P(DecryptFailureTest, EndsInOrder) {
    const DecryptFailureRow& row = GetParam();
    const std::filesystem::path file = row.container(*this);
    for (const auto& password : row.passwords) {
        host.Password(password);
    }

    EXPECT_EQ(RunDecryptJob(Params(file), host), row.outcome);

    EXPECT_EQ(host.MessageIds(), row.messageIds);
    for (const MessageBoxRequest& message : host.messages) {
        if (test::KeyId(message) == 119) {
            EXPECT_EQ(message.owner, MessageOwner::MainWindow);
            EXPECT_EQ(message.caption, MessageId::CaptionError);
        }
    }
    ASSERT_EQ(host.completions.size(), 1u);
    EXPECT_EQ(host.completions[0].decryptedContainer, row.reportsContainer ? file : std::filesystem::path());
    EXPECT_EQ(host.completions[0].decryptionCompleted, row.outcome == JobOutcome::Succeeded);
    EXPECT_EQ(std::filesystem::exists(target), row.outcome == JobOutcome::Succeeded);
}

const auto kContainer = [](const DecryptJobTest& test) { return test.container; };

INSTANTIATE_TEST_SUITE_P(
    Rows, DecryptFailureTest,
    testing::Values(
        DecryptFailureRow{"NotAContainer", [](const auto& test) { return test.sandbox.Write("box/plain.ezc", "text"); },
                          {}, {151}, JobOutcome::Failed, false},
        DecryptFailureRow{"WrongVersion", [](const auto& test) { return test.DamagedCopy(10000, 3, 9); }, {}, {152},
                          JobOutcome::Failed, false},
        DecryptFailureRow{"MissingFile", [](const auto& test) { return test.sandbox / "box/gone.ezc"; }, {}, {121},
                          JobOutcome::Failed, false},
        DecryptFailureRow{"PasswordDialogCancelled", kContainer, {std::nullopt}, {}, JobOutcome::NothingDone, false},
        DecryptFailureRow{"WrongPasswordThenCancel", kContainer, {"wrong", std::nullopt}, {119},
                          JobOutcome::WrongPassword, false},
        DecryptFailureRow{"WrongPasswordThenRight", kContainer, {"wrong", "", kPassword}, {119, 119, 120},
                          JobOutcome::Succeeded, true},
        DecryptFailureRow{"TruncatedContainer", [](const auto& test) { return test.DamagedCopy(348 + 1000); },
                          {kPassword}, {121}, JobOutcome::Failed, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The user agreed to replace an existing file: it is replaced only by a complete one.
struct OverwriteRow {
    const char* name;
    MessageAnswer answer;
    bool truncated;
    int cancelAtPosition;  // -1: never
    std::vector<int> messageIds;
    JobOutcome outcome;
};

void PrintTo(const OverwriteRow& row, std::ostream* out) {
    *out << row.name;
}

class DecryptOverwriteTest : public DecryptJobTest, public testing::WithParamInterface<OverwriteRow> {};

TEST_P(DecryptOverwriteTest, ReplacesOnlyWithACompleteFile) {
    const OverwriteRow& row = GetParam();
    const std::filesystem::path file = row.truncated ? DamagedCopy(348 + 1000) : container;
    const std::filesystem::path& existing = target;
    test::WriteFile(existing, "old");
    host.Password(kPassword).Answer(MessageId::DecryptOverwriteQuestion, row.answer);
    host.CancelAtPosition(row.cancelAtPosition);

    EXPECT_EQ(RunDecryptJob(Params(file), host), row.outcome);

    EXPECT_EQ(host.MessageIds(), row.messageIds);
    EXPECT_EQ(test::EnglishText(host.messages.at(0)),
              "Decryption's destionation file\n \"" + existing.string() + "\"\n already exists, overwrite it?");
    EXPECT_EQ(host.messages[0].caption, MessageId::CaptionQuestion);
    EXPECT_EQ(ReadText(existing), row.outcome == JobOutcome::Succeeded ? plaintext : "old");
    // Only a decryption that ran to its end, well or not, reports its container.
    const bool ranToItsEnd = row.answer == MessageAnswer::Yes && row.cancelAtPosition < 0;
    EXPECT_EQ(host.completions.at(0).decryptedContainer, ranToItsEnd ? file : std::filesystem::path());
    // Nothing half-written stays beside the container.
    std::vector<std::string> expectedFolder{"secret.ezc", "secret.txt"};
    if (row.truncated) {
        expectedFolder.insert(expectedFolder.begin(), "damaged.ezc");
    }
    EXPECT_EQ(TreeOf(sandbox / "box"), expectedFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecryptOverwriteTest,
    testing::Values(OverwriteRow{"Declined", MessageAnswer::No, false, -1, {122}, JobOutcome::NothingDone},
                    OverwriteRow{"Accepted", MessageAnswer::Yes, false, -1, {122, 120}, JobOutcome::Succeeded},
                    OverwriteRow{"AcceptedThenCancelled", MessageAnswer::Yes, false, 1, {122}, JobOutcome::Cancelled},
                    OverwriteRow{"AcceptedThenFailed", MessageAnswer::Yes, true, -1, {122, 121}, JobOutcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DecryptJobTest, ContainerOfAnArchiveLeavesTheReportToTheUnzip) {
    const std::filesystem::path archive = sandbox.Write("box/bundle.zip", "not really a zip, but named so");
    const std::filesystem::path zipContainer = sandbox / "box/bundle.ezc";
    ASSERT_TRUE(EncryptFile(archive, zipContainer, kPassword, "", true).Completed());
    std::filesystem::remove(archive);
    host.Password(kPassword);

    EXPECT_EQ(RunDecryptJob(Params(zipContainer), host), JobOutcome::Succeeded);

    EXPECT_EQ(host.MessageIds(), std::vector<int>{});
    EXPECT_TRUE(host.completions.at(0).decryptionCompleted);
    EXPECT_TRUE(std::filesystem::exists(archive));
}

}  // namespace
}  // namespace vaultpack
