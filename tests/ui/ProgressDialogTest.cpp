#include <climits>

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "ui/ProgressDialog.h"

namespace vaultpack {
namespace {

class ProgressDialogTest : public ::testing::Test {
protected:
    ProgressDialogTest() {
        dialog_.SetCancelCaption(QStringLiteral("Cancel"));
        dialog_.ShowInFront();
    }

    QPushButton* CancelButton() { return dialog_.findChild<QPushButton*>("cancelButton"); }
    QProgressBar* Bar() { return dialog_.findChild<QProgressBar*>("progressBar"); }

    ProgressDialog dialog_;
};

TEST_F(ProgressDialogTest, CancelTwiceKeepsFlagAndWindow) {
    CancelButton()->click();
    CancelButton()->click();
    EXPECT_TRUE(dialog_.CancelRequested());
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(ProgressDialogTest, EscapeAndCloseBoxRequestCancelButKeepTheWindow) {
    QTest::keyClick(&dialog_, Qt::Key_Escape);
    EXPECT_TRUE(dialog_.CancelRequested());
    EXPECT_TRUE(dialog_.isVisible());

    dialog_.ClearCancel();
    EXPECT_FALSE(dialog_.CancelRequested());
    EXPECT_FALSE(dialog_.close());
    EXPECT_TRUE(dialog_.CancelRequested());
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(ProgressDialogTest, EnterAndReturnDoNothing) {
    CancelButton()->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(CancelButton(), key);
        QTest::keyClick(&dialog_, key);
    }
    EXPECT_FALSE(dialog_.CancelRequested());
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(ProgressDialogTest, HidingAndClearingReadiesTheNextRun) {
    CancelButton()->click();
    dialog_.hide();
    dialog_.ClearCancel();
    dialog_.ShowInFront();
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_FALSE(dialog_.CancelRequested());
}

// Range and position as a job sets them, and the share of the bar filled.
struct BarRow {
    quint32 high;
    quint32 position;
    double filled;
};

TEST_F(ProgressDialogTest, BarShowsTheShareOfThirtyTwoBitRanges) {
    const BarRow rows[] = {
        {100, 40, 0.4},
        {100, 100, 1.0},
        {100, 250, 1.0},
        {UINT_MAX, UINT_MAX / 2, 0.5},
        {UINT_MAX, UINT_MAX, 1.0},
        {static_cast<quint32>(INT_MAX) + 1, static_cast<quint32>(INT_MAX) + 1, 1.0},
    };
    for (const BarRow& row : rows) {
        dialog_.SetRange(row.high);
        dialog_.SetPosition(row.position);
        const QProgressBar* bar = Bar();
        ASSERT_GT(bar->maximum(), 0);
        EXPECT_NEAR(static_cast<double>(bar->value()) / bar->maximum(), row.filled, 1e-6)
            << row.high << " " << row.position;
    }
}

}  // namespace
}  // namespace vaultpack
