#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/VersionText.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AboutDialog.h"

namespace vaultpack {
namespace {

using test::Child;

using test::AnswerEach;
using test::WindowAnswerer;

TEST(AboutDialogTest, ShowsTitleVersionLineAndDefaultOk) {
    AboutDialog dialog(test::EnglishCatalogue());
    EXPECT_EQ(dialog.windowTitle(), "About Vaultpack");
    auto* versionLabel = dialog.findChild<QLabel*>("versionLabel");
    ASSERT_NE(versionLabel, nullptr);
    const QString expected =
        QStringLiteral("Vaultpack - \n\tbuild ") + QString::fromStdString(ProgramVersionText().DottedVersion());
    EXPECT_EQ(versionLabel->text(), expected);
    EXPECT_TRUE(versionLabel->text().startsWith("Vaultpack - \n\tbuild 1.05"));
    auto* ok = dialog.findChild<QPushButton*>("okButton");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "&OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(dialog.findChild<QLabel*>("iconLabel")->pixmap().isNull());
}

TEST(AboutDialogTest, ActionInContextMenuAndOnF1OpensTheBoxOverTheWindow) {
    QWidget window;
    QAction* action = AddAboutAction(&window, test::EnglishCatalogue());
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "&About Vaultpack...");
    EXPECT_TRUE(window.actions().contains(action));
    EXPECT_EQ(window.contextMenuPolicy(), Qt::ActionsContextMenu);

    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget* owner = nullptr;
    bool modal = false;
    WindowAnswerer answerer(AnswerEach<AboutDialog>([&](AboutDialog* shown) {
        owner = shown->parentWidget();
        modal = shown->isModal();
        shown->accept();
    }));
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(answerer.AnsweredCount(), 1);
    EXPECT_EQ(owner, &window);
    EXPECT_TRUE(modal);
}

}  // namespace
}  // namespace vaultpack
