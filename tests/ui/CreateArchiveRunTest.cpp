// Create Archive through the real builder, options and password dialogs, with
// only the platform's pickers scripted; every result is unpacked again with
// the engine and compared with what went in.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "crypto/DecryptFile.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/ui/ScriptedPlatformPickers.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ArchiveBuilderDialog.h"
#include "ui/ArchiveOptionsDialog.h"
#include "ui/EncryptionPasswordDialog.h"
#include "ui/ProgressDialog.h"
#include "ui/controls/IconButton.h"

namespace vaultpack {
namespace {

using test::Child;

using Path = std::filesystem::path;
using test::Files;

// Types the password "pw" twice and confirms, or cancels the dialog.
void AnswerPassword(EncryptionPasswordDialog* dialog, bool give = true) {
    Child<QLineEdit>(dialog, "passwordEdit")->setText(QStringLiteral("pw"));
    Child<QLineEdit>(dialog, "retypedPasswordEdit")->setText(QStringLiteral("pw"));
    give ? Child<QPushButton>(dialog, "okButton")->click() : dialog->reject();
}

// Everything an output holds once every container is decrypted and every
// archive extracted, by path.
Files Unpacked(const Path& output, const Path& scratch) {
    std::filesystem::create_directories(scratch);
    Path file = scratch / output.filename();
    std::filesystem::copy_file(output, file);
    if (output.extension() == ".ezc") {
        const FileOperationResult result = DecryptFile(file, "pw");
        EXPECT_TRUE(result.Completed());
        std::filesystem::remove(file);
        return Unpacked(result.outputPath, scratch / "decrypted");
    }
    if (output.extension() != ".zip") {
        return {{output.filename().string(), test::ReadText(output)}};
    }
    const Path folder = scratch / "extracted";
    EXPECT_EQ(test::ExtractAll(file, folder), std::vector<std::string>{});
    Files contents;
    for (const auto& [name, content] : test::FolderContents(folder)) {
        const Path inner = folder / name;
        if (inner.extension() == ".ezc" || inner.extension() == ".zip") {
            contents.merge(Unpacked(inner, scratch / ("inner-" + inner.filename().string())));
        } else if (content != "<folder>") {
            contents.emplace(name, content);
        }
    }
    return contents;
}

class CreateArchiveRunTest : public testing::Test {
public:
    test::JobSandbox sandbox;
    test::ScriptedPlatformPickers pickers;
    ProgressDialog progress;
};

TEST_F(CreateArchiveRunTest, EveryCombinationRoundTrips) {
    struct Row {
        const char* name;
        bool several;
        bool encrypt;
        bool zip;
        bool zipFirst;  // with both for one file: "Zip then Encrypt"
        const char* output;
    };
    const Row rows[] = {
        {"Zip", false, false, true, false, "out.zip"},
        {"Encrypt", false, true, false, false, "out.ezc"},
        {"ZipThenEncrypt", false, true, true, true, "out.ezc"},
        {"EncryptThenZip", false, true, true, false, "out.zip"},
        {"SeveralEncrypted", true, true, false, false, "out.ezc"},
    };
    const Path report = sandbox.Write("in/report.txt", test::RandomText(300 * 1024, 1));
    sandbox.Write("in/tree/a.txt", "alpha");
    sandbox.Write("in/tree/sub/b.txt", "beta");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ArchiveBuilderDialog builder(test::EnglishCatalogue(), pickers, progress);
        std::vector<Path> items{report};
        if (row.several) {
            items.push_back(sandbox / "in/tree");
        }
        const Path output = sandbox / row.name / row.output;
        std::filesystem::create_directories(output.parent_path());
        pickers.AnswerSaveFile(output);
        bool optionsAnswered = false;
        std::vector<std::string> messages;
        test::WindowAnswerer user([&](QWidget* widget) {
            if (auto* options = qobject_cast<ArchiveOptionsDialog*>(widget); options && !optionsAnswered) {
                optionsAnswered = true;
                // Later, from the event loop: checking Encrypt opens the password
                // dialog modally, which this answerer must be free to answer.
                QTimer::singleShot(0, options, [&row, options] {
                    if (row.encrypt) {
                        Child<QCheckBox>(options, "encryptCheckBox")->click();
                    }
                    if (row.zip) {
                        Child<QCheckBox>(options, "zipCheckBox")->click();
                    }
                    if (row.zipFirst) {
                        Child<QRadioButton>(options, "zipThenEncryptButton")->click();
                    }
                    Child<QPushButton>(options, "okButton")->click();
                });
                return true;
            }
            if (auto* password = qobject_cast<EncryptionPasswordDialog*>(widget)) {
                AnswerPassword(password);
                return true;
            }
            return test::ConfirmMessageBox(widget, messages);
        });
        builder.show();
        ASSERT_TRUE(test::DropFiles(&builder, items));
        Child<IconButton>(&builder, "createArchiveButton")->click();  // returns when the options dialog has ended

        EXPECT_FALSE(builder.isVisible()) << "the job ran, so the builder closed";
        ASSERT_FALSE(pickers.SaveRequests().empty());
        EXPECT_EQ("." + pickers.SaveRequests().back().defaultSuffix.toStdString(), output.extension().string());
        EXPECT_FALSE(progress.isVisible());
        ASSERT_EQ(messages.size(), 1u);
        // Only an encrypted output is called encrypted.
        const char* made = row.encrypt ? "Your Encrypted Archive has been successfully created"
                                       : "has been created. It is not protected by a password.";
        EXPECT_NE(messages[0].find(made), std::string::npos) << messages[0];
        Files expected{{"report.txt", test::ReadText(report)}};
        if (row.several) {
            expected.merge(Files{{"tree/a.txt", "alpha"}, {"tree/sub/b.txt", "beta"}});
        }
        EXPECT_EQ(Unpacked(output, sandbox / row.name / "check"), expected);
    }
}

// A create that fails leaves the options dialog open with OK enabled again,
// and the builder with its list, for another try.
TEST_F(CreateArchiveRunTest, AFailedCreateKeepsTheList) {
    const Path report = sandbox.Write("in/report.txt", "report");
    const Path notAFolder = sandbox.Write("not-a-folder", "a file where the output's folder would be");
    pickers.AnswerSaveFile(notAFolder / "out.zip");
    ArchiveBuilderDialog builder(test::EnglishCatalogue(), pickers, progress);
    std::vector<std::string> messages;
    bool keptWithOkEnabled = false;
    bool optionsAnswered = false;
    test::WindowAnswerer user([&](QWidget* widget) {
        if (auto* options = qobject_cast<ArchiveOptionsDialog*>(widget); options && !optionsAnswered) {
            optionsAnswered = true;
            QTimer::singleShot(0, options, [options] {
                Child<QCheckBox>(options, "zipCheckBox")->click();
                Child<QPushButton>(options, "okButton")->click();
            });
            QObject::connect(options, &ArchiveOptionsDialog::jobFinished, options, [&keptWithOkEnabled, options] {
                QTimer::singleShot(0, options, [&keptWithOkEnabled, options] {
                    keptWithOkEnabled =
                        options->isVisible() && Child<QPushButton>(options, "okButton")->isEnabled();
                    options->reject();
                });
            });
            return true;
        }
        return test::ConfirmMessageBox(widget, messages);
    });
    builder.show();
    ASSERT_TRUE(test::DropFiles(&builder, {report}));
    Child<IconButton>(&builder, "createArchiveButton")->click();  // returns when the options dialog has ended

    EXPECT_TRUE(keptWithOkEnabled);
    EXPECT_TRUE(builder.isVisible());
    EXPECT_EQ(builder.ItemCount(), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Failed to create zip file"), std::string::npos) << messages[0];
}

// The options dialog's states: the order group for one file with both
// operations (the dialog grows by it), a cancelled password, and several
// files, which are always zipped when encrypted.
TEST_F(CreateArchiveRunTest, OptionsDialogStates) {
    bool givePassword = true;
    std::vector<std::string> messages;
    test::WindowAnswerer user([&](QWidget* widget) {
        if (auto* password = qobject_cast<EncryptionPasswordDialog*>(widget)) {
            AnswerPassword(password, givePassword);
            return true;
        }
        return test::ConfirmMessageBox(widget, messages);
    });
    const auto height = [](QDialog& dialog) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        return dialog.height();
    };

    ArchiveOptionsDialog one(test::EnglishCatalogue(), pickers, progress, {{"a.txt", "", sandbox / "a.txt"}});
    one.show();
    auto* encrypt = Child<QCheckBox>(&one, "encryptCheckBox");
    auto* zip = Child<QCheckBox>(&one, "zipCheckBox");
    EXPECT_FALSE(Child<QPushButton>(&one, "okButton")->isEnabled());
    auto* aes = Child<QCheckBox>(&one, "aesCheckBox");
    EXPECT_FALSE(aes->isVisible()) << "the ZIP's protection is offered only with Zip";
    const int withoutZip = height(one);
    zip->click();
    EXPECT_TRUE(aes->isVisible());
    EXPECT_FALSE(Child<QLabel>(&one, "aesNote")->isVisible());
    const int withoutOrder = height(one);
    EXPECT_TRUE(Child<QPushButton>(&one, "okButton")->isEnabled());
    givePassword = false;
    encrypt->click();
    EXPECT_FALSE(encrypt->isChecked()) << "a cancelled password leaves Encrypt off";
    givePassword = true;
    encrypt->click();
    EXPECT_TRUE(Child<QGroupBox>(&one, "orderGroup")->isVisible());
    EXPECT_TRUE(Child<QRadioButton>(&one, "encryptThenZipButton")->isChecked());
    EXPECT_GT(height(one), withoutOrder);
    aes->click();  // the Encrypt password protects the ZIP too: no dialog
    EXPECT_TRUE(aes->isChecked());
    EXPECT_TRUE(Child<QLabel>(&one, "aesNote")->isVisible()) << "the hint is not stored in a ZIP";
    zip->click();
    EXPECT_FALSE(Child<QGroupBox>(&one, "orderGroup")->isVisible());
    EXPECT_FALSE(aes->isVisible());
    EXPECT_EQ(height(one), withoutZip);

    ArchiveOptionsDialog several(test::EnglishCatalogue(), pickers, progress, {{"a", "", "/a"}, {"b", "", "/b"}});
    several.show();
    EXPECT_EQ(Child<QCheckBox>(&several, "encryptCheckBox")->text().toStdString(), "&Encrypt zipped file");
    Child<QCheckBox>(&several, "encryptCheckBox")->click();
    EXPECT_TRUE(Child<QCheckBox>(&several, "zipCheckBox")->isChecked());
    Child<QCheckBox>(&several, "zipCheckBox")->click();
    EXPECT_TRUE(Child<QCheckBox>(&several, "zipCheckBox")->isChecked());
    EXPECT_FALSE(Child<QGroupBox>(&several, "orderGroup")->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].substr(0, 24), "Compression is required ");
}

// Cancel while the job runs: the dialog closes at once, nothing more is
// shown, no completion comes, and the job leaves no file behind.
TEST_F(CreateArchiveRunTest, CancelDuringTheJob) {
    const Path big = sandbox.Write("in/big.bin", test::RandomText(24 << 20, 5));
    const Path output = sandbox / "out/big.zip";
    std::filesystem::create_directories(output.parent_path());
    pickers.AnswerSaveFile(output);
    ArchiveOptionsDialog options(test::EnglishCatalogue(), pickers, progress, {{"big.bin", "", big}});
    QSignalSpy finished(&options, &ArchiveOptionsDialog::jobFinished);
    int boxes = 0;
    test::WindowAnswerer user([&](QWidget* widget) {
        if (qobject_cast<QMessageBox*>(widget) != nullptr) {
            ++boxes;
        }
        if (widget == &progress) {
            QTimer::singleShot(0, &options, [&options] { Child<QPushButton>(&options, "cancelButton")->click(); });
            return true;
        }
        return false;
    });
    QTimer::singleShot(0, &options, [&options] {
        Child<QCheckBox>(&options, "zipCheckBox")->click();
        Child<QPushButton>(&options, "okButton")->click();
    });
    EXPECT_EQ(options.exec(), QDialog::Rejected);
    EXPECT_FALSE(progress.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(test::FolderContents(output.parent_path()).empty(), 20000);
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(boxes, 0);
}

}  // namespace
}  // namespace vaultpack
