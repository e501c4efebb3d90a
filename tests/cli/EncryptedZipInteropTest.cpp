// Password-protected ZIP archives between vaultpack-cli and the peer tools:
// each archive is made by one side at test time and unpacked by the other,
// and the trees are compared byte for byte. Then archives damaged on
// purpose, each of which must fail clearly and leave no file behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;

const std::string kCli = Quote(VAULTPACK_CLI_PATH);
// Ours keeps the password forms' rule; a peer's may hold a space.
constexpr const char* kPassword = "Pass-W0rd!";
constexpr const char* kPeerPassword = "pass word";
// Every command is bounded: a tool that waits for input fails the test by name.
const std::string kLimit = "timeout 120 ";

class EncryptedZipInteropTest : public testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(dir / "password", std::string(kPassword) + "\n");
        test::WriteFile(dir / "peer-password", std::string(kPeerPassword) + "\n");
        test::WriteFile(dir / "wrong", "not it\n");
        fs::create_directories(tree / "sub");
        test::WriteFile(tree / "text.txt", test::MixedText(300000));
        test::WriteFile(tree / "sub" / "random.bin", test::PseudoRandomBytes(70001, 7));
        test::WriteFile(tree / "sub" / "empty.txt", std::string());
        // Beyond the size that is read whole, so the streamed path decrypts too.
        test::WriteFile(tree / "large.txt", test::MixedText(17 * 1024 * 1024));
    }

    // Unpacks `archive` with vaultpack-cli into a new folder; its exit status.
    int Unzip(const fs::path& archive, const fs::path& into, const std::string& passwordFile = "password",
              const std::string& options = "") {
        fs::create_directories(into);
        return RunCommand(kLimit + kCli + " unzip " + options + " --password-file " + Quote(dir / passwordFile) +
                          " " + Quote(archive) + " " + Quote(into) + " >" + Quote(dir / "out.txt") + " 2>" +
                          Quote(dir / "errors.txt"));
    }
    bool SameTree(const fs::path& copy) {
        return RunCommand("diff -r " + Quote(tree) + " " + Quote(copy) + " >/dev/null") == 0;
    }
    std::vector<std::string> FilesIn(const fs::path& folder) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_directory()) {
                files.push_back(entry.path().lexically_relative(folder).string());
            }
        }
        return files;
    }
    // Our AES archive of the tree.
    fs::path OurArchive(const std::string& name = "ours.zip") {
        const fs::path archive = dir / name;
        EXPECT_EQ(RunCommand(kLimit + kCli + " create --zip --aes --password-file " + Quote(dir / "password") + " " +
                             Quote(archive) + " " + Quote(tree) + " >/dev/null"),
                  0);
        return archive;
    }

    test::TempDir dir;
    fs::path tree = dir / "tree";
};

TEST_F(EncryptedZipInteropTest, PeerArchivesOpenWithTheirPassword) {
    const std::string p = Quote(kPeerPassword);
    struct Maker {
        const char* name;
        std::string command;  // run in the tree, writing ARCHIVE
        const char* listed;   // how vaultpack-cli list marks the entries
    };
    const std::vector<Maker> makers = {
        {"7z AES-256", "7z a -tzip -mem=AES256 -p" + p + " ARCHIVE . >/dev/null", "(encrypted: AES-256)"},
        {"7z AES-128", "7z a -tzip -mem=AES128 -p" + p + " ARCHIVE . >/dev/null", "(encrypted: AES-128)"},
        {"bsdtar AES-256", "bsdtar --format zip --options zip:encryption=aes256 --passphrase " + p + " -cf ARCHIVE .",
         "(encrypted: AES-256)"},
        {"zip -e", "zip -q -r -e -P " + p + " ARCHIVE .", "(encrypted weakly: traditional ZIP encryption)"},
        // Written to a pipe, zip puts the sizes after the data: the check byte is the time's.
        {"zip -e to a pipe", "zip -q -r -e -P " + p + " - . >ARCHIVE", "(encrypted weakly: traditional ZIP encryption)"},
        {"7z ZipCrypto", "7z a -tzip -mem=ZipCrypto -p" + p + " ARCHIVE . >/dev/null",
         "(encrypted weakly: traditional ZIP encryption)"},
    };
    int number = 0;
    for (const Maker& maker : makers) {
        SCOPED_TRACE(maker.name);
        const fs::path archive = dir / ("peer" + std::to_string(++number) + ".zip");
        std::string command = maker.command;
        command.replace(command.find("ARCHIVE"), 7, Quote(archive));
        ASSERT_EQ(RunCommand("cd " + Quote(tree) + " && " + kLimit + command), 0);
        EXPECT_NE(test::Capture(kCli + " list " + Quote(archive)).find(maker.listed), std::string::npos);
        const fs::path into = dir / ("from-peer" + std::to_string(number));
        EXPECT_EQ(Unzip(archive, into, "peer-password"), 0) << test::ReadText(dir / "errors.txt");
        EXPECT_TRUE(SameTree(into));
    }
}

TEST_F(EncryptedZipInteropTest, OurAesArchivesOpenInPeers) {
    const fs::path archive = OurArchive();
    const std::string p = Quote(kPassword);
    EXPECT_NE(test::Capture(kCli + " list " + Quote(archive)).find("(encrypted: AES-256)"), std::string::npos);
    // AE-2: no entry gives its CRC away; the code after the data covers it.
    EXPECT_EQ(test::Capture("python3 -c 'import sys, zipfile; print(sorted({i.CRC for i in zipfile.ZipFile(sys.argv[1]).infolist()}))' " +
                            Quote(archive)),
              "[0]\n");
    EXPECT_EQ(RunCommand(kLimit + "7z t -p" + p + " " + Quote(archive) + " >/dev/null"), 0);
    ASSERT_EQ(RunCommand(kLimit + "7z x -p" + p + " -o" + Quote(dir / "by7z") + " " + Quote(archive) + " >/dev/null"),
              0);
    EXPECT_TRUE(SameTree(dir / "by7z" / "tree"));
    fs::create_directories(dir / "bybsdtar");
    ASSERT_EQ(RunCommand(kLimit + "bsdtar -xf " + Quote(archive) + " --passphrase " + p + " -C " +
                         Quote(dir / "bybsdtar")),
              0);
    EXPECT_TRUE(SameTree(dir / "bybsdtar" / "tree"));
    // And back: our own reader, which must refuse a wrong password outright.
    EXPECT_EQ(Unzip(archive, dir / "byus"), 0);
    EXPECT_TRUE(SameTree(dir / "byus" / "tree"));
    EXPECT_NE(RunCommand(kLimit + "7z t -pwrong " + Quote(archive) + " >/dev/null 2>&1"), 0);
}

// Both switches: the AES archive goes into a container under the same
// password, and decrypt unpacks it with that password alone.
TEST_F(EncryptedZipInteropTest, AnAesArchiveInAContainerUnpacksWithTheOnePassword) {
    const fs::path container = dir / "both.ezc";
    ASSERT_EQ(RunCommand(kLimit + kCli + " create --zip --aes --encrypt --password-file " + Quote(dir / "password") +
                         " " + Quote(container) + " " + Quote(tree) + " >/dev/null"),
              0);
    fs::create_directories(dir / "restored");
    fs::copy_file(container, dir / "restored" / "both.ezc");
    EXPECT_EQ(RunCommand("cd " + Quote(dir / "restored") + " && " + kLimit + kCli + " decrypt --password-file " +
                         Quote(dir / "password") + " both.ezc >/dev/null </dev/null"),
              0);
    EXPECT_TRUE(SameTree(dir / "restored" / "tree"));
}

// Each damage fails its entry with a reason of its own and leaves nothing:
// no file, complete or partial, under its name or any other.
TEST_F(EncryptedZipInteropTest, DamagedOrWronglyOpenedEntriesFailClearly) {
    const fs::path source = OurArchive();
    const std::string bytes = test::ReadText(source);
    // The AES extra field as we write it: AE-2, "AE", AES-256.
    const std::string field("\x01\x99\x07\x00\x02\x00" "AE\x03", 9);
    ASSERT_NE(bytes.find(field), std::string::npos);
    const auto Replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = bytes;
        for (std::size_t at = changed.find(from); at != std::string::npos; at = changed.find(from, at + 1)) {
            changed.replace(at, from.size(), to);
        }
        return changed;
    };
    // One byte flipped inside an entry's ciphertext, far from any header:
    // large.txt is streamed, text.txt read whole.
    const auto Flipped = [&](const std::string& name) {
        std::string changed = bytes;
        const std::size_t at = bytes.find(name);
        EXPECT_NE(at, std::string::npos) << name;
        changed[at + 4096] ^= 0x20;
        return changed;
    };
    struct Damage {
        const char* name;
        std::string archive;
        const char* passwordFile;
        const char* says;
        int status = 1;  // failed; 5: the entries were left out
    };
    const std::vector<Damage> damages = {
        // Told, then skipped: the password file has nothing more to try.
        {"wrong password", bytes, "wrong", "Wrong password!", 5},
        {"one flipped byte, streamed", Flipped("tree/large.txt"), "password", "its authentication code does not match"},
        {"one flipped byte, whole", Flipped("tree/text.txt"), "password", "its authentication code does not match"},
        {"strength 4 in the AES field", Replaced(field, field.substr(0, 8) + "\x04"), "password",
         "is encrypted, which is not supported"},
        {"an AES field of the wrong size", Replaced(field, field.substr(0, 2) + "\x06" + field.substr(3)),
         "password", "is encrypted, which is not supported"},
        {"AES claimed without its field", Replaced(field.substr(0, 2), std::string("\x01\x98", 2)), "password",
         "is encrypted, which is not supported"},
    };
    int number = 0;
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const fs::path archive = dir / ("damaged" + std::to_string(++number) + ".zip");
        test::WriteFile(archive, damage.archive);
        const fs::path into = dir / ("out" + std::to_string(number));
        EXPECT_EQ(Unzip(archive, into, damage.passwordFile, "--keep-going"), damage.status);
        const std::string errors = test::ReadText(dir / "errors.txt");
        EXPECT_NE(errors.find(damage.says), std::string::npos) << errors;
        if (number == 2 || number == 3) {
            // Only the damaged entry is missing.
            EXPECT_EQ(FilesIn(into).size(), 3u);
            EXPECT_FALSE(fs::exists(into / "tree" / (number == 2 ? "large.txt" : "text.txt")));
        } else {
            EXPECT_EQ(FilesIn(into), std::vector<std::string>());
        }
    }
}

// AE-1 keeps the CRC beside the code, and a wrong CRC fails the entry even
// though the code matches: bsdtar writes AE-1.
TEST_F(EncryptedZipInteropTest, AnAe1EntryWithAWrongCrcFails) {
    const std::string p = Quote(kPeerPassword);
    ASSERT_EQ(RunCommand("cd " + Quote(tree) + " && " + kLimit + "bsdtar --format zip --options zip:encryption=aes256 " +
                         "--passphrase " + p + " -cf " + Quote(dir / "ae1.zip") + " text.txt"),
              0);
    std::string bytes = test::ReadText(dir / "ae1.zip");
    ASSERT_NE(bytes.find(std::string("\x01\x99\x07\x00\x01\x00" "AE", 8)), std::string::npos) << "not AE-1";
    // The CRC in the central record (and in the local header, where bsdtar
    // writes it before the data or in the descriptor after it).
    const std::size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[central + 16] ^= 0x01;
    bytes[14] ^= 0x01;
    test::WriteFile(dir / "ae1.zip", bytes);
    EXPECT_EQ(Unzip(dir / "ae1.zip", dir / "out", "peer-password", "--keep-going"), 1);
    EXPECT_NE(test::ReadText(dir / "errors.txt").find("corrupt"), std::string::npos)
        << test::ReadText(dir / "errors.txt");
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>());
}

// A salt cut short: an entry whose data is shorter than its salt, verifier
// and code fails as damaged, whatever the password.
TEST_F(EncryptedZipInteropTest, AnEntryShorterThanItsSaltFailsAsDamaged) {
    fs::remove_all(tree);
    fs::create_directories(tree);
    test::WriteFile(tree / "a", std::string());
    const fs::path source = OurArchive("short.zip");
    std::string bytes = test::ReadText(source);
    // An empty file's entry holds 16 + 2 + 10 bytes; both headers claim 10.
    const std::string claimed("\x1c\x00\x00\x00", 4);
    ASSERT_EQ(bytes.substr(18, 4), claimed);
    bytes.replace(18, 4, std::string("\x0a\x00\x00\x00", 4));
    const std::size_t central = bytes.find("PK\x01\x02");
    ASSERT_EQ(bytes.substr(central + 20, 4), claimed);
    bytes.replace(central + 20, 4, std::string("\x0a\x00\x00\x00", 4));
    test::WriteFile(dir / "cut.zip", bytes);
    EXPECT_EQ(Unzip(dir / "cut.zip", dir / "out", "password", "--keep-going"), 1);
    EXPECT_NE(test::ReadText(dir / "errors.txt").find("corrupt"), std::string::npos)
        << test::ReadText(dir / "errors.txt");
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>());
}

}  // namespace
}  // namespace vaultpack
