#include "viewer/app/dib_surface.h"

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
    previous_ = win::SelectObject(dc_, bitmap_);
    // The stand-in's 32-bit rows are width * 4 bytes, as RGB32 images are;
    // the fourth byte is never read.
    image_ = QImage(static_cast<uchar*>(bits), width, height, qsizetype(width) * 4,
                    QImage::Format_RGB32);
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

}  // namespace brevant
