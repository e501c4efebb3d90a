#pragma once

#include <vector>

#include <QDialog>
#include <QPointer>

class QSizeGrip;

namespace vaultpack {

// A point of a dialog's client area in percent of its width and height:
// (0, 0) top left, (100, 100) bottom right.
struct Anchor {
    int x;
    int y;
    bool operator==(const Anchor&) const = default;
};
inline constexpr Anchor kAnchorTopLeft{0, 0};
inline constexpr Anchor kAnchorTopRight{100, 0};
inline constexpr Anchor kAnchorBottomLeft{0, 100};
inline constexpr Anchor kAnchorBottomRight{100, 100};
// As a bottom-right anchor: the control keeps its size and follows its top-left anchor.
inline constexpr Anchor kNoAnchor{-1, -1};

// A freely resizable dialog whose controls are glued to points of its client
// area: each anchored corner keeps its distance, in pixels, to its anchor
// point as the dialog grows or shrinks. The dialog cannot be made smaller
// than its starting size, and shows a size grip in its bottom-right corner,
// except while maximised. Qt paints every window double-buffered, so resizing
// does not flicker.
class ResizableDialogBase : public QDialog {
    Q_OBJECT

public:
    explicit ResizableDialogBase(QWidget* parent = nullptr);

    // The size the dialog starts at, which is also its minimum size; called
    // once the controls are placed within it, before they are anchored.
    void SetStartingSize(QSize startingSize);

    // Records control with the distances of its corners to the two anchor
    // points, measured now.
    void AnchorControl(QWidget* control, Anchor topLeft, Anchor bottomRight = kNoAnchor);
    // Moves and sizes every anchored control for the current size; controls
    // whose place is unchanged are not touched.
    void ArrangeControls();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct AnchorRecord {
        QPointer<QWidget> control;
        Anchor topLeft;
        Anchor bottomRight;
        QPoint marginTopLeft;
        QPoint marginBottomRight;
    };

    QPoint PointOf(Anchor anchor) const;
    void PlaceSizeGrip();

    std::vector<AnchorRecord> records_;
    QSizeGrip* sizeGrip_;
};

}  // namespace vaultpack
