#include "ui/controls/ResizableDialogBase.h"

#include <QEvent>
#include <QResizeEvent>
#include <QSizeGrip>

namespace vaultpack {

ResizableDialogBase::ResizableDialogBase(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      sizeGrip_(new QSizeGrip(this)) {
    sizeGrip_->setObjectName(QStringLiteral("sizeGrip"));
}

void ResizableDialogBase::SetStartingSize(QSize startingSize) {
    resize(startingSize);
    setMinimumSize(startingSize);
    PlaceSizeGrip();
}

QPoint ResizableDialogBase::PointOf(Anchor anchor) const {
    return {width() * anchor.x / 100, height() * anchor.y / 100};
}

void ResizableDialogBase::AnchorControl(QWidget* control, Anchor topLeft, Anchor bottomRight) {
    if (bottomRight == kNoAnchor) {
        bottomRight = topLeft;
    }
    const QRect place = control->geometry();
    // The bottom-right corner is kept as the point just outside the control,
    // so that width and height come out exact.
    records_.push_back({control, topLeft, bottomRight, place.topLeft() - PointOf(topLeft),
                        place.bottomRight() + QPoint(1, 1) - PointOf(bottomRight)});
}

void ResizableDialogBase::ArrangeControls() {
    for (const AnchorRecord& record : records_) {
        if (!record.control) {
            continue;
        }
        const QRect place(PointOf(record.topLeft) + record.marginTopLeft,
                          PointOf(record.bottomRight) + record.marginBottomRight - QPoint(1, 1));
        if (place != record.control->geometry()) {
            record.control->setGeometry(place);
        }
    }
}

void ResizableDialogBase::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceSizeGrip();
    ArrangeControls();
}

void ResizableDialogBase::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        sizeGrip_->setVisible(!isMaximized());
    }
}

void ResizableDialogBase::PlaceSizeGrip() {
    const QSize grip = sizeGrip_->sizeHint();
    sizeGrip_->setGeometry(QRect(QPoint(width() - grip.width(), height() - grip.height()), grip));
    sizeGrip_->raise();
}

}  // namespace vaultpack
