#include "viewer/components/dib_surface.h"

#include <QPainter>

namespace brevant {

DibSurface::DibSurface(int width, int height) {
    if (width < 1 || height < 1)
        return;
    dc_ = win::CreateCompatibleDC(nullptr);
    if (!dc_)
        return;
    win::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as QImage lays rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = win::BI_RGB;
    void* bits = nullptr;
    bitmap_ = win::CreateDIBSection(dc_, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_ || !bits)
        return;
    bits_ = bits;
    previous_ = win::SelectObject(dc_, bitmap_);
    // The stand-in's 32-bit rows are width * 4 bytes, as RGB32 images are;
    // the fourth byte is never read.
    image_ = QImage(static_cast<uchar*>(bits), width, height, qsizetype(width) * 4,
                    QImage::Format_RGB32);
}

QImage DibSurface::paintTarget() {
    if (image_.isNull())
        return {};
    return QImage(static_cast<uchar*>(bits_), image_.width(), image_.height(),
                  image_.bytesPerLine(), QImage::Format_RGB32);
}

DibSurface::~DibSurface() {
    image_ = QImage();
    if (dc_ && previous_)
        win::SelectObject(dc_, previous_);
    if (bitmap_)
        win::DeleteObject(bitmap_);
    if (dc_)
        win::DeleteDC(dc_);
}

bool RetainedSurface::fit(QSize size) {
    if (size.isEmpty())
        return false;
    if (surface_ && surface_->image().size() == size)
        return true;
    auto next = std::make_unique<DibSurface>(size.width(), size.height());
    if (!next->isValid())
        return false;
    if (surface_) {
        QImage target = next->paintTarget();
        QPainter painter(&target);
        painter.drawImage(0, 0, surface_->image());
    }
    surface_ = std::move(next);
    return true;
}

win::HDC RetainedSurface::dc() const {
    return surface_ ? surface_->dc() : win::HDC();
}

}  // namespace brevant
