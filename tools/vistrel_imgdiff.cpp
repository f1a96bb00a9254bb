// vistrel-imgdiff: how far two page images are apart.
//
//   vistrel-imgdiff A B
//
// Reads PNG, binary PPM (P6) and binary PGM (P5) files, crops both to their
// common size and prints the size, the mean absolute difference of the grey
// values (0 to 255) at full resolution, and the same after both are reduced
// by 4 x 4 box averages, which evens out anti-aliasing and sub-pixel
// placement:
//
//   size 612 792
//   mean 1.234
//   reduced 0.456
//
// Exit status: 0, or 1 when an image cannot be read (with the reason on
// standard error).
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Grey values, one double per pixel.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<double> grey;
    double at(int x, int y) const { return grey[std::size_t(y) * std::size_t(width) + x]; }
};

double greyOf(double r, double g, double b) {
    return 0.299 * r + 0.587 * g + 0.114 * b;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr long long kMaxPixels = 1LL << 28;

bool readPng(std::FILE* f, GreyImage& out, std::string& why) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        why = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row;
    volatile bool ok = false;  // read after a long jump out of libpng
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_read_info(png, info);
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_strip_alpha(png);
        png_set_gray_to_rgb(png);
        png_read_update_info(png, info);
        const png_uint_32 w = png_get_image_width(png, info);
        const png_uint_32 h = png_get_image_height(png, info);
        if (w > 0 && h > 0 && (long long)w * h <= kMaxPixels &&
            png_get_rowbytes(png, info) == std::size_t(w) * 3) {
            out.width = int(w);
            out.height = int(h);
            out.grey.resize(std::size_t(w) * h);
            row.resize(std::size_t(w) * 3);
            for (png_uint_32 y = 0; y < h; ++y) {
                png_read_row(png, row.data(), nullptr);
                for (png_uint_32 x = 0; x < w; ++x) {
                    out.grey[std::size_t(y) * w + x] =
                        greyOf(row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
                }
            }
            ok = true;
        } else {
            why = "unsupported PNG layout or size";
        }
    } else {
        why = "damaged PNG data";
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

// One header number after white space and comments.
bool headerNumber(std::FILE* f, long long& value) {
    int c = std::fgetc(f);
    while (c == '#' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        if (c == '#') {
            while (c != '\n' && c != EOF)
                c = std::fgetc(f);
        }
        c = std::fgetc(f);
    }
    if (c < '0' || c > '9')
        return false;
    value = 0;
    while (c >= '0' && c <= '9') {
        value = value * 10 + (c - '0');
        if (value > (1LL << 31))
            return false;
        c = std::fgetc(f);
    }
    return c != EOF;  // the single white-space byte before the data
}

bool readNetpbm(std::FILE* f, bool colour, GreyImage& out, std::string& why) {
    long long w, h, maxval;
    if (!headerNumber(f, w) || !headerNumber(f, h) || !headerNumber(f, maxval) || w <= 0 ||
        h <= 0 || w * h > kMaxPixels || maxval < 1 || maxval > 65535) {
        why = "damaged PPM/PGM header";
        return false;
    }
    const int channels = colour ? 3 : 1;
    const int bytes = maxval > 255 ? 2 : 1;
    std::vector<unsigned char> row(std::size_t(w) * channels * bytes);
    out.width = int(w);
    out.height = int(h);
    out.grey.resize(std::size_t(w) * std::size_t(h));
    const double scale = 255.0 / double(maxval);
    for (long long y = 0; y < h; ++y) {
        if (std::fread(row.data(), 1, row.size(), f) != row.size()) {
            why = "the image data ends early";
            return false;
        }
        for (long long x = 0; x < w; ++x) {
            double v[3];
            for (int c = 0; c < channels; ++c) {
                const std::size_t i = std::size_t(x * channels + c) * bytes;
                v[c] = (bytes == 2 ? row[i] * 256 + row[i + 1] : row[i]) * scale;
            }
            out.grey[std::size_t(y) * std::size_t(w) + x] =
                colour ? greyOf(v[0], v[1], v[2]) : v[0];
        }
    }
    return true;
}

bool readImage(const char* path, GreyImage& out, std::string& why) {
    File f(std::fopen(path, "rb"));
    if (!f) {
        why = "cannot open the file";
        return false;
    }
    unsigned char magic[8] = {};
    const std::size_t n = std::fread(magic, 1, sizeof magic, f.get());
    if (n == sizeof magic && png_sig_cmp(magic, 0, sizeof magic) == 0) {
        std::rewind(f.get());
        return readPng(f.get(), out, why);
    }
    if (n >= 2 && magic[0] == 'P' && (magic[1] == '6' || magic[1] == '5')) {
        std::fseek(f.get(), 2, SEEK_SET);
        return readNetpbm(f.get(), magic[1] == '6', out, why);
    }
    why = "neither PNG nor binary PPM/PGM";
    return false;
}

// Box averages over 4 x 4 blocks of the w x h top-left area (a block at the
// right or bottom edge averages the pixels it has).
GreyImage reduce(const GreyImage& image, int w, int h) {
    GreyImage out;
    out.width = (w + 3) / 4;
    out.height = (h + 3) / 4;
    out.grey.resize(std::size_t(out.width) * std::size_t(out.height));
    for (int by = 0; by < out.height; ++by) {
        for (int bx = 0; bx < out.width; ++bx) {
            double sum = 0;
            int count = 0;
            for (int y = by * 4; y < std::min(h, by * 4 + 4); ++y) {
                for (int x = bx * 4; x < std::min(w, bx * 4 + 4); ++x) {
                    sum += image.at(x, y);
                    ++count;
                }
            }
            out.grey[std::size_t(by) * std::size_t(out.width) + bx] = sum / count;
        }
    }
    return out;
}

double meanDifference(const GreyImage& a, const GreyImage& b, int w, int h) {
    double sum = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double d = a.at(x, y) - b.at(x, y);
            sum += d < 0 ? -d : d;
        }
    }
    return sum / (double(w) * double(h));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vistrel-imgdiff A B\n");
        return 1;
    }
    GreyImage images[2];
    for (int i = 0; i < 2; ++i) {
        std::string why;
        if (!readImage(argv[i + 1], images[i], why)) {
            std::fprintf(stderr, "vistrel-imgdiff: %s: %s\n", argv[i + 1], why.c_str());
            return 1;
        }
    }
    const int w = std::min(images[0].width, images[1].width);
    const int h = std::min(images[0].height, images[1].height);
    const GreyImage ra = reduce(images[0], w, h), rb = reduce(images[1], w, h);
    std::printf("size %d %d\n", w, h);
    std::printf("mean %.3f\n", meanDifference(images[0], images[1], w, h));
    std::printf("reduced %.3f\n", meanDifference(ra, rb, ra.width, ra.height));
    return 0;
}
