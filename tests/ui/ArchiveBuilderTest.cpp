// The archive builder driven as a user would: its buttons with the platform's
// pickers scripted, drops from the file manager, the header, the keyboard.

#include "ui/ArchiveBuilderDialog.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "tests/jobs/JobTestSupport.h"
#include "tests/ui/ScriptedPlatformPickers.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ProgressDialog.h"
#include "ui/controls/IconButton.h"

namespace vaultpack {
namespace {

using test::Child;

using Path = std::filesystem::path;
using Strings = std::vector<std::string>;

class ArchiveBuilderTest : public testing::Test {
public:
    QTreeWidget* List() const { return builder.findChild<QTreeWidget*>(QStringLiteral("fileList")); }
    void Click(const char* button) { builder.findChild<IconButton*>(QLatin1String(button))->click(); }
    Strings Column(ArchiveColumn column) const {
        Strings texts;
        for (int row = 0; row < List()->topLevelItemCount(); ++row) {
            texts.push_back(List()->topLevelItem(row)->text(static_cast<int>(column)).toStdString());
        }
        return texts;
    }
    std::string StatusLine() const {
        return builder.findChild<QLabel*>(QStringLiteral("statusLine"))->text().toStdString();
    }
    void Drop(const std::vector<Path>& paths) { ASSERT_TRUE(test::DropFiles(&builder, paths)); }
    // A folder of `count` files.
    Path Folder(const std::string& name, int count) {
        for (int index = 0; index < count; ++index) {
            sandbox.Write(name + "/f" + std::to_string(1000 + index) + ".txt", "x");
        }
        return sandbox / name;
    }

    test::JobSandbox sandbox;
    test::ScopedEnvironmentVariable home{"HOME", sandbox.Path().c_str()};
    test::ScriptedPlatformPickers pickers;
    ProgressDialog progress;
    ArchiveBuilderDialog builder{test::EnglishCatalogue(), pickers, progress};
    Strings messages;
    test::WindowAnswerer answerer{[this](QWidget* widget) { return test::ConfirmMessageBox(widget, messages); }};
};

TEST_F(ArchiveBuilderTest, AddsSortsAndRemovesRows) {
    const Path single = sandbox.Write("single.bin", std::string(999, 's'));
    sandbox.Write("tree/a.txt", "aaa");
    sandbox.Write("tree/sub/b.txt", std::string(1000, 'b'));
    sandbox.Write("tree/sub/deeper/c.txt", std::string(1001, 'c'));

    builder.show();
    pickers.AnswerOpenFiles({single, single, sandbox / "missing.txt"});
    Click("addFilesButton");
    pickers.AnswerFolder(sandbox / "tree");
    Click("addFoldersButton");
    Drop({sandbox / "tree/sub/deeper"});
    EXPECT_EQ(Column(ArchiveColumn::Name), (Strings{"single.bin", "single.bin", "a.txt", "b.txt", "c.txt", "c.txt"}));
    // Shown with "/" between folder levels; the rows keep the stored form.
    EXPECT_EQ(Column(ArchiveColumn::Path), (Strings{"", "", "tree/", "tree/sub/", "tree/sub/deeper/", "deeper/"}));
    EXPECT_EQ(builder.Items()[4].StoredName(), "tree\\sub\\deeper\\c.txt");
    EXPECT_EQ(StatusLine(), "6 items, 5.0 kB");
    EXPECT_EQ(builder.Items()[4].sourcePath, sandbox / "tree/sub/deeper/c.txt");
    EXPECT_TRUE(std::filesystem::is_directory(sandbox / "Vaultpack Drive")) << "Add Folders makes its default folder";

    QHeaderView* header = List()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    EXPECT_EQ(Column(ArchiveColumn::Size), (Strings{"3", "999", "999", "1,000", "1,001", "1,001"}));
    EXPECT_TRUE(header->isSortIndicatorShown());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    EXPECT_EQ(Column(ArchiveColumn::Size), (Strings{"1,001", "1,001", "1,000", "999", "999", "3"}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(5, header->height() / 2));
    EXPECT_EQ(Column(ArchiveColumn::Name), (Strings{"a.txt", "b.txt", "c.txt", "c.txt", "single.bin", "single.bin"}));

    // Delete in the middle selects the row after the removed ones; at the end, nothing.
    List()->topLevelItem(1)->setSelected(true);
    List()->topLevelItem(2)->setSelected(true);
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(Column(ArchiveColumn::Name), (Strings{"a.txt", "c.txt", "single.bin", "single.bin"}));
    ASSERT_EQ(List()->selectedItems().size(), 1);
    EXPECT_EQ(List()->indexOfTopLevelItem(List()->selectedItems().front()), 1);
    EXPECT_EQ(StatusLine(), "4 items, 3.0 kB");
    List()->clearSelection();
    List()->topLevelItem(3)->setSelected(true);
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    QTest::keyClick(List(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(List()->selectedItems().size(), 3);
    EXPECT_TRUE(messages.empty());
}

// 1000 rows at the most; message 106 when an Add Files or Add Folders ends
// with a full list, and when a drop fills it, but not for a drop on a full list.
TEST_F(ArchiveBuilderTest, TheListLimit) {
    const std::string full = "Cannot add more files to archive. Maximum limit reached.";
    const Path three = Folder("three", 3);
    const Path nineHundredNinetyNine = Folder("many", 999);
    const std::vector<Path> threeFiles{three / "f1000.txt", three / "f1001.txt", three / "f1002.txt"};
    struct Way {
        const char* name;
        std::function<void()> add;
    };
    const Way ways[] = {
        {"AddFiles", [&] { pickers.AnswerOpenFiles(threeFiles); Click("addFilesButton"); }},
        {"AddFolders", [&] { pickers.AnswerFolder(three); Click("addFoldersButton"); }},
        {"Drop", [&] { Drop(threeFiles); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        QTest::keyClick(List(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(List(), Qt::Key_Delete);
        Drop({nineHundredNinetyNine});
        ASSERT_EQ(builder.ItemCount(), 999);
        messages.clear();
        way.add();
        EXPECT_EQ(builder.ItemCount(), 1000);
        EXPECT_EQ(messages, Strings{full}) << "at 999";
        way.add();
        EXPECT_EQ(builder.ItemCount(), 1000);
        EXPECT_EQ(messages.size(), way.name == std::string("Drop") ? 1u : 2u) << "at 1000";
    }
}

// What cannot go into an archive is left out and named, in one message per addition.
TEST_F(ArchiveBuilderTest, NamesWhatItLeavesOut) {
    sandbox.Write("odd/fine.txt", "ok");
    sandbox.Write("odd/back\\slash.txt", "x");
    ASSERT_EQ(::mkfifo((sandbox / "odd/pipe").c_str(), 0600), 0);
    Drop({sandbox / "odd"});
    EXPECT_EQ(Column(ArchiveColumn::Name), Strings{"fine.txt"});
    EXPECT_EQ(messages, (Strings{"Skipped, the name holds a backslash, which archives take for a folder separator: \"" +
                                     (sandbox / "odd/back\\slash.txt").string() + "\"\nSkipped, not a regular file: \"" +
                                     (sandbox / "odd/pipe").string() + "\""}));
}

TEST_F(ArchiveBuilderTest, KeysAndAnEmptyList) {
    builder.show();
    Click("createArchiveButton");
    EXPECT_EQ(messages, Strings{"You did not select any files"});
    QTest::keyClick(&builder, Qt::Key_Return);
    EXPECT_TRUE(builder.isVisible()) << "Enter does nothing";
    QTest::keyClick(&builder, Qt::Key_Escape);
    EXPECT_FALSE(builder.isVisible());
}

TEST_F(ArchiveBuilderTest, GrowsFromItsStartingSizeWithTheListAnchored) {
    builder.show();
    const QSize minimum = builder.minimumSize();
    builder.resize(minimum);
    const QRect list = List()->geometry();
    builder.resize(minimum + QSize(150, 90));
    EXPECT_EQ(List()->geometry(), list.adjusted(0, 0, 150, 90)) << "every edge keeps its distance";
    builder.resize(minimum - QSize(50, 50));
    EXPECT_EQ(builder.size(), minimum) << "never smaller than it started";
}

}  // namespace
}  // namespace vaultpack
