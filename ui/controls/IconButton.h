#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QString>

namespace vaultpack {

// The large push button of the main window and the archive builder: an icon
// with a word-wrapped caption, flat until the mouse is over it, then a thin
// raised border; sunken, with icon and caption moved by one pixel, while
// pressed. Drawn in the palette's colours, so it follows light and dark
// themes. Space, Enter and Return press it when it has the focus; a double
// click counts as two clicks. Focus that arrives from the keyboard (Tab,
// Backtab, a shortcut) shows the style's focus frame, so a keyboard user sees
// where Space will act; focus from a mouse click keeps the flat look.
class IconButton : public QAbstractButton {
    Q_OBJECT

public:
    // Where the icon sits against the caption.
    enum Alignment : int { IconLeft = 0, IconAbove = 1, IconRight = 2, IconBelow = 3 };

    explicit IconButton(QWidget* parent = nullptr);
    IconButton(const QIcon& icon, const QString& caption, QWidget* parent = nullptr);

    // Sets the caption, which is also the button's accessible name.
    void SetCaption(const QString& caption);

    // Accepts 0 to 3 (see Alignment), redraws and returns 0; any larger value
    // is refused with the result 4 and changes nothing.
    int SetAlign(int alignment);
    int Align() const { return alignment_; }

    // True while the mouse is over the button and draws the hover border.
    bool IsHovered() const { return hovered_; }
    // True while the button has the focus and shows the focus frame.
    bool ShowsFocusFrame() const { return hasFocus() && keyboardFocus_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Placement {
        QRect icon;
        QRect caption;
    };

    void SetHovered(bool hovered);
    // Where icon and caption go inside area for the current alignment; the
    // caption rectangle is empty when there is no caption.
    Placement PlaceContent(const QRect& area) const;
    QRect CaptionBounds(int maxWidth) const;
    void DrawBorder(QPainter& painter, bool pressed) const;
    void DrawCaption(QPainter& painter, const QRect& area) const;
    void DrawFocusFrame(QPainter& painter) const;

    int alignment_ = IconAbove;
    bool hovered_ = false;
    // The focus last came from the keyboard.
    bool keyboardFocus_ = false;
};

}  // namespace vaultpack
