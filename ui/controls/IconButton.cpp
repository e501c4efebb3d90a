#include "ui/controls/IconButton.h"

#include <algorithm>

#include <QEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace vaultpack {

namespace {

constexpr int kIconExtent = 48;
// Space between the border and the content, and between icon and caption.
constexpr int kMargin = 4;
constexpr int kSpacing = 4;
// Icon and caption move by this much while pressed, like a sunken button.
constexpr QPoint kPressedOffset(1, 1);
// The caption wraps at this width unless the button is wider, or the caption
// fits on one line up to the second width (a CJK caption with its "(X)"
// mnemonic would otherwise leave that alone on a line of its own).
constexpr int kPreferredCaptionWidth = 96;
constexpr int kWidestOneLineCaption = 128;
constexpr int kMaxAlignment = 3;
constexpr int kAlignmentRefused = 4;

// The caption's "&" marks its mnemonic, underlined as on any push button.
constexpr int kCaptionFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

// The caption as a screen reader says it: without the mnemonic's marks, the
// "(&X)" of a CJK caption included.
QString WithoutMnemonic(QString caption) {
    static const QRegularExpression kCjkMnemonic(QStringLiteral("\\(&[^&]\\)$"));
    caption.remove(kCjkMnemonic);
    static const QRegularExpression kMark(QStringLiteral("&(.)"));
    return caption.replace(kMark, QStringLiteral("\\1"));
}

}  // namespace

IconButton::IconButton(QWidget* parent) : QAbstractButton(parent) {
    setIconSize(QSize(kIconExtent, kIconExtent));
    setFocusPolicy(Qt::StrongFocus);
    // Moves without a button held are needed to start the hover highlight.
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

IconButton::IconButton(const QIcon& icon, const QString& caption, QWidget* parent) : IconButton(parent) {
    setIcon(icon);
    SetCaption(caption);
}

void IconButton::SetCaption(const QString& caption) {
    setText(caption);
    setAccessibleName(WithoutMnemonic(caption));
    updateGeometry();
}

int IconButton::SetAlign(int alignment) {
    if (alignment < 0 || alignment > kMaxAlignment) {
        return kAlignmentRefused;
    }
    alignment_ = alignment;
    updateGeometry();
    update();
    return 0;
}

QRect IconButton::CaptionBounds(int maxWidth) const {
    if (text().isEmpty()) {
        return {};
    }
    return fontMetrics().boundingRect(QRect(0, 0, maxWidth, 10000), kCaptionFlags, text());
}

QSize IconButton::sizeHint() const {
    const QSize icon = iconSize();
    const int oneLine = CaptionBounds(QWIDGETSIZE_MAX).width();
    const int wrapWidth =
        std::max({kPreferredCaptionWidth, icon.width(), oneLine <= kWidestOneLineCaption ? oneLine : 0});
    const QRect caption = CaptionBounds(wrapWidth);
    const bool sideBySide = alignment_ == IconLeft || alignment_ == IconRight;
    const int gap = caption.isEmpty() ? 0 : kSpacing;
    QSize content = sideBySide
                        ? QSize(icon.width() + gap + caption.width(), std::max(icon.height(), caption.height()))
                        : QSize(std::max(icon.width(), caption.width()), icon.height() + gap + caption.height());
    // Border and margin on each side.
    const int frame = 2 * (1 + kMargin);
    return content + QSize(frame, frame);
}

QSize IconButton::minimumSizeHint() const {
    return sizeHint();
}

IconButton::Placement IconButton::PlaceContent(const QRect& area) const {
    const QSize icon = iconSize();
    if (text().isEmpty()) {
        return {QRect(QPoint(), icon).translated(area.center() - QRect(QPoint(), icon).center()), {}};
    }
    Placement placement;
    switch (alignment_) {
        case IconLeft:
            placement.icon = QRect(area.left(), area.top() + (area.height() - icon.height()) / 2, icon.width(),
                                   icon.height());
            placement.caption = area.adjusted(icon.width() + kSpacing, 0, 0, 0);
            break;
        case IconRight:
            placement.icon = QRect(area.right() + 1 - icon.width(), area.top() + (area.height() - icon.height()) / 2,
                                   icon.width(), icon.height());
            placement.caption = area.adjusted(0, 0, -(icon.width() + kSpacing), 0);
            break;
        case IconBelow:
            placement.icon = QRect(area.left() + (area.width() - icon.width()) / 2, area.bottom() + 1 - icon.height(),
                                   icon.width(), icon.height());
            placement.caption = area.adjusted(0, 0, 0, -(icon.height() + kSpacing));
            break;
        default:
            placement.icon = QRect(area.left() + (area.width() - icon.width()) / 2, area.top(), icon.width(),
                                   icon.height());
            placement.caption = area.adjusted(0, icon.height() + kSpacing, 0, 0);
            break;
    }
    return placement;
}

void IconButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const bool pressed = isDown() || isChecked();
    if (pressed || hovered_) {
        DrawBorder(painter, pressed);
    }
    // Under icon and caption, as some styles fill the frame.
    if (ShowsFocusFrame()) {
        DrawFocusFrame(painter);
    }

    // The margin also takes the pressed offset, so the content stays centred.
    const QRect area = rect().adjusted(1 + kMargin, 1 + kMargin, -(1 + kMargin), -(1 + kMargin));
    Placement placement = PlaceContent(area);
    if (pressed) {
        placement.icon.translate(kPressedOffset);
        placement.caption.translate(kPressedOffset);
    }
    if (!icon().isNull()) {
        // Asking for the pixmap at the widget's pixel ratio keeps the icon
        // sharp on high-density screens.
        const QPixmap pixmap =
            icon().pixmap(iconSize(), devicePixelRatioF(), isEnabled() ? QIcon::Normal : QIcon::Disabled);
        painter.drawPixmap(placement.icon.topLeft(), pixmap);
    }
    if (!text().isEmpty()) {
        DrawCaption(painter, placement.caption);
    }
}

void IconButton::DrawFocusFrame(QPainter& painter) const {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    // Inside the border, clear of the hover and pressed lines.
    option.rect = rect().adjusted(3, 3, -3, -3);
    option.backgroundColor = palette().color(QPalette::Button);
    // Styles such as Fusion draw the frame only for keyboard focus, which
    // they read from this flag; the window's own flag may not be set when the
    // focus came by a shortcut.
    option.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void IconButton::DrawBorder(QPainter& painter, bool pressed) const {
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor topLeft = pressed ? dark : light;
    const QColor bottomRight = pressed ? light : dark;
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.setPen(topLeft);
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
}

void IconButton::DrawCaption(QPainter& painter, const QRect& area) const {
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(area, kCaptionFlags, text());
        return;
    }
    // Embossed: a copy one pixel down and right in the palette's light (or,
    // on a dark window, shadow) shade, then the text in a shade halfway
    // between text and window: plainly disabled, still readable in every
    // theme, where the palette's own dark shades are nearly invisible.
    const QPalette& colours = palette();
    const QColor window = colours.color(QPalette::Window);
    const QColor textColour = colours.color(QPalette::Active, QPalette::ButtonText);
    const bool darkWindow = window.lightness() < 128;
    painter.setPen(colours.color(QPalette::Active, darkWindow ? QPalette::Shadow : QPalette::Light));
    painter.drawText(area.translated(1, 1), kCaptionFlags, text());
    painter.setPen(QColor((textColour.red() + window.red()) / 2, (textColour.green() + window.green()) / 2,
                          (textColour.blue() + window.blue()) / 2));
    painter.drawText(area, kCaptionFlags, text());
}

void IconButton::SetHovered(bool hovered) {
    if (hovered_ != hovered) {
        hovered_ = hovered;
        update();
    }
}

void IconButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    // A press that started elsewhere and is dragged over the button does not
    // light it up.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        SetHovered(true);
    }
}

void IconButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    SetHovered(false);
}

void IconButton::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
    // While the left button is held, hover may end (moving off) but not start
    // (moving back on): the button then shows pressed or nothing.
    const bool inside = rect().contains(event->position().toPoint());
    if ((event->buttons() & Qt::LeftButton) && !hovered_) {
        return;
    }
    SetHovered(inside);
}

void IconButton::focusInEvent(QFocusEvent* event) {
    QAbstractButton::focusInEvent(event);
    switch (event->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
            keyboardFocus_ = true;
            break;
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
            // The focus comes back as it was when the window or menu took it.
            break;
        default:
            keyboardFocus_ = false;
            break;
    }
}

void IconButton::mousePressEvent(QMouseEvent* event) {
    // A click on a button that had keyboard focus returns it to the flat look.
    if (keyboardFocus_) {
        keyboardFocus_ = false;
        update();
    }
    QAbstractButton::mousePressEvent(event);
}

void IconButton::focusOutEvent(QFocusEvent* event) {
    QAbstractButton::focusOutEvent(event);
    SetHovered(false);
}

void IconButton::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void IconButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    switch (event->type()) {
        case QEvent::EnabledChange:
            // Qt itself hands the focus of a disabled widget to the next one
            // in the tab chain; only the highlight is ours to drop.
            if (!isEnabled()) {
                SetHovered(false);
            }
            break;
        case QEvent::ActivationChange:
            if (!isActiveWindow()) {
                SetHovered(false);
            }
            break;
        default:
            break;
    }
}

}  // namespace vaultpack
