#include "tools/page_raster.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/control/page_geometry.h"
#include "engine/doc/pdf_page.h"
#include "engine/render/content/page_renderer.h"
#include "engine/render/raster/gdi_device.h"

namespace vistrel {
namespace {

bool endsWith(const std::string& s, const char* suffix) {
    const std::string t(suffix);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Pixels of blue, green, red bytes to red, green, blue: four pixels a step,
// 16 bytes read and shuffled at once; the four bytes past the step's twelve
// are written again by the next step or the rest. Made three times, for
// processors with AVX2, with SSSE3 (one byte shuffle instruction) and
// without (picked when the program loads): the conversion reads the whole
// page, a large part of writing it.
__attribute__((target_clones("avx2", "ssse3", "default"))) void toRgb(
    const std::uint8_t* __restrict bgr, std::size_t pixels, std::uint8_t* __restrict rgb) {
    using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
#if !defined(__clang__)
    const Bytes16 order = {2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15};
#endif
    std::size_t i = 0;
    for (; i + 6 <= pixels; i += 4) {
        Bytes16 v;
        std::memcpy(&v, bgr + 3 * i, sizeof v);
#if defined(__clang__)
        v = __builtin_shufflevector(v, v, 2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
#else
        v = __builtin_shuffle(v, order);
#endif
        std::memcpy(rgb + 3 * i, &v, sizeof v);
    }
    for (; i < pixels; ++i) {
        rgb[3 * i] = bgr[3 * i + 2];
        rgb[3 * i + 1] = bgr[3 * i + 1];
        rgb[3 * i + 2] = bgr[3 * i];
    }
}

// Rows converted in blocks small enough to stay in the cache while the
// system copies them out; each block is written in one call, which bypasses
// the stream's buffer.
bool writePpm(const PageBitmap& bitmap, std::FILE* f) {
    const std::size_t rowBytes = std::size_t(bitmap.width()) * 3;
    const std::int32_t blockRows = std::int32_t(std::max<std::size_t>(1, (256 << 10) / rowBytes));
    std::vector<std::uint8_t> rgb(rowBytes * std::size_t(blockRows));
    std::fprintf(f, "P6\n%d %d\n255\n", bitmap.width(), bitmap.height());
    for (std::int32_t y = 0; y < bitmap.height(); y += blockRows) {
        const std::int32_t rows = std::min(blockRows, bitmap.height() - y);
        for (std::int32_t r = 0; r < rows; ++r)
            toRgb(bitmap.row(y + r), std::size_t(bitmap.width()), rgb.data() + rowBytes * r);
        const std::size_t bytes = rowBytes * std::size_t(rows);
        if (std::fwrite(rgb.data(), 1, bytes, f) != bytes)
            return false;
    }
    return true;
}

bool writePng(const PageBitmap& bitmap, std::FILE* f) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<std::uint8_t> rgb(std::size_t(bitmap.width()) * 3);
    volatile bool ok = false;  // read after a long jump out of libpng
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, png_uint_32(bitmap.width()), png_uint_32(bitmap.height()), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (std::int32_t y = 0; y < bitmap.height(); ++y) {
            toRgb(bitmap.row(y), std::size_t(bitmap.width()), rgb.data());
            png_write_row(png, rgb.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return ok;
}

}  // namespace

PageBitmap::~PageBitmap() {
    destroy();
    if (dc_)
        win::DeleteDC(dc_);
}

void PageBitmap::destroy() {
    if (bitmap_) {
        win::SelectObject(dc_, previous_);
        win::DeleteObject(bitmap_);
    }
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
}

bool PageBitmap::create(std::int32_t width, std::int32_t height) {
    if (!dc_)
        dc_ = win::CreateCompatibleDC(nullptr);
    if (!dc_)
        return false;
    const bool kept = bitmap_ && width == width_ && height == height_;
    if (!kept) {
        destroy();
        win::BITMAPINFO info{};
        info.bmiHeader = {
            sizeof(win::BITMAPINFOHEADER), width, -height, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_ = win::CreateDIBSection(dc_, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_)
            return false;
        previous_ = win::SelectObject(dc_, bitmap_);
        bits_ = static_cast<std::uint8_t*>(bits);
        stride_ = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
        width_ = width;
        height_ = height;
    }
    win::SelectClipRgn(dc_, nullptr);
    // A kept bitmap was white before the last page was drawn into it: only
    // what that page changed is cleared again.
    win::RECT stale{0, 0, width, height};
    if (kept)
        win::GetBitmapChange(bitmap_, &stale, 0);
    win::PatBlt(dc_, stale.left, stale.top, stale.right - stale.left, stale.bottom - stale.top,
                win::WHITENESS);
    win::GetBitmapChange(bitmap_, &stale, win::DCB_RESET);
    return true;
}

bool renderPageBitmap(PdfPage& page, double zoom, ProgressSink& sink, PageBitmap& bitmap,
                      std::string& why) {
    PageGeometry g;
    if (!readPageGeometry(page, zoom, g)) {
        why = "the page has neither /CropBox nor /MediaBox";
        return false;
    }
    std::int32_t width = 0, height = 0;
    if (!pageBitmapSize(g, kMaxBitmapSide, kMaxBitmapPixels, width, height)) {
        why = "the page is below one pixel or larger than the control renders";
        return false;
    }
    if (!bitmap.create(width, height)) {
        why = "no bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels can be made";
        return false;
    }
    GdiDevice device(bitmap.dc(), IntPoint(width, height));
    const Matrix matrix = pageMatrix(g, zoom);
    renderPage(page, device, &matrix, &sink, 0);
    return true;
}

bool writePageImage(const PageBitmap& bitmap, const std::string& path, std::string& why) {
    const bool png = endsWith(path, ".png");
    if (!png && !endsWith(path, ".ppm")) {
        why = "the output name must end in .png or .ppm";
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        why = "cannot write " + path;
        return false;
    }
    const bool written = png ? writePng(bitmap, f.get()) : writePpm(bitmap, f.get());
    if (!written || std::fflush(f.get()) != 0) {
        why = "writing " + path + " failed";
        return false;
    }
    return true;
}

}  // namespace vistrel
