// The control object's image output: the page last rendered as a JPEG file,
// and as JPEG or PNG bytes in a byte array.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "engine/control/vistrel.h"
#include "engine/core/file_layer.h"
#include "engine/core/streams.h"
#include "engine/export/byte_array_buffer.h"
#include "engine/export/jpeg_encode_stream.h"
#include "engine/export/png_encode_stream.h"

namespace vistrel {

using win::HRESULT;
using win::S_FALSE;
using win::S_OK;

namespace {

// The byte array the image properties start with, and its growth step.
constexpr std::uint32_t kImageArraySize = 65536;
constexpr std::uint32_t kImageArrayStep = 1024;

// Frees a DIB section and its context.
struct Section {
    win::HDC dc;
    win::HBITMAP bitmap;
    win::HGDIOBJ previous;
    ~Section() {
        if (bitmap) {
            win::SelectObject(dc, previous);
            win::DeleteObject(bitmap);
        }
        if (dc)
            win::DeleteDC(dc);
    }
};

}  // namespace

bool Vistrel::forEachPageRow(const std::function<bool(const std::uint8_t*)>& row) const {
    if (!hasPageBitmap())
        return false;
    const std::int32_t width = bitmapWidth_, height = bitmapHeight_;
    Section section{win::CreateCompatibleDC(memoryDc_), nullptr, nullptr};
    if (!section.dc)
        return false;
    win::BITMAPINFO info{};
    info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), width, -height, 1, 24, win::BI_RGB, 0, 0, 0,
                      0, 0};
    void* bits = nullptr;
    section.bitmap =
        win::CreateDIBSection(section.dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section.bitmap || !bits)
        return false;
    section.previous = win::SelectObject(section.dc, section.bitmap);
    win::BitBlt(section.dc, 0, 0, width, height, memoryDc_, 0, 0, win::SRCCOPY);
    // Rows from the top, 4-byte aligned; blue, green, red become red, green,
    // blue in place.
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    auto* pixels = static_cast<std::uint8_t*>(bits);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* line = pixels + std::size_t(y) * stride;
        for (std::int32_t x = 0; x < width; ++x)
            std::swap(line[3 * x], line[3 * x + 2]);
        if (!row(line))
            return false;
    }
    return true;
}

HRESULT Vistrel::writeJPG(BSTR filename) {
    if (!hasPageBitmap())
        return S_FALSE;
    const std::u16string name(filename ? filename : u"", win::SysStringLen(filename));
    std::unique_ptr<FileOutputStream> file(new (std::nothrow)
                                               FileOutputStream(name, kFileWrite | kFileCreate));
    if (!file || !file->isOpen())
        return S_FALSE;
    bool written = false;
    {
        JpegEncodeStream jpeg(file.get(), bitmapWidth_, bitmapHeight_, 3);
        written = jpeg.isOpen() && jpeg.open() &&
                  forEachPageRow([&](const std::uint8_t* row) { return jpeg.writeRow(row); }) &&
                  jpeg.finish();
    }
    file.reset();
    if (written)
        return S_OK;
    // No partial image is left behind (only a file: a device stays).
    std::string native;
    struct stat info {};
    if (nativeFileName(name, native) && ::lstat(native.c_str(), &info) == 0 &&
        S_ISREG(info.st_mode))
        ::unlink(native.c_str());
    return S_FALSE;
}

HRESULT Vistrel::encodePage(win::VARIANT* pVal, bool png) const {
    if (!pVal)
        return win::E_POINTER;
    if (!hasPageBitmap())
        return S_FALSE;
    ByteArrayBuffer buffer(kImageArraySize, kImageArrayStep);
    if (!buffer.isOpen())
        return S_FALSE;
    {
        std::unique_ptr<ImageEncodeStream> encoder;
        if (png) {
            encoder = std::make_unique<PngEncodeStream>(&buffer, bitmapWidth_, bitmapHeight_, 3);
        } else {
            encoder = std::make_unique<JpegEncodeStream>(&buffer, bitmapWidth_, bitmapHeight_, 3);
        }
        if (!encoder->isOpen() || !encoder->open() ||
            !forEachPageRow([&](const std::uint8_t* row) { return encoder->writeRow(row); }) ||
            !encoder->finish() || buffer.refused())
            return S_FALSE;
    }
    // Only a whole image is handed out.
    win::SAFEARRAY* array = buffer.copyOut();
    if (!array)
        return S_FALSE;
    pVal->vt = win::VT_ARRAY | win::VT_UI1;
    pVal->parray = array;
    return S_OK;
}

HRESULT Vistrel::get_JPG(win::VARIANT* pVal) {
    return encodePage(pVal, false);
}

HRESULT Vistrel::get_PNG(win::VARIANT* pVal) {
    return encodePage(pVal, true);
}

}  // namespace vistrel
