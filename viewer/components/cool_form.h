// TCoolForm: an image control that turns the window it is placed on into a
// borderless window of any outline. It shows a picture over the whole
// window, clips the window to a region kept with the form ("Mask2"), and
// lets the user drag the window by pressing the left button on the picture.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include "platform/gdi/gdi.h"
#include "viewer/components/byte_io.h"

class QRegion;

namespace brevant {

class TCoolForm;

// The region of a TCoolForm: a region of the GDI stand-in, none when empty.
class TRegionType {
public:
    explicit TRegionType(TCoolForm& owner) : owner_(owner) {}
    ~TRegionType() { setRegion(nullptr); }
    TRegionType(const TRegionType&) = delete;
    TRegionType& operator=(const TRegionType&) = delete;

    TCoolForm& owner() const { return owner_; }
    win::HRGN region() const { return region_; }
    // Takes the region, deleting the one held before.
    void setRegion(win::HRGN region);

private:
    TCoolForm& owner_;
    win::HRGN region_ = nullptr;
};

// The region as a window mask: the window keeps a copy of its rectangles;
// no region gives the whole window back.
QRegion regionToQRegion(win::HRGN region);
void SetWindowRgn(QWidget* window, win::HRGN region);

class TCoolForm : public QWidget {
    Q_OBJECT

public:
    // Placed on a parent, it takes the parent as its form (SetParent).
    explicit TCoolForm(QWidget* parent = nullptr);
    ~TCoolForm() override;

    // The parent becomes borderless when it is a window of its own; the
    // control then sits at 0, 0 filling it.
    void SetParent(QWidget* parent);

    TRegionType& Mask() { return mask_; }
    const TRegionType& Mask() const { return mask_; }
    bool draggable() const { return draggable_; }
    void setDraggable(bool on) { draggable_ = on; }

    // The position can only be 0, 0; the size follows the form.
    int top() const { return y(); }
    int left() const { return x(); }
    void setTop(int value);
    void setLeft(int value);
    void setWidth(int value) { resize(value, height()); }
    void setHeight(int value) { resize(width(), value); }

    const QImage& picture() const { return picture_; }
    // A new picture drops the mask's region; the window keeps its outline.
    void setPicture(const QImage& picture);

    // The stored "Mask2" property: a 32-bit little-endian byte count, then
    // that many bytes of region data as GetRegionData gives them; a count of
    // 0 means no region. Reading hands a region to the form; a malformed
    // block leaves the region empty and the form rectangular.
    void readMask2(ByteSpan block);
    Bytes writeMask2() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TRegionType mask_;
    bool draggable_ = true;
    QImage picture_;
    // A drag the program carries out itself, when the window system does
    // not move the window: the mouse's offset from the window's corner.
    bool dragging_ = false;
    QPoint grab_;
};

}  // namespace brevant
