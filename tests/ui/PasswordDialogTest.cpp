#include <optional>
#include <string>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "tests/ui/UiTestSupport.h"
#include "ui/DecryptionPasswordDialog.h"
#include "ui/EncryptionPasswordDialog.h"

namespace vaultpack {
namespace {

using test::Child;

using test::AnswerEach;
using test::TypeText;
using test::WindowAnswerer;

QString Text(MessageId id) {
    return QString::fromStdString(test::EnglishCatalogue().Load(id));
}

// What the error box showed; the box is answered with its only button.
struct ShownMessage {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString buttonText;
};

class ErrorBoxRecorder {
public:
    ErrorBoxRecorder()
        : answerer_(AnswerEach<QMessageBox>([this](QMessageBox* box) {
              messages_.push_back({box->text(), box->windowTitle(), box->icon(), box->buttons().front()->text()});
              box->buttons().front()->click();
          })) {}

    const std::vector<ShownMessage>& Messages() const { return messages_; }

private:
    std::vector<ShownMessage> messages_;
    WindowAnswerer answerer_;
};

QLineEdit* Edit(QWidget* dialog, const char* name) {
    auto* edit = dialog->findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit;
}

void ClickOk(QWidget* dialog) {
    dialog->findChild<QPushButton*>("okButton")->click();
}

// One row of the password rule as both dialogs apply it: the message each
// dialog shows for the typed texts, or nothing when it accepts them.
struct RuleRow {
    const char* name;
    QString password;
    QString retyped;
    std::optional<MessageId> encryptionProblem;
    std::optional<MessageId> decryptionProblem;
    friend void PrintTo(const RuleRow& row, std::ostream* out) { *out << row.name; }
};

class PasswordDialogRuleTest : public ::testing::TestWithParam<RuleRow> {};

void ExpectOutcome(QDialog& dialog, const ErrorBoxRecorder& recorder, std::optional<MessageId> problem) {
    if (problem) {
        ASSERT_EQ(recorder.Messages().size(), 1u);
        const ShownMessage& shown = recorder.Messages().front();
        EXPECT_EQ(shown.text, Text(*problem));
        EXPECT_EQ(shown.caption, Text(MessageId::CaptionError));
        EXPECT_EQ(shown.icon, QMessageBox::Critical);
        EXPECT_EQ(shown.buttonText, Text(MessageId::Ok));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
    } else {
        EXPECT_TRUE(recorder.Messages().empty());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}

TEST_P(PasswordDialogRuleTest, EncryptionDialogChecksNewPassword) {
    const RuleRow& row = GetParam();
    EncryptionPasswordDialog dialog(test::EnglishCatalogue());
    dialog.show();
    // insert() is what a paste does: it takes tabs, which typing cannot.
    Edit(&dialog, "passwordEdit")->insert(row.password);
    Edit(&dialog, "retypedPasswordEdit")->insert(row.retyped);
    Edit(&dialog, "hintEdit")->insert(QStringLiteral("mein Schlüssel"));

    ErrorBoxRecorder recorder;
    ClickOk(&dialog);

    ExpectOutcome(dialog, recorder, row.encryptionProblem);
    if (row.encryptionProblem) {
        EXPECT_EQ(Edit(&dialog, "passwordEdit")->text(), row.password);
        EXPECT_EQ(Edit(&dialog, "retypedPasswordEdit")->text(), row.retyped);
        EXPECT_EQ(dialog.Password(), "");
    } else {
        EXPECT_EQ(dialog.Password(), row.password.toStdString());
        EXPECT_EQ(dialog.Hint(), "mein Schl\xC3\xBC" "ssel");
    }
}

TEST_P(PasswordDialogRuleTest, DecryptionDialogChecksPassword) {
    const RuleRow& row = GetParam();
    DecryptionPasswordDialog dialog(test::EnglishCatalogue());
    dialog.show();
    Edit(&dialog, "passwordEdit")->insert(row.password);

    ErrorBoxRecorder recorder;
    ClickOk(&dialog);

    ExpectOutcome(dialog, recorder, row.decryptionProblem);
    if (row.decryptionProblem) {
        EXPECT_EQ(Edit(&dialog, "passwordEdit")->text(), row.password);
    } else {
        EXPECT_EQ(dialog.Password(), row.password.toStdString());
    }
}

using enum MessageId;
INSTANTIATE_TEST_SUITE_P(
    Rows, PasswordDialogRuleTest,
    ::testing::Values(
        RuleRow{"Space", "pass word", "pass word", PasswordInvalidCharacters, PasswordInvalidCharacters},
        RuleRow{"Tab", "pass\tword", "pass\tword", PasswordInvalidCharacters, PasswordInvalidCharacters},
        RuleRow{"AccentedLetter", QStringLiteral("caf\u00e9"), QStringLiteral("caf\u00e9"),
                PasswordInvalidCharacters, PasswordInvalidCharacters},
        RuleRow{"CjkCharacter", QStringLiteral("pw\u5bc6"), QStringLiteral("pw\u5bc6"), PasswordInvalidCharacters,
                PasswordInvalidCharacters},
        RuleRow{"BothEmpty", "", "", EnterPassword, EnterPassword},
        RuleRow{"EmptyWithRetype", "", "abc", EnterPassword, EnterPassword},
        RuleRow{"ValidWithInvalidRetype", "abc", "a c", PasswordsDoNotMatch, std::nullopt},
        RuleRow{"RetypeDiffersInCase", "Secret1", "secret1", PasswordsDoNotMatch, std::nullopt},
        RuleRow{"PrintableAsciiAccepted", "!P@ss~w0rd", "!P@ss~w0rd", std::nullopt, std::nullopt},
        RuleRow{"SixteenBytesAccepted", "abcdefghijklmnop", "abcdefghijklmnop", std::nullopt, std::nullopt}),
    [](const ::testing::TestParamInfo<RuleRow>& info) { return std::string(info.param.name); });

// Field, byte limit and what typing past it leaves.
struct LimitRow {
    const char* name;
    const char* field;
    QString typed;
    QString kept;
    friend void PrintTo(const LimitRow& row, std::ostream* out) { *out << row.name; }
};

std::string LimitRowName(const ::testing::TestParamInfo<LimitRow>& info) {
    return info.param.name;
}

template <typename Dialog>
void ExpectTypingStopsAtLimit(const LimitRow& row) {
    Dialog dialog(test::EnglishCatalogue());
    dialog.show();
    QLineEdit* edit = Edit(&dialog, row.field);
    TypeText(edit, row.typed);
    EXPECT_EQ(edit->text(), row.kept);
}

class EncryptionPasswordDialogLimitTest : public ::testing::TestWithParam<LimitRow> {};
class DecryptionPasswordDialogLimitTest : public ::testing::TestWithParam<LimitRow> {};

TEST_P(EncryptionPasswordDialogLimitTest, RefusesTheByteBeyondTheLimit) {
    ExpectTypingStopsAtLimit<EncryptionPasswordDialog>(GetParam());
}

TEST_P(DecryptionPasswordDialogLimitTest, RefusesTheByteBeyondTheLimit) {
    ExpectTypingStopsAtLimit<DecryptionPasswordDialog>(GetParam());
}

const QString kSeventeen = QStringLiteral("abcdefghijklmnopq");
const QString kThirtyThree = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456");
// U+5BC6 takes three bytes in UTF-8: five of them are 15 bytes, a sixth would be 18.
const QString kSixCjk = QStringLiteral("\u5bc6\u5bc6\u5bc6\u5bc6\u5bc6\u5bc6");
const LimitRow kPasswordSeventeenth{"PasswordSeventeenthByte", "passwordEdit", kSeventeen, kSeventeen.left(16)};
const LimitRow kPasswordCjk{"PasswordCjkCountsThreeBytes", "passwordEdit", kSixCjk + "ab", kSixCjk.left(5) + "a"};

INSTANTIATE_TEST_SUITE_P(
    Rows, EncryptionPasswordDialogLimitTest,
    ::testing::Values(kPasswordSeventeenth, kPasswordCjk,
                      LimitRow{"RetypeSeventeenthByte", "retypedPasswordEdit", kSeventeen, kSeventeen.left(16)},
                      LimitRow{"HintThirtyThirdByte", "hintEdit", kThirtyThree, kThirtyThree.left(32)},
                      LimitRow{"HintCjkCountsThreeBytes", "hintEdit", kSixCjk + kSixCjk, kSixCjk + kSixCjk.left(4)}),
    LimitRowName);
INSTANTIATE_TEST_SUITE_P(Rows, DecryptionPasswordDialogLimitTest, ::testing::Values(kPasswordSeventeenth, kPasswordCjk),
                         LimitRowName);

TEST(PasswordDialogTest, PasteBeyondTheByteLimitIsRefusedWhole) {
    EncryptionPasswordDialog dialog(test::EnglishCatalogue());
    QLineEdit* edit = Edit(&dialog, "passwordEdit");
    edit->insert("ab");
    // Six characters fit the character count but not the 16 bytes.
    edit->insert(kSixCjk);
    EXPECT_EQ(edit->text(), "ab");
}

TEST(PasswordDialogTest, ShowPasswordTogglesBothPasswordFieldsOnly) {
    EncryptionPasswordDialog dialog(test::EnglishCatalogue());
    dialog.show();
    auto* checkBox = dialog.findChild<QCheckBox*>("showPasswordCheckBox");
    ASSERT_NE(checkBox, nullptr);
    EXPECT_EQ(checkBox->text(), Text(ShowPassword));
    const auto echoModes = [&dialog] {
        return std::vector{Edit(&dialog, "passwordEdit")->echoMode(), Edit(&dialog, "retypedPasswordEdit")->echoMode(),
                           Edit(&dialog, "hintEdit")->echoMode()};
    };
    using Echo = std::vector<QLineEdit::EchoMode>;
    EXPECT_EQ(echoModes(), (Echo{QLineEdit::Password, QLineEdit::Password, QLineEdit::Normal}));
    checkBox->click();
    EXPECT_EQ(echoModes(), (Echo{QLineEdit::Normal, QLineEdit::Normal, QLineEdit::Normal}));
    checkBox->click();
    EXPECT_EQ(echoModes(), (Echo{QLineEdit::Password, QLineEdit::Password, QLineEdit::Normal}));
}

struct HintRow {
    const char* name;
    std::string hint;
    QString shown;
    friend void PrintTo(const HintRow& row, std::ostream* out) { *out << row.name; }
};

class DecryptionPasswordDialogHintTest : public ::testing::TestWithParam<HintRow> {};

TEST_P(DecryptionPasswordDialogHintTest, ShowsHintAsPlainText) {
    DecryptionPasswordDialog dialog(test::EnglishCatalogue());
    dialog.SetHint(GetParam().hint);
    auto* label = dialog.findChild<QLabel*>("hintLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), GetParam().shown);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecryptionPasswordDialogHintTest,
                         ::testing::Values(HintRow{"Empty", "", "--"},
                                           HintRow{"Markup", "<b>x</b>", "<b>x</b>"},
                                           HintRow{"Utf8", "\xE5\xAF\x86\xE7\xA2\xBC", QStringLiteral("\u5bc6\u78bc")}),
                         [](const ::testing::TestParamInfo<HintRow>& info) { return std::string(info.param.name); });

TEST(PasswordDialogTest, DecryptionDialogShownAgainKeepsTheLastPasswordMasked) {
    DecryptionPasswordDialog dialog(test::EnglishCatalogue());
    dialog.show();
    TypeText(Edit(&dialog, "passwordEdit"), "wrong!");
    ClickOk(&dialog);
    ASSERT_FALSE(dialog.isVisible());

    dialog.show();
    QLineEdit* edit = Edit(&dialog, "passwordEdit");
    EXPECT_EQ(edit->text(), "wrong!");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    // Typing replaces the old password rather than adding to it.
    TypeText(edit, "right");
    EXPECT_EQ(edit->text(), "right");
}

// An archive's password: no hint row, and taken as other archivers take it
// (a space, a CJK character, more than 16 bytes); back to the container's
// rule for a container.
TEST(PasswordDialogTest, AnArchivesPasswordHasNoHintAndTheArchiveRule) {
    DecryptionPasswordDialog dialog(test::EnglishCatalogue());
    dialog.SetForArchive(true);
    dialog.show();
    EXPECT_FALSE(dialog.findChild<QLabel*>("hintLabel")->isVisible());
    const QString password = QStringLiteral("a long pass phrase \u5bc6");
    TypeText(Edit(&dialog, "passwordEdit"), password);
    ErrorBoxRecorder recorder;
    ClickOk(&dialog);
    ExpectOutcome(dialog, recorder, std::nullopt);
    EXPECT_EQ(dialog.Password(), password.toStdString());

    dialog.SetForArchive(false);
    dialog.setResult(QDialog::Rejected);  // as exec() starts it
    dialog.show();
    EXPECT_TRUE(dialog.findChild<QLabel*>("hintLabel")->isVisible());
    TypeText(Edit(&dialog, "passwordEdit"), "pass word");
    ClickOk(&dialog);
    ExpectOutcome(dialog, recorder, MessageId::PasswordInvalidCharacters);
}

}  // namespace
}  // namespace vaultpack
