#include "engine/font/type3_glyph_cache.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/image_drawing.h"
#include "engine/render/content/matrix.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

// Matrices equal to the bit, as the drawing that kept an image used them.
bool sameBits(const Matrix& x, const Matrix& y) {
    const double xs[] = {x.a, x.b, x.c, x.d, x.e, x.f};
    const double ys[] = {y.a, y.b, y.c, y.d, y.e, y.f};
    for (int i = 0; i < 6; ++i) {
        if (std::bit_cast<std::uint64_t>(xs[i]) != std::bit_cast<std::uint64_t>(ys[i]))
            return false;
    }
    return true;
}

bool isWhite(std::uint8_t c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

bool isDelimiter(std::uint8_t c) {
    return std::strchr("()<>[]{}/%", c) != nullptr && c != 0;
}

// The tokens of a glyph procedure, as far as a stencil procedure needs them.
class Lexer {
public:
    enum Kind { kEnd, kNumber, kKeyword, kName, kOpen, kClose, kOther };

    Lexer(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    Kind next() {
        while (at_ < size_ && isWhite(data_[at_]))
            ++at_;
        if (at_ >= size_)
            return kEnd;
        const std::uint8_t c = data_[at_];
        if (c == '[' || c == ']') {
            ++at_;
            text_ = std::string_view(reinterpret_cast<const char*>(data_ + at_ - 1), 1);
            return c == '[' ? kOpen : kClose;
        }
        const bool name = c == '/';
        if (name)
            ++at_;
        else if (isDelimiter(c))
            return kOther;
        const std::size_t start = at_;
        while (at_ < size_ && !isWhite(data_[at_]) && !isDelimiter(data_[at_]))
            ++at_;
        text_ = std::string_view(reinterpret_cast<const char*>(data_ + start), at_ - start);
        if (name)
            return kName;
        return isNumber(text_) ? kNumber : kKeyword;
    }

    std::string_view text() const { return text_; }
    std::size_t at() const { return at_; }
    void skipTo(std::size_t at) { at_ = at; }

    // A whole number without sign of at most 9 digits, else -1.
    std::int64_t whole() const {
        if (text_.empty() || text_.size() > 9)
            return -1;
        std::int64_t v = 0;
        for (const char ch : text_) {
            if (ch < '0' || ch > '9')
                return -1;
            v = v * 10 + (ch - '0');
        }
        return v;
    }

private:
    // [+-] digits [. digits] or [+-] . digits.
    static bool isNumber(std::string_view t) {
        std::size_t i = 0;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        std::size_t digits = 0;
        bool point = false;
        for (; i < t.size(); ++i) {
            if (t[i] >= '0' && t[i] <= '9')
                ++digits;
            else if (t[i] == '.' && !point)
                point = true;
            else
                return false;
        }
        return digits > 0;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::string_view text_;
};

// Reads the inline image dictionary after "BI" up to "ID" and skips the
// data; true when it is a plain image mask followed by "EI".
bool skipStencilImage(Lexer& lexer, const std::uint8_t* data, std::size_t size) {
    std::int64_t width = -1, height = -1;
    bool mask = false;
    for (;;) {
        const Lexer::Kind kind = lexer.next();
        if (kind == Lexer::kKeyword && lexer.text() == "ID")
            break;
        if (kind != Lexer::kName)
            return false;
        const std::string_view key = lexer.text();
        const Lexer::Kind value = lexer.next();
        if (key == "W" || key == "Width" || key == "H" || key == "Height") {
            if (value != Lexer::kNumber || lexer.whole() < 1 || lexer.whole() > 32768)
                return false;
            (key[0] == 'W' ? width : height) = lexer.whole();
        } else if (key == "IM" || key == "ImageMask") {
            if (value != Lexer::kKeyword || lexer.text() != "true")
                return false;
            mask = true;
        } else if (key == "BPC" || key == "BitsPerComponent") {
            if (value != Lexer::kNumber || lexer.whole() != 1)
                return false;
        } else if (key == "D" || key == "Decode") {
            if (value != Lexer::kOpen)
                return false;
            std::int64_t terms[2];
            for (std::int64_t& term : terms) {
                if (lexer.next() != Lexer::kNumber || lexer.whole() < 0 || lexer.whole() > 1)
                    return false;
                term = lexer.whole();
            }
            if (terms[0] == terms[1] || lexer.next() != Lexer::kClose)
                return false;
        } else {
            return false;
        }
    }
    if (!mask || width < 1 || height < 1)
        return false;
    // One white-space byte after "ID", then the rows, then white space and
    // "EI" standing alone.
    const std::size_t rows = std::size_t((width + 7) / 8) * std::size_t(height);
    const std::size_t start = lexer.at() + 1;
    if (start > size || size - start < rows)
        return false;
    const std::size_t end = start + rows;
    if (end >= size || !isWhite(data[end]))
        return false;
    lexer.skipTo(end);
    return lexer.next() == Lexer::kKeyword && lexer.text() == "EI";
}

// The number of whole-pixel steps below which a kept image is moved.
constexpr std::int32_t kShiftLimit = 1 << 24;

}  // namespace

bool Type3GlyphCache::isStencilProcedure(const std::uint8_t* data, std::size_t size) {
    Lexer lexer(data, size);
    std::int32_t numbers = 0, depth = 0, images = 0;
    bool glyph = false;
    for (;;) {
        const Lexer::Kind kind = lexer.next();
        if (kind == Lexer::kEnd)
            return glyph && numbers == 0 && depth == 0 && images == 1;
        if (kind == Lexer::kNumber) {
            if (++numbers > 6)
                return false;
            continue;
        }
        if (kind != Lexer::kKeyword)
            return false;
        const std::string_view op = lexer.text();
        if (!glyph) {
            if (op != "d1" || numbers != 6)
                return false;
            glyph = true;
        } else if (op == "q" && numbers == 0) {
            ++depth;
        } else if (op == "Q" && numbers == 0 && depth > 0) {
            --depth;
        } else if (op == "cm" && numbers == 6) {
        } else if (op == "BI" && numbers == 0 && images == 0) {
            if (!skipStencilImage(lexer, data, size))
                return false;
            ++images;
        } else {
            return false;
        }
        numbers = 0;
    }
}

Type3GlyphCache::Type3GlyphCache() = default;
Type3GlyphCache::~Type3GlyphCache() = default;

bool Type3GlyphCache::isStencil(std::uint16_t code, PdfStream& procedure) {
    Entry& entry = entries_[code];
    if (entry.stencil != 0)
        return entry.stencil > 0;
    entry.stencil = -1;
    if (!procedure.open())
        return false;
    std::vector<std::uint8_t> data;
    std::uint8_t buffer[4096];
    bool fits = true;
    for (;;) {
        const std::int64_t n = procedure.read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (data.size() + std::size_t(n) > kMaxProcedureBytes) {
            fits = false;
            break;
        }
        data.insert(data.end(), buffer, buffer + n);
    }
    procedure.close();
    if (fits && isStencilProcedure(data.data(), data.size()))
        entry.stencil = 1;
    return entry.stencil > 0;
}

bool Type3GlyphCache::placementOf(const Matrix& m, Placement& out) {
    // As the image code rounds them: each corner's rounded coordinate less
    // the rounded origin.
    const std::int64_t e = roundCoord(m.e), f = roundCoord(m.f);
    out.edges[0] = std::int64_t(roundCoord(m.a + m.e)) - e;
    out.edges[1] = std::int64_t(roundCoord(m.b + m.f)) - f;
    out.edges[2] = std::int64_t(roundCoord(m.c + m.e)) - e;
    out.edges[3] = std::int64_t(roundCoord(m.d + m.f)) - f;
    out.origin = IntPoint(std::int32_t(e), std::int32_t(f));
    return out.edges[0] != 0 && out.edges[1] == 0 && out.edges[2] == 0 && out.edges[3] != 0 &&
           e > -kShiftLimit && e < kShiftLimit && f > -kShiftLimit && f < kShiftLimit;
}

bool Type3GlyphCache::draw(std::uint16_t code, const Matrix& outerBase, ContentInterpreter& in) {
    const auto found = entries_.find(code);
    if (found == entries_.end() || found->second.kept.empty())
        return false;
    Entry& entry = found->second;
    OutputDevice* device = in.device();
    if (!device || in.stepObserver() || in.graphicsState().fillPattern ||
        imageShowMode() != ImageShow::Image)
        return false;
    Placement p;
    if (!placementOf(multiply(entry.ctm, in.baseMatrix()), p))
        return false;
    Kept* kept = nullptr;
    for (Kept& k : entry.kept) {
        if (std::memcmp(k.placement.edges, p.edges, sizeof p.edges) == 0) {
            kept = &k;
            break;
        }
    }
    if (!kept)
        return false;
    in.chargeWork(entry.work);
    if (in.workSpent())
        return true;
    RasterImage& made = *kept->made;
    RasterImage& drawn = *kept->drawn;
    std::memcpy(drawn.dibRow(0), made.dibRow(0), made.dibStride() * std::size_t(made.dibHeight()));
    // As the procedure's run leaves the device: the image drawn, the clip
    // as it was, the graphics state handed to the device again (under the
    // outer base matrix, for the outer line width).
    drawn.Draw(
        IntPoint(p.origin.x - kept->placement.origin.x, p.origin.y - kept->placement.origin.y),
        *device);
    in.setBaseMatrix(outerBase);
    in.applyPaintStateToDevice();
    ++drawnFromKept_;
    return true;
}

void Type3GlyphCache::keep(std::uint16_t code, const Matrix& base, KeptImage& kept,
                           std::uint64_t work) {
    Entry& entry = entries_[code];
    auto* image = dynamic_cast<RasterImage*>(kept.image.get());
    if (kept.count != 1 || !image || !image->isReady() || entry.kept.size() >= kMaxPlacements)
        return;
    // The run must have placed the image by the matrices the later showings
    // are placed by.
    const Matrix m = multiply(kept.ctm, base);
    if (!sameBits(m, kept.deviceMatrix))
        return;
    if (!entry.kept.empty() && !sameBits(entry.ctm, kept.ctm))
        return;
    Placement p;
    if (!placementOf(m, p) || image->orientation() != RasterImage::kUpright)
        return;
    for (const Kept& k : entry.kept) {
        if (std::memcmp(k.placement.edges, p.edges, sizeof p.edges) == 0)
            return;  // kept already (the showing was not drawn from it)
    }
    const std::size_t bytes = 2 * image->dibStride() * std::size_t(image->dibHeight());
    if (bytes > kMaxBytes - bytes_)
        return;
    std::unique_ptr<DrawableBase> copy = image->clone();
    if (!copy)
        return;
    Kept k{p, std::unique_ptr<RasterImage>(static_cast<RasterImage*>(kept.image.release())),
           std::unique_ptr<RasterImage>(static_cast<RasterImage*>(copy.release()))};
    // The blit charges its pixels again at each showing.
    const std::uint64_t blit = WorkMeter::kImagePixelWork * std::uint64_t(image->dibWidth()) *
                               std::uint64_t(image->dibHeight());
    entry.ctm = kept.ctm;
    entry.work = work > blit ? work - blit : 0;
    entry.kept.push_back(std::move(k));
    bytes_ += bytes;
    ++keptImages_;
}

}  // namespace vistrel
