// Where engine pages meet Qt: a 32-bit top-down DIB section of a surface's
// size, selected into a memory device context of the GDI stand-in. The
// engine draws into the device context; the same pixel memory is wrapped,
// not copied, in a QImage that QPainter paints.
#pragma once

#include <QImage>
#include <QSize>

#include <memory>

#include "platform/gdi/gdi.h"

namespace brevant {

class DibSurface {
public:
    // A surface of width x height pixels; invalid when either is below 1
    // or the device context or section cannot be made.
    DibSurface(int width, int height);
    ~DibSurface();
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    bool isValid() const { return !image_.isNull(); }
    // The device context the engine draws into (null when invalid).
    win::HDC dc() const { return dc_; }
    // The pixels (blue, green, red, unused per pixel), rows from the top.
    const QImage& image() const { return image_; }
    // A fresh image over the same pixels for a QPainter to draw into. Keep
    // it unshared while painting: a copied QImage would detach from the
    // section and draw into a copy.
    QImage paintTarget();

private:
    win::HDC dc_ = nullptr;
    win::HBITMAP bitmap_ = nullptr;
    win::HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
    QImage image_;
};

// The pixels of a window that is never erased: a surface of the window's
// size whose pixels are kept from one paint to the next, and across a
// resize where the old and the new area overlap (new area starts black).
class RetainedSurface {
public:
    // Makes the surface the given size; false while that size is empty or
    // the surface cannot be made.
    bool fit(QSize size);
    DibSurface* get() const { return surface_.get(); }
    win::HDC dc() const;

private:
    std::unique_ptr<DibSurface> surface_;
};

}  // namespace brevant
