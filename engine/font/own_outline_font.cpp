#include "engine/font/own_outline_font.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/constants/font_constants.h"
#include "engine/core/streams.h"
#include "engine/font/encoding_table.h"
#include "engine/font/font_description.h"
#include "engine/font/font_encoding.h"

namespace vistrel {
namespace {

constexpr std::uint16_t kSignature = 222;

// The byte reader of a font file, a block at a time: every read fails once
// the data has ended, and the failure sticks.
class FileBytes {
public:
    explicit FileBytes(InputStream& in) : in_(in) {}

    std::uint32_t byte() {
        if (next_ == end_ && !refill())
            return 0;
        return *next_++;
    }
    std::uint32_t word() {
        const std::uint32_t high = byte();
        return high << 8 | byte();
    }
    std::int32_t signedWord() { return std::int16_t(std::uint16_t(word())); }
    // Reads past n bytes.
    void skip(std::uint32_t n) {
        while (n > 0) {
            if (next_ == end_ && !refill())
                return;
            const std::uint32_t here = std::min<std::uint32_t>(n, std::uint32_t(end_ - next_));
            next_ += here;
            n -= here;
        }
    }
    // "/" followed by a length byte's worth of characters, into text.
    void name(std::u16string& text) {
        const std::uint32_t length = byte();
        text.assign(1, u'/');
        for (std::uint32_t i = 0; i < length && !ended_; ++i)
            text.push_back(char16_t(byte()));
    }
    bool ended() const { return ended_; }

private:
    bool refill() {
        const std::int64_t n = ended_ ? 0 : in_.read(block_, sizeof block_);
        if (n <= 0) {
            ended_ = true;
            return false;
        }
        next_ = block_;
        end_ = block_ + n;
        return true;
    }

    InputStream& in_;
    std::uint8_t block_[4096];
    const std::uint8_t* next_ = block_;
    const std::uint8_t* end_ = block_;
    bool ended_ = false;
};

// The point kinds by the flag's low bits; the last three have no kind.
constexpr std::int32_t kNoKind = -1;
constexpr std::int32_t kPointKinds[8] = {
    PathPoint::Move, PathPoint::Line, PathPoint::Curve, PathPoint::Close, 65535,
    kNoKind,         kNoKind,         kNoKind};

// Reads one point record and moves (x, y) by its delta; the kind, or
// kNoKind for a kind outside the table.
std::int32_t readPoint(FileBytes& in, std::int64_t& x, std::int64_t& y) {
    const std::uint32_t flag = in.byte();
    std::int64_t dx = 0, dy = 0;
    switch (flag >> 5) {
        case 0: {
            const std::uint32_t b = in.byte();
            dx = b >> 4;
            dy = b & 0x0F;
            break;
        }
        case 1:
            dx = in.byte();
            dy = in.byte();
            break;
        case 2:
            dx = in.byte();
            dy = in.word();
            break;
        case 3:
            dx = in.word();
            dy = in.byte();
            break;
        case 4:
            dx = in.word();
            dy = in.word();
            break;
        case 5:
            dx = in.byte();
            break;
        case 6:
            dy = in.byte();
            break;
        default:
            break;
    }
    x += (flag & 0x10) ? -dx : dx;
    y += (flag & 0x08) ? -dy : dy;
    return kPointKinds[flag & 0x07];
}

// Reads past one point record.
void skipPoint(FileBytes& in) {
    // Delta bytes by form.
    static constexpr std::uint32_t kDeltaBytes[8] = {1, 2, 3, 3, 4, 1, 1, 0};
    in.skip(kDeltaBytes[in.byte() >> 5]);
}

// The codes of the encoding by glyph name, sorted by name.
using CodeList = std::vector<std::pair<std::u16string_view, std::int32_t>>;

CodeList codesByName(const FontEncoding* encoding) {
    CodeList codes;
    if (!encoding)
        return codes;
    for (std::int32_t code = 0; code < EncodingTable::kCodes; ++code) {
        const WString& name = encoding->glyphName(code);
        if (!name.empty())
            codes.emplace_back(name.view(), code);
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}

}  // namespace

OwnOutlineFont::OwnOutlineFont(const FontDescription& description, OutputDevice* device)
    : FontBase(description, device) {
    if (const auto* simple = dynamic_cast<const SimpleFontDescription*>(&description)) {
        if (simple->differences())
            differences_.reset(new (std::nothrow) Differences(*simple->differences()));
        if (encodingTableByName(simple->encodingName()))
            setEncoding(new FontEncoding(simple->encodingName(), differences_.get()));
    }
    setOutlines(OutlineCache::create(256, 255));
}

bool OwnOutlineFont::loadProgram(InputStream* stream) {
    if (!stream || !outlines())
        return false;
    FileBytes in(*stream);
    if (in.byte() != kSignature || in.ended())
        return false;

    // The file's encoding, taken only when the description named none.
    const std::uint32_t entries = in.word();
    EncodingTable table;
    std::u16string name;
    for (std::uint32_t i = 0; i < entries && !in.ended(); ++i) {
        in.name(name);
        table.setEntry(WString(name.c_str(), std::int32_t(name.size())), std::int32_t(in.byte()));
    }
    if (in.ended())
        return false;
    if (!encoding()) {
        if (entries > 0)
            setEncoding(new FontEncoding(table, differences_.get()));
        else
            setEncoding(new FontEncoding(encodings::StandartEncoding, differences_.get()));
    }
    const CodeList codes = codesByName(encoding());

    const std::uint32_t glyphs = in.word();
    for (std::uint32_t g = 0; g < glyphs && !in.ended(); ++g) {
        in.name(name);
        const std::uint32_t points = in.word();
        const std::int32_t minX = in.signedWord(), maxX = in.signedWord();
        const std::int32_t minY = in.signedWord(), maxY = in.signedWord();
        const std::int32_t advanceX = in.signedWord(), advanceY = in.signedWord();
        // Glyphs no code reaches are read past.
        const auto range = std::equal_range(
            codes.begin(), codes.end(), std::make_pair(std::u16string_view(name), 0),
            [](const auto& a, const auto& b) { return a.first < b.first; });
        if (range.first == range.second) {
            for (std::uint32_t p = 0; p < points && !in.ended(); ++p)
                skipPoint(in);
            continue;
        }
        Path path;
        bool refused = false;
        std::int64_t x = 0, y = 0;
        for (std::uint32_t p = 0; p < points && !in.ended(); ++p) {
            const std::int32_t kind = readPoint(in, x, y);
            refused = refused || kind == kNoKind;
            if (!refused)
                path.AppendPoint(clampCoord(x), clampCoord(y), kind);
        }
        if (in.ended())
            return false;
        if (refused)
            continue;
        path.SetBox(IntPoint(minX, minY), IntPoint(maxX, maxY));
        path.SetAdvance(advanceX, advanceY);
        for (auto it = range.first; it != range.second; ++it) {
            std::unique_ptr<GlyphOutline> entry(new GlyphOutline());
            if (!entry)
                return false;
            entry->path.reset(new Path(path));
            if (!entry->path)
                return false;
            outlines()->insert(std::uint32_t(it->second), std::move(entry));
        }
    }
    if (in.ended())
        return false;
    setLoaded(true);
    return true;
}

}  // namespace vistrel
