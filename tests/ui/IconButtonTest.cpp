#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "ui/ProgramIcons.h"
#include "ui/controls/IconButton.h"

namespace vaultpack {
namespace {

class IconButtonTest : public ::testing::Test {
protected:
    IconButtonTest() {
        auto* layout = new QVBoxLayout(&window_);
        layout->addWidget(before_);
        layout->addWidget(button_);
        layout->addWidget(after_);
        window_.show();
        window_.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    }

    void SendMouse(QEvent::Type type, QPoint position, Qt::MouseButtons held) {
        const QPointF local(position);
        QMouseEvent event(type, local, button_->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(button_, &event);
    }
    void SendEnter() {
        QEnterEvent event(QPointF(5, 5), QPointF(5, 5), button_->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(button_, &event);
    }
    void SendLeave() {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(button_, &event);
    }
    QPoint Inside() const { return button_->rect().center(); }
    QPoint Outside() const { return button_->rect().bottomRight() + QPoint(20, 20); }

    QWidget window_;
    QLineEdit* before_ = new QLineEdit;
    IconButton* button_ = new IconButton(ProgramIcon(icon_names::kUnzip), QStringLiteral("Unzip File"));
    QPushButton* after_ = new QPushButton(QStringLiteral("after"));
};

TEST_F(IconButtonTest, SetAlignAcceptsZeroToThreeAndRefusesMore) {
    for (int alignment : {0, 2, 3, 1}) {
        EXPECT_EQ(button_->SetAlign(alignment), 0) << alignment;
        EXPECT_EQ(button_->Align(), alignment);
    }
    for (int refused : {4, 5, 255, -1}) {
        EXPECT_EQ(button_->SetAlign(refused), 4) << refused;
        EXPECT_EQ(button_->Align(), 1);
    }
}

TEST_F(IconButtonTest, DisablingTheFocusedButtonMovesFocusToTheNextWidget) {
    button_->setFocus();
    ASSERT_TRUE(button_->hasFocus());
    button_->setEnabled(false);
    EXPECT_TRUE(after_->hasFocus());
}

TEST_F(IconButtonTest, DoubleClickGivesTwoClicks) {
    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    // What the window system delivers for a double click.
    SendMouse(QEvent::MouseButtonPress, Inside(), Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, Inside(), Qt::NoButton);
    SendMouse(QEvent::MouseButtonPress, Inside(), Qt::LeftButton);
    SendMouse(QEvent::MouseButtonDblClick, Inside(), Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, Inside(), Qt::NoButton);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(IconButtonTest, SpaceEnterAndReturnPressTheFocusedButton) {
    button_->setFocus();
    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    int expected = 0;
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(button_, key);
        EXPECT_EQ(clicks.count(), ++expected) << key;
    }
    QTest::keyClick(button_, Qt::Key_A);
    EXPECT_EQ(clicks.count(), expected);
}

TEST_F(IconButtonTest, HoverFollowsEnterAndLeave) {
    SendEnter();
    EXPECT_TRUE(button_->IsHovered());
    SendLeave();
    EXPECT_FALSE(button_->IsHovered());
    SendMouse(QEvent::MouseMove, Inside(), Qt::NoButton);
    EXPECT_TRUE(button_->IsHovered());
    button_->setFocus();
    after_->setFocus();
    EXPECT_FALSE(button_->IsHovered());
}

TEST_F(IconButtonTest, HoverDoesNotStartWhileTheButtonIsHeldDown) {
    SendMouse(QEvent::MouseButtonPress, Inside(), Qt::LeftButton);
    SendMouse(QEvent::MouseMove, Outside(), Qt::LeftButton);
    SendMouse(QEvent::MouseMove, Inside(), Qt::LeftButton);
    EXPECT_FALSE(button_->IsHovered());
    SendMouse(QEvent::MouseButtonRelease, Inside(), Qt::NoButton);
}

TEST_F(IconButtonTest, HoverStartedBeforeThePressStaysWhileHeldAndEndsWhenMovedOff) {
    SendMouse(QEvent::MouseMove, Inside(), Qt::NoButton);
    SendMouse(QEvent::MouseButtonPress, Inside(), Qt::LeftButton);
    SendMouse(QEvent::MouseMove, Inside(), Qt::LeftButton);
    EXPECT_TRUE(button_->IsHovered());
    SendMouse(QEvent::MouseMove, Outside(), Qt::LeftButton);
    EXPECT_FALSE(button_->IsHovered());
    SendMouse(QEvent::MouseButtonRelease, Outside(), Qt::NoButton);
}

// The caption, without its mnemonic's marks, is the accessible name; the
// mnemonic's key presses the button.
TEST_F(IconButtonTest, CaptionIsTheAccessibleNameAndItsMnemonicPresses) {
    EXPECT_EQ(button_->accessibleName(), "Unzip File");
    const std::pair<const char*, const char*> captions[] = {
        {"Decrypt File", "Decrypt File"}, {"&Decrypt File", "Decrypt File"}, {"Add F&olders", "Add Folders"},
        {"ファイルを復号(&D)", "ファイルを復号"}, {"Salt && &Pepper", "Salt & Pepper"}};
    for (const auto& [caption, name] : captions) {
        button_->SetCaption(QString::fromUtf8(caption));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button_);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(name)) << caption;
    }
    EXPECT_EQ(button_->shortcut(), QKeySequence(Qt::ALT | Qt::Key_P));
}

// A caption a little wider than the wrapping width, as a CJK caption with its
// "(X)" mnemonic is, stays on one line; a long one wraps.
TEST_F(IconButtonTest, CaptionWrapsOnlyWhenFarWiderThanTheButton) {
    const auto height = [this](const char* caption) {
        button_->SetCaption(QString::fromUtf8(caption));
        return button_->sizeHint().height();
    };
    EXPECT_EQ(height("アーカイブを作成(&C)"), height("作成(&C)"));
    EXPECT_GT(height("Create an archive of everything in the list"), height("Unzip File"));
}

TEST_F(IconButtonTest, FocusFrameShowsForKeyboardFocusOnly) {
    before_->setFocus();
    const QImage unfocused = button_->grab().toImage();
    const struct {
        Qt::FocusReason reason;
        bool frame;
    } rows[] = {
        {Qt::TabFocusReason, true},
        {Qt::BacktabFocusReason, true},
        {Qt::ShortcutFocusReason, true},
        {Qt::MouseFocusReason, false},
        {Qt::OtherFocusReason, false},
    };
    for (const auto& row : rows) {
        before_->setFocus();
        button_->setFocus(row.reason);
        ASSERT_TRUE(button_->hasFocus()) << row.reason;
        EXPECT_EQ(button_->ShowsFocusFrame(), row.frame) << row.reason;
        EXPECT_EQ(button_->grab().toImage() != unfocused, row.frame) << row.reason;
    }
}

TEST_F(IconButtonTest, TabShowsTheFocusFrameAndAClickTakesItAway) {
    before_->setFocus();
    QTest::keyClick(before_, Qt::Key_Tab);
    ASSERT_TRUE(button_->hasFocus());
    EXPECT_TRUE(button_->ShowsFocusFrame());
    SendMouse(QEvent::MouseButtonPress, Inside(), Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, Inside(), Qt::NoButton);
    EXPECT_FALSE(button_->ShowsFocusFrame());
}

// The bounding box of the pixels painted in colour.
QRect PaintedArea(const QImage& image, QColor colour) {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

TEST(IconButtonPaintTest, IconIsCentredBothWaysWithoutCaptionAndOnTopWithOne) {
    QPixmap solid(48, 48);
    solid.fill(Qt::magenta);
    IconButton button{QIcon(solid), QString()};
    button.resize(120, 100);
    const QRect alone = PaintedArea(button.grab().toImage(), Qt::magenta);
    EXPECT_EQ(alone.size(), QSize(48, 48));
    EXPECT_LE(std::abs(alone.center().x() - 60), 1);
    EXPECT_LE(std::abs(alone.center().y() - 50), 1);

    button.SetCaption(QStringLiteral("Create Archive"));
    const QRect withCaption = PaintedArea(button.grab().toImage(), Qt::magenta);
    EXPECT_LE(std::abs(withCaption.center().x() - 60), 1);
    EXPECT_LT(withCaption.top(), 10);
}

TEST(IconButtonPaintTest, PressedContentMovesByOnePixel) {
    QPixmap solid(48, 48);
    solid.fill(Qt::magenta);
    IconButton button(QIcon(solid), QStringLiteral("Unzip"));
    button.resize(button.sizeHint());
    const QRect idle = PaintedArea(button.grab().toImage(), Qt::magenta);
    button.setDown(true);
    const QRect pressed = PaintedArea(button.grab().toImage(), Qt::magenta);
    EXPECT_EQ(pressed.topLeft() - idle.topLeft(), QPoint(1, 1));
}

}  // namespace
}  // namespace vaultpack
