// The decrypt job driven by a scripted host: the password loop, the failures,
// and the overwrite question, with a replaced file that survives cancel and failure.

#include <gtest/gtest.h>

#include <functional>

#include "crypto/EncryptFile.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/jobs/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using test::PrintTo;

using test::Files;
using test::ReadText;

constexpr char kPassword[] = "pw-0123";

class DecryptJobTest : public testing::Test {
public:
    DecryptJobTest() {
        const std::vector<unsigned char> bytes = test::PseudoRandomBytes(250 * 1024, 3);  // three chunks
        plaintext = std::string(bytes.begin(), bytes.end());
        const std::filesystem::path source = sandbox.Write("box/secret.txt", plaintext);
        EXPECT_TRUE(EncryptFile(source, container, kPassword, "the hint", false).Completed());
        std::filesystem::remove(source);
    }

    // A copy of the container cut to `length` bytes, with byte 3 (the version) set to `version`.
    std::filesystem::path DamagedCopy(std::size_t length, char version = 2) const {
        std::string bytes = ReadText(container).substr(0, length);
        bytes[3] = version;
        return sandbox.Write("box/damaged.ezc", bytes);
    }

    static FileJobParams Params(const std::filesystem::path& file) {
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
    host.Expect("password the hint", kPassword);
    EXPECT_EQ(RunDecryptJob(Params(container), host), JobOutcome::Succeeded);

    EXPECT_EQ(ReadText(target), plaintext);
    EXPECT_EQ(std::vector<std::string>(host.calls.begin(), host.calls.begin() + 6),
              (std::vector<std::string>{"password the hint", "show", "cancel-caption 170", "range 1", "status 187",
                                        "title 184"}));
    EXPECT_EQ(test::EnglishText(host.statuses.at(0)), "Decrypting \"" + container.string() + "\"");
    EXPECT_EQ(host.MessageIds(), std::vector<int>{120});
    EXPECT_EQ(host.calls.back(), "complete");
    EXPECT_EQ(host.completions.at(0).decryptedContainer, container);
    EXPECT_TRUE(host.completions.at(0).decryptionCompleted);
}

TEST_F(DecryptJobTest, AsksForTheContainerWhenNoneIsGiven) {
    host.Expect("open ezc", std::nullopt);
    EXPECT_EQ(RunDecryptJob(FileJobParams(), host), JobOutcome::NothingDone);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open ezc", "complete"}));

    test::ScriptedJobHost chooser;
    chooser.Expect("open ezc", container.string()).Expect("password", kPassword);
    EXPECT_EQ(RunDecryptJob(FileJobParams(), chooser), JobOutcome::Succeeded);
}

struct DecryptFailureRow {
    const char* name;
    std::function<std::filesystem::path(const DecryptJobTest&)> container;
    std::vector<std::optional<std::string>> passwords;
    std::vector<int> messageIds;
    JobOutcome outcome;
    bool reportsContainer;
};

class DecryptFailureTest : public DecryptJobTest, public testing::WithParamInterface<DecryptFailureRow> {};

TEST_P(DecryptFailureTest, EndsInOrder) {
    const DecryptFailureRow& row = GetParam();
    const std::filesystem::path file = row.container(*this);
    for (const auto& password : row.passwords) {
        host.Expect("password", password);
    }

    EXPECT_EQ(RunDecryptJob(Params(file), host), row.outcome);

    EXPECT_EQ(host.MessageIds(), row.messageIds);
    if (!host.messages.empty() && host.MessageIds()[0] == 119) {
        EXPECT_EQ(host.messages[0].owner, MessageOwner::MainWindow);
    }
    EXPECT_EQ(host.completions.at(0).decryptedContainer, row.reportsContainer ? file : std::filesystem::path());
    EXPECT_EQ(host.completions.at(0).decryptionCompleted, row.outcome == JobOutcome::Succeeded);
    EXPECT_EQ(std::filesystem::exists(target), row.outcome == JobOutcome::Succeeded);
}

const auto kContainer = [](const DecryptJobTest& test) { return test.container; };

INSTANTIATE_TEST_SUITE_P(
    Rows, DecryptFailureTest,
    testing::Values(
        DecryptFailureRow{"NotAContainer", [](const auto& test) { return test.sandbox.Write("box/plain.ezc", "text"); },
                          {}, {151}, JobOutcome::Failed, false},
        DecryptFailureRow{"WrongVersion", [](const auto& test) { return test.DamagedCopy(10000, 9); }, {}, {152},
                          JobOutcome::Failed, false},
        DecryptFailureRow{"MissingFile", [](const auto& test) { return test.sandbox / "box/gone.ezc"; }, {}, {121},
                          JobOutcome::Failed, false},
        DecryptFailureRow{"PasswordDialogCancelled", kContainer, {std::nullopt}, {}, JobOutcome::NothingDone, false},
        DecryptFailureRow{"WrongPasswordThenCancel", kContainer, {"wrong", std::nullopt}, {119},
                          JobOutcome::WrongPassword, false},
        DecryptFailureRow{"WrongPasswordsThenRight", kContainer, {"wrong", "", kPassword}, {119, 119, 120},
                          JobOutcome::Succeeded, true},
        DecryptFailureRow{"TruncatedContainer", [](const auto& test) { return test.DamagedCopy(348 + 1000); },
                          {kPassword}, {121}, JobOutcome::Failed, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The user agreed to replace an existing file: only a complete one replaces it.
struct OverwriteRow {
    const char* name;
    const char* answer;
    bool truncated;
    int cancelAtPosition;  // -1: never
    std::vector<int> messageIds;
    JobOutcome outcome;
};

class DecryptOverwriteTest : public DecryptJobTest, public testing::WithParamInterface<OverwriteRow> {};

TEST_P(DecryptOverwriteTest, ReplacesOnlyWithACompleteFile) {
    const OverwriteRow& row = GetParam();
    const std::filesystem::path file = row.truncated ? DamagedCopy(348 + 1000) : container;
    test::WriteFile(target, "old");
    host.Expect("password", kPassword).Expect("message 122", row.answer);
    host.CancelAtPosition(row.cancelAtPosition);

    EXPECT_EQ(RunDecryptJob(Params(file), host), row.outcome);

    EXPECT_EQ(host.MessageIds(), row.messageIds);
    EXPECT_EQ(test::EnglishText(host.messages.at(0)),
              "Decryption's destionation file\n \"" + target.string() + "\"\n already exists, overwrite it?");
    // Nothing half-written stays beside the container.
    Files expected{{"secret.ezc", ReadText(container)},
                   {"secret.txt", row.outcome == JobOutcome::Succeeded ? plaintext : "old"}};
    if (row.truncated) {
        expected["damaged.ezc"] = ReadText(file);
    }
    EXPECT_EQ(test::FolderContents(sandbox / "box"), expected);
    // Only a decryption that ran to its end, well or not, reports its container.
    const bool ranToItsEnd = std::string(row.answer) == "Yes" && row.cancelAtPosition < 0;
    EXPECT_EQ(host.completions.at(0).decryptedContainer, ranToItsEnd ? file : std::filesystem::path());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecryptOverwriteTest,
    testing::Values(OverwriteRow{"Declined", "No", false, -1, {122}, JobOutcome::NothingDone},
                    OverwriteRow{"Accepted", "Yes", false, -1, {122, 120}, JobOutcome::Succeeded},
                    OverwriteRow{"AcceptedThenCancelled", "Yes", false, 1, {122}, JobOutcome::Cancelled},
                    OverwriteRow{"AcceptedThenFailed", "Yes", true, -1, {122, 121}, JobOutcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vaultpack
