// vaultpack-cli as a script runs it: the built program in temporary folders,
// with no terminal.

#include <csignal>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "crypto/EncryptFile.h"
#include "crypto/EncryptedFileHeader.h"
#include "tests/cli/CliProcess.h"
#include "tests/jobs/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using test::CliRun;
using test::FileContents;
using test::RunCli;
using Files = std::map<std::string, std::string>;

class CliEndToEnd : public ::testing::Test {
protected:
    CliEndToEnd() {
        std::filesystem::create_directories(source / "docs" / "sub");
        test::WriteFile(source / "docs" / "a.txt", std::string("alpha\n"));
        test::WriteFile(source / "docs" / "sub" / "b.txt", std::string("beta\n"));
        test::WriteFile(source / "one.txt", test::PseudoRandomBytes(300000));
        test::WriteFile(passwordFile, std::string("Secret\n"));
    }

    // A fresh empty folder below the test's folder.
    std::filesystem::path Folder(const std::string& name) {
        std::filesystem::create_directories(work / name);
        return work / name;
    }

    test::TempDir work;
    const std::filesystem::path source = Folder("source");
    const std::filesystem::path passwordFile = work / "pw";
    const std::string password = passwordFile.string();
};

std::vector<std::string> FileNames(const std::filesystem::path& root) {
    std::vector<std::string> names;
    for (const auto& [name, content] : FileContents(root)) {
        names.push_back(name);
    }
    return names;
}

const char* const kCreated = "Your Encrypted Archive has been successfully created\n";

TEST_F(CliEndToEnd, EveryCreateCombinationRoundTrips) {
    const Files several = FileContents(source);
    const Files one = {{"one.txt", several.at("one.txt")}};
    struct Combination {
        std::string name;
        std::vector<std::string> options;
        bool severalItems;
        std::string output;
        std::vector<std::vector<std::string>> restore;  // run beside a copy of the output
        std::vector<std::string> leftOver;              // what the restore steps leave besides the files
    };
    const auto decrypt = [&](const std::string& container) {
        return std::vector<std::string>{"decrypt", "--password-file", password, container};
    };
    const std::vector<Combination> combinations = {
        {"several zipped", {"--zip"}, true, "out.zip", {{"unzip", "out.zip"}}, {}},
        {"several zipped and encrypted", {"--zip", "--encrypt"}, true, "out.ezc", {decrypt("out.ezc")}, {}},
        {"several encrypted, zip implied", {"--encrypt"}, true, "out.ezc", {decrypt("out.ezc")}, {}},
        {"one zipped", {"--zip"}, false, "one.zip", {{"unzip", "one.zip", "."}}, {}},
        {"one encrypted", {"--encrypt"}, false, "one.ezc", {decrypt("one.ezc")}, {}},
        {"one zipped first", {"--zip", "--encrypt", "--order", "zip-first"}, false, "one.ezc",
         {decrypt("one.ezc"), {"unzip", "one.zip"}}, {"one.zip"}},
        {"one encrypted first", {"--encrypt", "--zip"}, false, "one.zip",
         {{"unzip", "one.zip"}, decrypt("one.ezc")}, {"one.ezc"}},
    };
    for (const Combination& combination : combinations) {
        SCOPED_TRACE(combination.name);
        const auto made = Folder("made " + combination.name);
        const auto restored = Folder("restored " + combination.name);
        std::vector<std::string> create = {"create", "--password-file", password};
        create.insert(create.end(), combination.options.begin(), combination.options.end());
        create.push_back((made / combination.output).string());
        create.push_back("one.txt");
        if (combination.severalItems) {
            create.push_back("docs");
        }
        const CliRun created = RunCli(create, source);
        ASSERT_EQ(created.status, 0) << created.errors;
        EXPECT_EQ(created.output, kCreated);
        EXPECT_EQ(test::FolderEntries(made), std::vector<std::string>{combination.output});

        std::filesystem::copy_file(made / combination.output, restored / combination.output);
        for (const std::vector<std::string>& step : combination.restore) {
            const CliRun run = RunCli(step, restored);
            EXPECT_EQ(run.status, 0) << step[0] << ": " << run.errors;
        }
        Files expected = combination.severalItems ? several : one;
        const Files copy = FileContents(made);
        expected.insert(copy.begin(), copy.end());
        for (const std::string& name : combination.leftOver) {
            expected[name] = FileContents(restored).at(name);
        }
        EXPECT_EQ(FileContents(restored), expected);
    }
}

TEST_F(CliEndToEnd, ListAndInfoDescribeWhatCreateMade) {
    // 2021-06-01T12:00:00Z; the program runs in Tokyo's time zone, nine hours ahead.
    const auto june = std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1622548800)));
    for (const char* name : {"docs/a.txt", "docs/sub/b.txt", "one.txt"}) {
        std::filesystem::last_write_time(source / name, june);
    }
    ASSERT_EQ(RunCli({"create", "--zip", "out.zip", "docs", "one.txt"}, source).status, 0);
    const CliRun listed = RunCli({"list", "out.zip"}, source);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.output,
              "           6  2021-06-01T12:00:00Z  docs/a.txt\n"
              "           5  2021-06-01T12:00:00Z  docs/sub/b.txt\n"
              "      300000  2021-06-01T12:00:00Z  one.txt\n");

    ASSERT_EQ(RunCli({"create", "--encrypt", "--hint", "my hint", "--password-file", password, "one.ezc", "one.txt"},
                     source)
                  .status,
              0);
    const CliRun info = RunCli({"info", "one.ezc"}, source);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.output, "Stored name: one.txt\nPlain length: 300000\nHint: my hint\nZip flag: 0\nVersion: 2\n");
}

TEST_F(CliEndToEnd, PasswordsComeFromAFileOrStandardInputAndMustKeepTheRule) {
    const CliRun fromInput = RunCli({"create", "--encrypt", "--password-file", "-", "one.ezc", "one.txt"}, source,
                                    "FromStdin\nignored\n");
    ASSERT_EQ(fromInput.status, 0) << fromInput.errors;

    const auto target = Folder("target");
    std::filesystem::copy_file(source / "one.ezc", target / "one.ezc");
    const CliRun wrong = RunCli({"decrypt", "--password-file", password, "one.ezc"}, target);
    EXPECT_EQ(wrong.status, 3);
    EXPECT_EQ(wrong.errors, "Wrong password!\n");
    const CliRun noTerminal = RunCli({"decrypt", "one.ezc"}, target);
    EXPECT_EQ(noTerminal.status, 2);
    EXPECT_NE(noTerminal.errors.find("--password-file"), std::string::npos);
    EXPECT_EQ(test::FolderEntries(target), std::vector<std::string>{"one.ezc"});

    const CliRun right = RunCli({"decrypt", "--password-file", "-", "one.ezc"}, target, "FromStdin\r\n");
    EXPECT_EQ(right.status, 0) << right.errors;
    EXPECT_EQ(right.output, "Your file has been Decrypted successfully\n");

    test::WriteFile(work / "bad", std::string("two words\n"));
    const CliRun bad = RunCli({"create", "--encrypt", "--password-file", (work / "bad").string(), "x.ezc", "one.txt"},
                              source);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.errors, "vaultpack-cli: The password contains invalid characters.\n");
    EXPECT_EQ(RunCli({"create", "--encrypt", "x.ezc", "one.txt"}, source).status, 2);  // nobody to ask
    // Nothing to encrypt: the password file is not even read.
    EXPECT_EQ(RunCli({"create", "--zip", "--password-file", "/nonexistent", "x.zip", "one.txt"}, source).status, 0);
    EXPECT_FALSE(std::filesystem::exists(source / "x.ezc"));
}

TEST_F(CliEndToEnd, OverwriteQuestionsFollowThePolicyAndNoTerminalMeansNo) {
    const auto out = Folder("out");
    test::WriteFile(out / "one.zip", std::string("older"));
    const CliRun kept = RunCli({"create", "--zip", (out / "one.zip").string(), "one.txt"}, source);
    EXPECT_EQ(kept.status, 0);
    EXPECT_NE(kept.errors.find("already exists, overwrite it?\n(no terminal to answer on: no)"), std::string::npos);
    EXPECT_EQ(FileContents(out).at("one.zip"), "older");
    ASSERT_EQ(RunCli({"create", "--zip", "--overwrite=yes", (out / "one.zip").string(), "one.txt"}, source).status, 0);

    test::WriteFile(out / "one.txt", std::string("local change"));
    const CliRun skipped = RunCli({"unzip", "one.zip"}, out);
    EXPECT_EQ(skipped.status, 0);
    EXPECT_EQ(skipped.output, "0 out of 1 files have been unzipped successfully\n");
    EXPECT_EQ(RunCli({"unzip", "--overwrite", "no", "one.zip"}, out).status, 0);
    EXPECT_EQ(FileContents(out).at("one.txt"), "local change");
    EXPECT_EQ(RunCli({"unzip", "--overwrite", "yes", "one.zip"}, out).output,
              "1 out of 1 files have been unzipped successfully\n");
    EXPECT_EQ(FileContents(out).at("one.txt"), FileContents(source).at("one.txt"));

    ASSERT_EQ(RunCli({"create", "--encrypt", "--password-file", password, (out / "one.ezc").string(), "one.txt"},
                     source)
                  .status,
              0);
    test::WriteFile(out / "one.txt", std::string("local change"));
    const std::vector<std::string> decrypt = {"decrypt", "--password-file", password, "one.ezc"};
    EXPECT_EQ(RunCli(decrypt, out).status, 0);
    std::vector<std::string> declined = decrypt;
    declined.insert(declined.begin() + 1, "--overwrite=no");
    EXPECT_EQ(RunCli(declined, out).status, 0);
    EXPECT_EQ(FileContents(out).at("one.txt"), "local change");
    declined[1] = "--overwrite=yes";
    EXPECT_EQ(RunCli(declined, out).status, 0);
    EXPECT_EQ(FileContents(out).at("one.txt"), FileContents(source).at("one.txt"));
}

TEST_F(CliEndToEnd, UsageErrorsExitTwoWithAUsageLine) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {"create", "out.zip", "one.txt"}, {"unzip"}, {"decrypt", "--order", "zip-first", "c.ezc"}}) {
        const CliRun run = RunCli(arguments, source);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.errors.find("\nUsage: vaultpack-cli "), std::string::npos) << run.errors;
    }
    const CliRun missing = RunCli({"create", "--zip", "out.zip", "one.txt", "absent"}, source);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.errors, "vaultpack-cli: no such file or folder: \"absent\"\n");
    std::filesystem::create_directory(source / "empty");
    EXPECT_EQ(RunCli({"create", "--zip", "out.zip", "empty"}, source).errors,
              "vaultpack-cli: You did not select any files\n");
    EXPECT_EQ(RunCli({"create", "--zip", "one.txt", "one.txt"}, source).status, 2);  // the OUTPUT as an ITEM
    EXPECT_FALSE(std::filesystem::exists(source / "out.zip"));

    EXPECT_EQ(RunCli({"--help"}, source).output.substr(0, 6), "Usage:");
    const CliRun version = RunCli({"--version"}, source);
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.output, std::regex(R"(vaultpack-cli 1\.05\.\d{4}\.\d{4}\.\d{4}\n)")))
        << version.output;
}

TEST_F(CliEndToEnd, HostileArchivesWriteNothingOutsideTheirFolder) {
    const auto inside = Folder("a/b");
    // With no terminal to say "go on", the first refused entry ends the job.
    test::WriteRawZip(work / "a" / "evil.zip", {{"fine.txt", "in"},
                                                {"\x1b[2Jname", "x"},
                                                {"../\x1b[2Jescape.txt", "out"},
                                                {"/abs.txt", "abs"}});
    const CliRun unzipped = RunCli({"unzip", "../evil.zip", "."}, inside);
    EXPECT_EQ(unzipped.status, 1);
    EXPECT_NE(unzipped.errors.find("(../?[2Jescape.txt)\nContinue with next file?"), std::string::npos)
        << unzipped.errors;
    EXPECT_EQ(unzipped.output, "2 out of 4 files have been unzipped successfully\n");
    EXPECT_EQ(FileNames(work / "a"), (std::vector<std::string>{"b/\x1b[2Jname", "b/fine.txt", "evil.zip"}));

    const CliRun listed = RunCli({"list", "evil.zip"}, work / "a");
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.output.find("  ?[2Jname\n"), std::string::npos) << listed.output;

    test::WriteFile(work / "a" / "not.zip", std::string("plain text"));
    EXPECT_EQ(RunCli({"list", "not.zip"}, work / "a").status, 1);
    const CliRun notZip = RunCli({"unzip", "not.zip"}, work / "a");
    EXPECT_EQ(notZip.status, 1);
    EXPECT_EQ(notZip.errors, "Failed to open zip file\n");
}

TEST_F(CliEndToEnd, HostileContainersAreRefusedOrKeptInTheirFolder) {
    const auto inside = Folder("c/d");
    // A stored name that climbs out: the plaintext still lands beside the container.
    ASSERT_TRUE(EncryptFile(source / "docs" / "a.txt", inside / "climb.ezc", "Secret", "", false).Completed());
    std::vector<unsigned char> bytes = test::ReadFile(inside / "climb.ezc");
    const std::string climbing = "../../climbed.txt";
    std::fill_n(bytes.begin() + EncryptedFileHeader::kStoredNameOffset, EncryptedFileHeader::kStoredNameSize, 0);
    std::copy(climbing.begin(), climbing.end(), bytes.begin() + EncryptedFileHeader::kStoredNameOffset);
    test::WriteFile(inside / "climb.ezc", bytes);
    EXPECT_EQ(RunCli({"decrypt", "--password-file", password, "climb.ezc"}, inside).status, 0);
    EXPECT_EQ(FileContents(inside).at("climbed.txt"), "alpha\n");

    // An archive inside a container, with an entry that climbs out.
    test::WriteRawZip(work / "packed.zip", {{"kept.txt", "in"}, {"../../../out.txt", "out"}});
    ASSERT_TRUE(EncryptFile(work / "packed.zip", inside / "packed.ezc", "Secret", "", true).Completed());
    const CliRun unpacked = RunCli({"decrypt", "--password-file", password, "packed.ezc"}, inside);
    EXPECT_EQ(unpacked.status, 1);
    EXPECT_NE(unpacked.output.find("1 out of 2 files"), std::string::npos) << unpacked.output;
    EXPECT_NE(unpacked.errors.find("../../../out.txt"), std::string::npos) << unpacked.errors;
    EXPECT_EQ(FileNames(work / "c"),
              (std::vector<std::string>{"d/climb.ezc", "d/climbed.txt", "d/kept.txt", "d/packed.ezc"}));

    bytes.resize(EncryptedFileHeader::kSize + 4);  // cut short
    test::WriteFile(inside / "short.ezc", bytes);
    EXPECT_EQ(RunCli({"decrypt", "--overwrite=yes", "--password-file", password, "short.ezc"}, inside).status, 1);
    EXPECT_EQ(FileContents(inside).at("climbed.txt"), "alpha\n");  // what it would have replaced stays
    const CliRun notContainer = RunCli({"info", "climbed.txt"}, inside);
    EXPECT_EQ(notContainer.status, 1);
    EXPECT_EQ(notContainer.errors, "Cannot decrypt; file is not an encrypted file.\nclimbed.txt\n");
    EXPECT_EQ(RunCli({"decrypt", "--password-file", password, "climbed.txt"}, inside).status, 1);
}

TEST_F(CliEndToEnd, TerminalUserTypesPasswordsUnseenAndAnswersQuestions) {
    test::CliOnTerminal create({"create", "--encrypt", "--hint", "h", "one.ezc", "one.txt"}, source);
    ASSERT_TRUE(create.Expect("Enter Password: "));
    create.Type("Typed\n");
    ASSERT_TRUE(create.Expect("Retype Password: "));
    create.Type("Typed\n");
    EXPECT_TRUE(create.Expect("successfully created\r\n")) << create.Transcript();
    EXPECT_EQ(create.Wait(), 0);
    EXPECT_EQ(create.Transcript().find("Typed"), std::string::npos) << create.Transcript();

    test::CliOnTerminal decrypt({"decrypt", "one.ezc"}, source);
    ASSERT_TRUE(decrypt.Expect("Hint: h\r\nEnter Password: "));
    decrypt.Type("Wrong\n");
    ASSERT_TRUE(decrypt.Expect("Wrong password!"));
    ASSERT_TRUE(decrypt.Expect("Enter Password: "));
    decrypt.Type("Typed\n");
    ASSERT_TRUE(decrypt.Expect("already exists, overwrite it?\r\n[y]es or [n]o? "));
    decrypt.Type("perhaps\n");
    ASSERT_TRUE(decrypt.Expect("[y]es or [n]o? "));
    decrypt.Type("n\n");
    EXPECT_EQ(decrypt.Wait(), 0);
    EXPECT_EQ(decrypt.Transcript().find("Typed"), std::string::npos) << decrypt.Transcript();
}

// Ctrl-C while a large entry is written: the first stops the job before the
// next entry, the second ends the program at once.
TEST_F(CliEndToEnd, CtrlCStopsAfterTheCurrentEntryAndASecondOneAtOnce) {
    constexpr std::uintmax_t kBigSize = std::uintmax_t{160} << 20;
    const auto big = source / "big.bin";
    test::WriteFile(big, std::string());
    std::filesystem::resize_file(big, kBigSize);
    ASSERT_EQ(RunCli({"create", "--zip", "big.zip", "big.bin", "one.txt"}, source).status, 0);
    for (const int interrupts : {1, 2}) {
        SCOPED_TRACE(interrupts);
        const auto target = Folder("interrupted " + std::to_string(interrupts));
        test::TempDir capture;
        const pid_t process = test::StartCli({"unzip", (source / "big.zip").string()}, target, capture.Path());
        // The entry's file appears once its extraction has begun.
        for (int wait = 0; wait < 2000 && test::FolderEntries(target).empty(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // The second Ctrl-C goes out as soon as the first one is seen to have
        // been handled, well before the entry's extraction can end.
        ::kill(process, SIGINT);
        if (interrupts == 2) {
            for (int wait = 0; wait < 10000 && test::ReadText(capture.Path() / "stderr").find("Ctrl-C again") == std::string::npos;
                 ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ::kill(process, SIGINT);
        }
        const CliRun run = test::WaitForCli(process, capture.Path());
        EXPECT_EQ(run.status, 4);
        if (interrupts == 1) {
            EXPECT_EQ(run.output, "1 out of 2 files have been unzipped successfully\n");
            EXPECT_EQ(std::filesystem::file_size(target / "big.bin"), kBigSize);
        } else {
            EXPECT_EQ(run.output, "");
            EXPECT_FALSE(std::filesystem::exists(target / "big.bin"));
        }
        EXPECT_FALSE(std::filesystem::exists(target / "one.txt"));
    }
}

}  // namespace
}  // namespace vaultpack
