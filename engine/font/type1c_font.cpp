#include "engine/font/type1c_font.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "engine/constants/cff_strings.h"
#include "engine/core/streams.h"
#include "engine/font/cff_reader.h"
#include "engine/font/cff_tables.h"
#include "engine/font/font_description.h"
#include "engine/font/font_encoding.h"
#include "engine/font/glyph_names.h"

namespace vistrel {
namespace {

// Top DICT and Private DICT operators.
constexpr std::int32_t kOpFontBBox = 5;
constexpr std::int32_t kOpCharset = 15;
constexpr std::int32_t kOpEncoding = 16;
constexpr std::int32_t kOpCharStrings = 17;
constexpr std::int32_t kOpPrivate = 18;
constexpr std::int32_t kOpSubrs = 19;
constexpr std::int32_t kOpFontMatrix = CffReader::kEscape + 7;

// charsetOffset and encodingOffset values that name predefined tables.
constexpr std::int32_t kIsoAdobeCharset = 0;
constexpr std::int32_t kExpertCharset = 1;
constexpr std::int32_t kExpertSubsetCharset = 2;
constexpr std::int32_t kStandardEncoding = 0;
constexpr std::int32_t kExpertEncoding = 1;

// Reads the whole stream; false when it holds more than the limit.
bool readAll(InputStream& stream, std::vector<std::uint8_t>& out, std::size_t limit) {
    std::uint8_t block[8192];
    for (;;) {
        const std::int64_t n = stream.read(block, sizeof block);
        if (n <= 0)
            return true;
        if (out.size() + std::size_t(n) > limit)
            return false;
        out.insert(out.end(), block, block + n);
    }
}

// The fields of the Top DICTs.
struct TopDict {
    std::int32_t charStrings = 0;
    std::int32_t charset = kIsoAdobeCharset;
    std::int32_t encoding = kStandardEncoding;
    std::int32_t privateSize = 0;
    std::int32_t privateOffset = 0;
    std::array<std::int32_t, 4> bbox{};
    std::array<double, 6> matrix{1, 0, 0, 1, 0, 0};
};

void readTopDict(std::span<const std::uint8_t> dict, TopDict& top) {
    CffReader::parseDict(dict, [&top](std::int32_t op, std::span<const CffReader::Operand> args) {
        // Each operator takes its operands from the top of the stack.
        auto last = [&args](std::size_t k) { return args.subspan(args.size() - k); };
        switch (op) {
            case kOpCharStrings:
                if (!args.empty())
                    top.charStrings = args.back().integer;
                break;
            case kOpCharset:
                if (!args.empty())
                    top.charset = args.back().integer;
                break;
            case kOpEncoding:
                if (!args.empty())
                    top.encoding = args.back().integer;
                break;
            case kOpPrivate:
                if (args.size() >= 2) {
                    top.privateSize = last(2)[0].integer;
                    top.privateOffset = last(2)[1].integer;
                }
                break;
            case kOpFontBBox:
                if (args.size() >= 4) {
                    for (std::size_t i = 0; i < 4; ++i)
                        top.bbox[i] = last(4)[i].integer;
                }
                break;
            case kOpFontMatrix:
                if (args.size() >= 6) {
                    for (std::size_t i = 0; i < 6; ++i)
                        top.matrix[i] = last(6)[i].real * 1000.0;
                }
                break;
            default:
                break;
        }
    });
}

// 32-bit results of the charstring arithmetic, wrapping as the integers of
// the format do.
std::int32_t wrap(std::int64_t v) {
    return std::int32_t(std::uint32_t(std::uint64_t(v)));
}

}  // namespace

Type1CFont::Type1CFont(const FontDescription& description, OutputDevice* device)
    : FontBase(description, device) {
    if (const auto* simple = dynamic_cast<const SimpleFontDescription*>(&description)) {
        if (simple->differences())
            differences_.reset(new (std::nothrow) Differences(*simple->differences()));
        if (encodingTableByName(simple->encodingName()))
            setEncoding(new FontEncoding(simple->encodingName(), differences_.get()));
    }
    setOutlines(OutlineCache::create(256, 255));
}

Type1CFont::~Type1CFont() = default;

bool Type1CFont::loadProgram(InputStream* stream) {
    const bool loaded = load(stream);
    if (loaded)
        setLoaded(true);
    return loaded;
}

std::int32_t Type1CFont::subrBias(std::size_t count) {
    if (count < 1240)
        return 107;
    if (count < 33900)
        return 1131;
    return 32768;
}

const WString& Type1CFont::sidName(std::int32_t sid) const {
    if (sid < 0)
        return emptyWString();
    if (sid < kCffStandardStringCount)
        return cffStandardString(sid);
    const std::size_t own = std::size_t(sid - kCffStandardStringCount);
    return own < strings_.size() ? strings_[own] : emptyWString();
}

std::int32_t Type1CFont::sidOf(const WString& name) const {
    const std::int32_t standard = cffStandardSid(name);
    if (standard >= 0)
        return standard;
    for (std::size_t i = 0; i < strings_.size(); ++i) {
        if (strings_[i].equals(name))
            return kCffStandardStringCount + std::int32_t(i);
    }
    return -1;
}

bool Type1CFont::load(InputStream* stream) {
    if (!stream || !outlines())
        return false;
    buildCffStandardStrings();
    std::vector<std::uint8_t> program;
    if (!readAll(*stream, program, kMaxProgramSize))
        return false;
    CffReader in(program);

    // Header: major, minor, header size; the header's offset size is not
    // used.
    in.byte();
    in.byte();
    const std::int32_t headerSize = in.byte();
    if (headerSize < 0 || !in.seek(std::max(headerSize, 3)))
        return false;

    std::vector<Bytes> names, topDicts, strings;
    if (!in.readIndex(names) || !in.readIndex(topDicts) || !in.readIndex(strings) ||
        !in.readIndex(globalSubrs_)) {
        dropProgram();
        return false;
    }
    TopDict top;
    for (const Bytes& dict : topDicts)
        readTopDict(dict, top);
    fontBBox_ = top.bbox;
    fontMatrix1000_ = top.matrix;
    setFontMatrix(Matrix{top.matrix[0], top.matrix[1], top.matrix[2], top.matrix[3],
                         top.matrix[4], top.matrix[5]});

    strings_.clear();
    strings_.reserve(strings.size());
    std::u16string text;
    for (const Bytes& s : strings) {
        text.assign(1, u'/');
        text.append(s.begin(), s.end());
        strings_.emplace_back(text.data(), std::int32_t(text.size()));
    }
    globalSubrCount_ = globalSubrs_.size();
    globalBias_ = subrBias(globalSubrCount_);

    if (top.charStrings <= 0 || top.privateOffset <= 0 || top.privateSize < 0 ||
        !in.seek(top.charStrings) || !in.readIndex(charStrings_)) {
        dropProgram();
        return false;
    }
    glyphCount_ = charStrings_.size();

    // The Private DICT must lie inside the program; its Subrs offset counts
    // from its start.
    if (std::uint64_t(top.privateOffset) + std::uint64_t(top.privateSize) > program.size()) {
        dropProgram();
        return false;
    }
    std::int32_t subrsOffset = 0;
    CffReader::parseDict(Bytes(program).subspan(std::size_t(top.privateOffset),
                                                std::size_t(top.privateSize)),
                         [&subrsOffset](std::int32_t op, std::span<const CffReader::Operand> args) {
                             if (op == kOpSubrs && !args.empty())
                                 subrsOffset = args.back().integer;
                         });
    if (subrsOffset != 0 &&
        (!in.seek(std::int64_t(top.privateOffset) + subrsOffset) || !in.readIndex(localSubrs_))) {
        dropProgram();
        return false;
    }
    localSubrCount_ = localSubrs_.size();
    localBias_ = subrBias(localSubrCount_);

    readCharset(program, top.charset);
    readEncoding(program, top.encoding);
    buildBuiltInEncoding(top.encoding);
    if (!encoding())
        setEncoding(new FontEncoding(builtInEncoding_, differences_.get()));

    const bool built = buildGlyphs();
    dropProgram();
    return built;
}

void Type1CFont::readCharset(std::span<const std::uint8_t> program, std::int32_t offset) {
    charset_.clear();
    if (glyphCount_ == 0)
        return;
    charset_.reserve(glyphCount_);
    if (offset == kIsoAdobeCharset) {
        for (std::int32_t sid = 0; sid < kCffIsoAdobeGlyphs && std::size_t(sid) < glyphCount_; ++sid)
            charset_.push_back(sid);
        return;
    }
    if (offset == kExpertCharset || offset == kExpertSubsetCharset) {
        const std::span<const std::uint16_t> sids =
            offset == kExpertCharset ? cffExpertCharset() : cffExpertSubsetCharset();
        for (std::size_t i = 0; i < sids.size() && i < glyphCount_; ++i)
            charset_.push_back(sids[i]);
        return;
    }
    charset_.push_back(0);
    CffReader in(program);
    if (!in.seek(offset))
        return;
    const std::int32_t format = in.byte();
    if (format == 0) {
        while (charset_.size() < glyphCount_) {
            const std::int32_t sid = in.word();
            if (sid < 0)
                return;
            charset_.push_back(sid);
        }
    } else if (format == 1 || format == 2) {
        while (charset_.size() < glyphCount_) {
            const std::int32_t first = in.word();
            const std::int32_t left = format == 1 ? in.byte() : in.word();
            if (first < 0 || left < 0)
                return;
            for (std::int32_t k = 0; k <= left && charset_.size() < glyphCount_; ++k)
                charset_.push_back(first + k);
        }
    }
}

void Type1CFont::readEncoding(std::span<const std::uint8_t> program, std::int32_t offset) {
    codes_.clear();
    supplements_.clear();
    if (offset == kStandardEncoding || offset == kExpertEncoding)
        return;
    codes_.assign(glyphCount_, -1);
    if (!codes_.empty())
        codes_[0] = 0;
    CffReader in(program);
    if (!in.seek(offset))
        return;
    const std::int32_t format = in.byte();
    if (format < 0)
        return;
    std::size_t glyph = 1;
    if ((format & 0x7F) == 0) {
        const std::int32_t count = in.byte();
        for (std::int32_t i = 0; i < count; ++i, ++glyph) {
            const std::int32_t code = in.byte();
            if (code < 0)
                return;
            if (glyph < codes_.size())
                codes_[glyph] = code;
        }
    } else if ((format & 0x7F) == 1) {
        const std::int32_t ranges = in.byte();
        for (std::int32_t r = 0; r < ranges; ++r) {
            const std::int32_t first = in.byte();
            const std::int32_t left = in.byte();
            if (first < 0 || left < 0)
                return;
            for (std::int32_t k = 0; k <= left; ++k, ++glyph) {
                if (glyph < codes_.size() && first + k < EncodingTable::kCodes)
                    codes_[glyph] = first + k;
            }
        }
    } else {
        return;
    }
    if (format & 0x80) {
        const std::int32_t count = in.byte();
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t code = in.byte();
            const std::int32_t sid = in.word();
            if (code < 0 || sid < 0)
                return;
            supplements_.emplace_back(code, sid);
        }
    }
}

bool Type1CFont::hasTexLigatures() const {
    return followsTexLigatures(builtInEncoding_);
}

void Type1CFont::buildBuiltInEncoding(std::int32_t encodingOffset) {
    builtInEncoding_ = EncodingTable();
    if (encodingOffset == kStandardEncoding || encodingOffset == kExpertEncoding) {
        for (std::int32_t code = 0; code < EncodingTable::kCodes; ++code) {
            const std::int32_t sid = encodingOffset == kStandardEncoding
                                         ? cffStandardEncodingSid(code)
                                         : cffExpertEncodingSid(code);
            builtInEncoding_.setEntry(sidName(sid), code);
        }
        return;
    }
    for (std::size_t glyph = 0; glyph < codes_.size(); ++glyph) {
        if (codes_[glyph] >= 0 && glyph < charset_.size())
            builtInEncoding_.setEntry(sidName(charset_[glyph]), codes_[glyph]);
    }
    for (const auto& [code, sid] : supplements_)
        builtInEncoding_.setEntry(sidName(sid), code);
}

bool Type1CFont::buildGlyphs() {
    // The glyph of each name and the first glyph of each SID; a later glyph
    // of the same name wins, as building them in glyph order would have it.
    std::unordered_map<std::u16string_view, std::size_t> glyphByName;
    glyphBySid_.clear();
    for (std::size_t glyph = 0; glyph < charset_.size(); ++glyph) {
        glyphBySid_.emplace(charset_[glyph], glyph);
        const WString& name = sidName(charset_[glyph]);
        if (!name.empty())
            glyphByName[name.view()] = glyph;
    }
    const FontEncoding* fontEncoding = encoding();
    std::unordered_map<std::size_t, std::unique_ptr<Path>> built;
    for (std::int32_t code = 0; code < EncodingTable::kCodes; ++code) {
        const WString& name = glyphNameOf(fontEncoding, code);
        if (name.empty())
            continue;
        const auto found = glyphByName.find(name.view());
        if (found == glyphByName.end())
            continue;
        std::unique_ptr<Path>& path = built[found->second];
        if (!path) {
            path = buildGlyph(found->second);
            if (!path)
                return false;
        }
        std::unique_ptr<GlyphOutline> entry(new GlyphOutline());
        if (!entry)
            return false;
        entry->path.reset(new Path(*path));
        if (!entry->path)
            return false;
        outlines()->insert(std::uint32_t(code), std::move(entry));
    }
    return true;
}

std::unique_ptr<Path> Type1CFont::buildGlyph(std::size_t glyph) {
    std::unique_ptr<Path> path(new Path());
    if (!path)
        return nullptr;
    const auto& m = fontMatrix1000_;
    if (m[0] != 1 || m[1] != 0 || m[2] != 0 || m[3] != 1)
        path->setMatrix(std::array<double, 4>{m[0], m[1], m[2], m[3]});
    if (glyph >= charStrings_.size())
        return path;
    stack_.clear();
    std::int64_t steps = kMaxGlyphSteps;
    GlyphRun run{*path, 0, steps, false};
    std::size_t position = 0;
    runCharString(charStrings_[glyph], position, run, 0);
    path->ClosePath();
    return path;
}

void Type1CFont::dropProgram() {
    charStrings_ = {};
    globalSubrs_ = {};
    localSubrs_ = {};
    glyphBySid_ = {};
    stack_ = {};
}

std::int64_t Type1CFont::glyphOfStandardCode(std::int32_t code) const {
    const std::int32_t sid = cffStandardEncodingSid(code);
    if (sid == 0)
        return -1;
    const auto found = glyphBySid_.find(sid);
    if (found == glyphBySid_.end() || found->second >= charStrings_.size())
        return -1;
    return std::int64_t(found->second);
}

void Type1CFont::compose(GlyphRun& run, std::int32_t adx, std::int32_t ady,
                         std::int32_t baseCode, std::int32_t accentCode) {
    const std::int64_t base = glyphOfStandardCode(baseCode);
    const std::int64_t accent = glyphOfStandardCode(accentCode);
    if (base >= 0) {
        stack_.clear();
        GlyphRun part{run.path, 0, run.steps, true};
        std::size_t position = 0;
        runCharString(charStrings_[std::size_t(base)], position, part, 0);
        run.path.MoveTo(adx, ady);
    }
    if (accent >= 0) {
        stack_.clear();
        GlyphRun part{run.path, 0, run.steps, true};
        std::size_t position = 0;
        runCharString(charStrings_[std::size_t(accent)], position, part, 0);
    }
}

Type1CFont::Outcome Type1CFont::runCharString(Bytes cs, std::size_t& pos, GlyphRun& run,
                                              int depth) {
    Path& path = run.path;
    std::vector<std::int32_t>& s = stack_;
    auto push = [&s](std::int64_t v) {
        if (s.size() >= kMaxStackDepth)
            return false;
        s.push_back(wrap(v));
        return true;
    };
    auto pop = [&s] {
        const std::int32_t v = s.back();
        s.pop_back();
        return v;
    };

    while (pos < cs.size()) {
        if (--run.steps < 0)
            return Outcome::Failed;
        const std::uint8_t b = cs[pos++];
        const std::size_t left = cs.size() - pos;

        // Numbers.
        if (b == 28 || b >= 32) {
            std::int64_t v = 0;
            if (b == 28) {
                if (left < 2)
                    break;
                v = std::int16_t(cs[pos] << 8 | cs[pos + 1]);
                pos += 2;
            } else if (b <= 246) {
                v = b - 139;
            } else if (b <= 250) {
                if (left < 1)
                    break;
                v = (b - 247) * 256 + cs[pos++] + 108;
            } else if (b <= 254) {
                if (left < 1)
                    break;
                v = -(b - 251) * 256 - cs[pos++] - 108;
            } else {
                if (left < 4)
                    break;
                const std::uint32_t fixed = std::uint32_t(cs[pos]) << 24 |
                                            std::uint32_t(cs[pos + 1]) << 16 |
                                            std::uint32_t(cs[pos + 2]) << 8 | cs[pos + 3];
                pos += 4;
                // 16.16 fixed point: its integer part.
                v = std::int32_t(fixed) / 65536;
            }
            if (!push(v))
                return Outcome::Failed;
            continue;
        }

        std::int32_t op = b;
        if (b == 12) {
            if (left < 1)
                break;
            op = CffReader::kEscape + cs[pos++];
        }
        const std::size_t n = s.size();
        switch (op) {
            case 1:    // hstem
            case 3:    // vstem
            case 18:   // hstemhm
            case 23:   // vstemhm
                run.stems += std::int32_t(n / 2);
                s.clear();
                break;
            case 19:   // hintmask
            case 20: {  // cntrmask
                run.stems += std::int32_t(n / 2);
                s.clear();
                const std::size_t maskBytes = (std::size_t(run.stems) + 7) / 8;
                pos += std::min(maskBytes, cs.size() - pos);
                break;
            }
            case 21:  // rmoveto
                if (n < 2)
                    return Outcome::Failed;
                path.ClosePath();
                path.RMoveTo(s[n - 2], s[n - 1]);
                s.clear();
                break;
            case 22:  // hmoveto
            case 4:   // vmoveto
                if (n < 1)
                    return Outcome::Failed;
                path.ClosePath();
                if (op == 22)
                    path.RMoveTo(s[n - 1], 0);
                else
                    path.RMoveTo(0, s[n - 1]);
                s.clear();
                break;
            case 5:  // rlineto
                if (n < 2)
                    return Outcome::Failed;
                for (std::size_t i = 0; i + 1 < n; i += 2)
                    path.RLineTo(s[i], s[i + 1]);
                s.clear();
                break;
            case 6:    // hlineto
            case 7: {  // vlineto
                if (n < 1)
                    return Outcome::Failed;
                bool horizontal = op == 6;
                for (std::size_t i = 0; i < n; ++i, horizontal = !horizontal) {
                    if (horizontal)
                        path.RLineTo(s[i], 0);
                    else
                        path.RLineTo(0, s[i]);
                }
                s.clear();
                break;
            }
            case 8:  // rrcurveto
                if (n < 6)
                    return Outcome::Failed;
                for (std::size_t i = 0; i + 5 < n; i += 6)
                    path.RCurveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
                s.clear();
                break;
            case 24: {  // rcurveline
                if (n < 8)
                    return Outcome::Failed;
                const std::size_t curves = (n - 2) / 6;
                for (std::size_t c = 0, i = 0; c < curves; ++c, i += 6)
                    path.RCurveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
                path.RLineTo(s[n - 2], s[n - 1]);
                s.clear();
                break;
            }
            case 25: {  // rlinecurve
                if (n < 8)
                    return Outcome::Failed;
                for (std::size_t i = 0; i + 1 < n - 6; i += 2)
                    path.RLineTo(s[i], s[i + 1]);
                const std::size_t c = n - 6;
                path.RCurveTo(s[c], s[c + 1], s[c + 2], s[c + 3], s[c + 4], s[c + 5]);
                s.clear();
                break;
            }
            case 26:    // vvcurveto
            case 27: {  // hhcurveto
                if (n < 4)
                    return Outcome::Failed;
                std::size_t i = n % 2;
                std::int32_t across = i ? s[0] : 0;
                for (; i + 3 < n; i += 4) {
                    if (op == 26)
                        path.RCurveTo(across, s[i], s[i + 1], s[i + 2], 0, s[i + 3]);
                    else
                        path.RCurveTo(s[i], across, s[i + 1], s[i + 2], s[i + 3], 0);
                    across = 0;
                }
                s.clear();
                break;
            }
            case 30:    // vhcurveto
            case 31: {  // hvcurveto
                if (n < 4)
                    return Outcome::Failed;
                bool horizontal = op == 31;
                for (std::size_t i = 0; i + 3 < n; i += 4, horizontal = !horizontal) {
                    // The last curve may end off its axis by one more delta.
                    const std::int32_t last = n - i == 5 ? s[i + 4] : 0;
                    if (horizontal)
                        path.RCurveTo(s[i], 0, s[i + 1], s[i + 2], last, s[i + 3]);
                    else
                        path.RCurveTo(0, s[i], s[i + 1], s[i + 2], s[i + 3], last);
                }
                s.clear();
                break;
            }
            case CffReader::kEscape + 35:  // flex
                if (n < 13)
                    return Outcome::Failed;
                path.RCurveTo(s[0], s[1], s[2], s[3], s[4], s[5]);
                path.RCurveTo(s[6], s[7], s[8], s[9], s[10], s[11]);
                s.clear();
                break;
            case CffReader::kEscape + 34:  // hflex
                if (n < 7)
                    return Outcome::Failed;
                path.RCurveTo(s[0], 0, s[1], s[2], s[3], 0);
                path.RCurveTo(s[4], 0, s[5], wrap(-std::int64_t(s[2])), s[6], 0);
                s.clear();
                break;
            case CffReader::kEscape + 36:  // hflex1
                if (n < 9)
                    return Outcome::Failed;
                path.RCurveTo(s[0], s[1], s[2], s[3], s[4], 0);
                path.RCurveTo(s[5], 0, s[6], s[7], s[8],
                              wrap(-(std::int64_t(s[1]) + s[3] + s[7])));
                s.clear();
                break;
            case CffReader::kEscape + 37: {  // flex1
                if (n < 11)
                    return Outcome::Failed;
                const std::int64_t dx = std::int64_t(s[0]) + s[2] + s[4] + s[6] + s[8];
                const std::int64_t dy = std::int64_t(s[1]) + s[3] + s[5] + s[7] + s[9];
                path.RCurveTo(s[0], s[1], s[2], s[3], s[4], s[5]);
                if (std::llabs(dx) > std::llabs(dy))
                    path.RCurveTo(s[6], s[7], s[8], s[9], s[10], wrap(-dy));
                else
                    path.RCurveTo(s[6], s[7], s[8], s[9], wrap(-dx), s[10]);
                s.clear();
                break;
            }
            case 10:    // callsubr
            case 29: {  // callgsubr
                if (n < 1 || depth >= kMaxCallDepth)
                    return Outcome::Failed;
                const std::vector<Bytes>& subrs = op == 10 ? localSubrs_ : globalSubrs_;
                const std::int64_t number =
                    std::int64_t(pop()) + (op == 10 ? localBias_ : globalBias_);
                if (number < 0 || std::uint64_t(number) >= subrs.size())
                    return Outcome::Failed;
                std::size_t subrPosition = 0;
                const Outcome outcome =
                    runCharString(subrs[std::size_t(number)], subrPosition, run, depth + 1);
                if (outcome != Outcome::Returned)
                    return outcome;
                break;
            }
            case 11:  // return
                return Outcome::Returned;
            case 14:  // endchar
                if ((n == 4 || n == 5) && !run.composing) {
                    const std::int32_t adx = s[n - 4], ady = s[n - 3];
                    const std::int32_t baseCode = s[n - 2], accentCode = s[n - 1];
                    path.ClosePath();
                    compose(run, adx, ady, baseCode, accentCode);
                }
                s.clear();
                path.ClosePath();
                return Outcome::Ended;
            case 16:
                s.clear();
                break;
            case CffReader::kEscape + 3:   // and
            case CffReader::kEscape + 4:   // or
            case CffReader::kEscape + 10:  // add
            case CffReader::kEscape + 11:  // sub
            case CffReader::kEscape + 12:  // div
            case CffReader::kEscape + 15:  // eq
            case CffReader::kEscape + 24: {  // mul
                if (n < 2)
                    return Outcome::Failed;
                const std::int64_t b2 = pop();
                const std::int64_t a = pop();
                std::int64_t r = 0;
                switch (op - CffReader::kEscape) {
                    case 3:
                        r = (a != 0 && b2 != 0) ? 1 : 0;
                        break;
                    case 4:
                        r = (a != 0 || b2 != 0) ? 1 : 0;
                        break;
                    case 10:
                        r = a + b2;
                        break;
                    case 11:
                        r = a - b2;
                        break;
                    case 12:
                        // Division by 0, and the quotient that does not fit
                        // (the most negative integer by -1), give 0.
                        r = b2 == 0 || (a == INT32_MIN && b2 == -1) ? 0 : a / b2;
                        break;
                    case 15:
                        r = a == b2 ? 1 : 0;
                        break;
                    default:
                        r = a * b2;
                        break;
                }
                push(r);
                break;
            }
            case CffReader::kEscape + 5:   // not
            case CffReader::kEscape + 9:   // abs
            case CffReader::kEscape + 14:  // neg
            case CffReader::kEscape + 26: {  // sqrt
                if (n < 1)
                    return Outcome::Failed;
                const std::int64_t a = pop();
                std::int64_t r = 0;
                switch (op - CffReader::kEscape) {
                    case 5:
                        r = a == 0 ? 1 : 0;
                        break;
                    case 9:
                        r = a < 0 ? -a : a;
                        break;
                    case 14:
                        r = -a;
                        break;
                    default:
                        r = a > 0 ? std::int64_t(std::sqrt(double(a))) : 0;
                        break;
                }
                push(r);
                break;
            }
            case CffReader::kEscape + 18:  // drop
                if (n < 1)
                    return Outcome::Failed;
                s.pop_back();
                break;
            case CffReader::kEscape + 22: {  // ifelse
                if (n < 4)
                    return Outcome::Failed;
                const std::int32_t v2 = pop(), v1 = pop(), s2 = pop(), s1 = pop();
                push(v1 <= v2 ? s1 : s2);
                break;
            }
            case CffReader::kEscape + 23:  // random
                if (!push(1))
                    return Outcome::Failed;
                break;
            case CffReader::kEscape + 27:  // dup
                if (n < 1)
                    return Outcome::Failed;
                if (!push(s.back()))
                    return Outcome::Failed;
                break;
            case CffReader::kEscape + 28:  // exch
                if (n < 2)
                    return Outcome::Failed;
                std::swap(s[n - 1], s[n - 2]);
                break;
            case CffReader::kEscape + 29: {  // index
                if (n < 2)
                    return Outcome::Failed;
                const std::int64_t i = pop();
                const std::size_t m = s.size();
                // A negative index copies the top element, one past the
                // stack the bottom one.
                const std::size_t from = i < 0 ? m - 1 : std::uint64_t(i) >= m ? 0 : m - 1 - std::size_t(i);
                push(s[from]);
                break;
            }
            case CffReader::kEscape + 30: {  // roll
                if (n < 2)
                    return Outcome::Failed;
                const std::int64_t j = pop();
                const std::int64_t count = pop();
                // A count of 0 or one past the stack leaves it as it is.
                if (count <= 0 || std::uint64_t(count) > s.size())
                    break;
                const std::int64_t shift = ((j % count) + count) % count;
                std::rotate(s.end() - count, s.end() - shift, s.end());
                break;
            }
            default:
                // Reserved operators, and those of no effect here (put, get,
                // dotsection...): the stack stays as it is.
                break;
        }
    }
    path.ClosePath();
    return Outcome::Returned;
}

}  // namespace vistrel
