// The associations in a user's desktop files, in temporary data and config
// folders that each test fills: who owns the ZIP default, what a chain
// removes and where it stops, and what stays of mimeapps.list.

#include <gtest/gtest.h>

#include <string>

#include "app/FileTypeAssociations.h"
#include "app/InstalledFiles.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

std::string Text(const std::filesystem::path& file) {
    const std::vector<unsigned char> bytes = test::ReadFile(file);
    return {bytes.begin(), bytes.end()};
}

class FileTypeAssociationsTest : public testing::Test {
protected:
    FileTypeAssociationsTest() {
        std::filesystem::create_directories(dataHome);
        std::filesystem::create_directories(configHome);
    }

    void WriteData(const std::filesystem::path& relative, const std::string& text = "x") {
        std::filesystem::create_directories((dataHome / relative).parent_path());
        test::WriteFile(dataHome / relative, text);
    }
    std::filesystem::path MimeApps() const { return configHome / "mimeapps.list"; }

    test::TempDir dir;
    const std::filesystem::path dataHome = dir / "data";
    const std::filesystem::path configHome = dir / "config";
    const FileTypeRegistry registry{dataHome, configHome};
};

TEST_F(FileTypeAssociationsTest, ZipDefaultIsRemovedOnlyWhenItIsExactlyOurs) {
    // Comments, other groups, other types, a line ending in CR LF and a last
    // line without a line feed, around the line looked at.
    const std::string before = "# my defaults\n[Added Associations]\napplication/zip=org.vaultpack.Vaultpack.desktop;\n"
                               "[Default Applications]\ntext/plain=gedit.desktop\r\n";
    const std::string after = "\n[Other]\napplication/zip=org.vaultpack.Vaultpack.desktop\n; last";
    struct Row {
        const char* name;
        std::string line;  // in [Default Applications]; empty: none
        bool owned;
    };
    const Row rows[] = {
        {"ours", "application/zip=org.vaultpack.Vaultpack.desktop\n", true},
        {"ours, closing semicolon", "application/zip=org.vaultpack.Vaultpack.desktop;\n", true},
        {"ours, blanks", "application/zip = org.vaultpack.Vaultpack.desktop \r\n", true},
        {"our Open With entry", "application/zip=org.vaultpack.VaultpackOpen.desktop\n", true},
        {"another program", "application/zip=org.gnome.FileRoller.desktop\n", false},
        {"other letter case", "application/zip=org.vaultpack.vaultpack.desktop\n", false},
        {"trailing characters", "application/zip=org.vaultpack.Vaultpack.desktop.old\n", false},
        {"ours among others", "application/zip=org.vaultpack.Vaultpack.desktop;ark.desktop;\n", false},
        {"empty value", "application/zip=\n", false},
        {"missing", "", false},
    };
    for (const Row& row : rows) {
        test::WriteFile(MimeApps(), before + row.line + after);
        EXPECT_EQ(IsZipTypeOwned(registry), row.owned) << row.name;
        if (row.owned) {
            EXPECT_FALSE(DeleteKeyChain(registry, ZipFileTypeKeys())) << row.name;
        }
        EXPECT_EQ(Text(MimeApps()), before + (row.owned ? "" : row.line) + after) << row.name;
    }
    std::filesystem::remove(MimeApps());
    EXPECT_FALSE(IsZipTypeOwned(registry)) << "no mimeapps.list";
}

TEST_F(FileTypeAssociationsTest, RewritingKeepsPermissionsAndALinkedFile) {
    const std::filesystem::path target = dir / "dotfiles-mimeapps.list";
    test::WriteFile(target, "[Default Applications]\napplication/zip=org.vaultpack.Vaultpack.desktop\n");
    std::filesystem::permissions(target, std::filesystem::perms(0640));
    std::filesystem::create_symlink(target, MimeApps());

    EXPECT_FALSE(DeleteKeyChain(registry, ZipFileTypeKeys()));
    EXPECT_TRUE(std::filesystem::is_symlink(MimeApps()));
    EXPECT_EQ(Text(target), "[Default Applications]\n");
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 3u) << "no temporary file left";
}

TEST_F(FileTypeAssociationsTest, EncryptedChainRemovesOursAndStopsAtWhatCannotGo) {
    const std::vector<std::filesystem::path> ours = EncryptedFileTypeFiles();
    const std::string otherDefault = "[Default Applications]\ntext/plain=gedit.desktop\n";
    struct Row {
        const char* name;
        std::string ezcDefault;  // the type's line in mimeapps.list
        std::size_t blockedFile;  // index in `ours` where a non-empty folder stands; ours.size(): none
        bool defaultRemoved;
    };
    const std::string ezcLine = std::string(EncryptedFileMimeType()) + "=org.vaultpack.Vaultpack.desktop\n";
    const std::string foreignLine = std::string(EncryptedFileMimeType()) + "=viewer.desktop\n";
    const Row rows[] = {
        {"everything ours", ezcLine, ours.size(), true},
        {"another program is the type's default", foreignLine, ours.size(), false},
        {"nothing in mimeapps.list", "", ours.size(), false},
        {"first icon cannot go", ezcLine, 0, true},
        {"MIME package cannot go", ezcLine, ours.size() - 1, true},
    };
    for (const Row& row : rows) {
        test::WriteFile(MimeApps(), otherDefault + row.ezcDefault);
        for (std::size_t i = 0; i < ours.size(); ++i) {
            if (i == row.blockedFile) {
                WriteData(ours[i] / "inside");  // like a key that still has subkeys
            } else {
                WriteData(ours[i]);
            }
        }
        WriteData("mime/packages/another.xml");
        WriteData("icons/hicolor/48x48/mimetypes/application-x-another.png");

        const std::error_code error = DeleteKeyChain(registry, EncryptedFileTypeKeys());
        EXPECT_EQ(static_cast<bool>(error), row.blockedFile < ours.size()) << row.name;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(std::filesystem::exists(dataHome / ours[i]), i >= row.blockedFile)
                << row.name << ": " << ours[i];
        }
        EXPECT_EQ(Text(MimeApps()), otherDefault + (row.defaultRemoved ? "" : row.ezcDefault)) << row.name;
        EXPECT_TRUE(std::filesystem::exists(dataHome / "mime/packages/another.xml")) << row.name;
        EXPECT_TRUE(std::filesystem::exists(dataHome / "icons/hicolor/48x48/mimetypes/application-x-another.png"))
            << row.name;
        std::filesystem::remove_all(dataHome);
    }
}

TEST_F(FileTypeAssociationsTest, UnreadableMimeAppsStopsTheChainBeforeAnyFile) {
    std::filesystem::create_directories(MimeApps() / "a-folder");
    WriteData(EncryptedFileTypeFiles().back());
    EXPECT_TRUE(DeleteKeyChain(registry, EncryptedFileTypeKeys()));
    EXPECT_TRUE(std::filesystem::exists(dataHome / EncryptedFileTypeFiles().back()));
}

}  // namespace
}  // namespace vaultpack
