#include "engine/font/type1_font.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

#include "engine/constants/font_constants.h"
#include "engine/font/encoding_table.h"
#include "engine/font/font_description.h"
#include "engine/font/font_encoding.h"
#include "engine/font/glyph_names.h"
#include "engine/render/raster/path.h"

namespace vistrel {
namespace {

// Operators; an escaped operator is its second byte plus 32.
enum Op : std::int32_t {
    kHstem = 1,
    kVstem = 3,
    kVmoveto = 4,
    kRlineto = 5,
    kHlineto = 6,
    kVlineto = 7,
    kRrcurveto = 8,
    kClosepath = 9,
    kCallsubr = 10,
    kReturn = 11,
    kEscape = 12,
    kHsbw = 13,
    kEndchar = 14,
    kRmoveto = 21,
    kHmoveto = 22,
    kVhcurveto = 30,
    kHvcurveto = 31,
    kSeac = 32 + 6,
    kSbw = 32 + 7,
    kDiv = 32 + 12,
    kCallothersubr = 32 + 16,
    kPop = 32 + 17,
    kSetcurrentpoint = 32 + 33,
};

// callOtherSubr's answer when the charstring goes on.
constexpr int kGoOn = 2;

std::int32_t clamp32(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

// One glyph's run: the charstring, its subroutines and the flex being
// recorded.
class CharStringRunner {
public:
    CharStringRunner(const SubrList& subrs, Path& path, OperandStack& stack, AccentRequest& accent)
        : subrs_(subrs), path_(path), stack_(stack), accent_(accent) {}

    int run(const CharString& charstring, std::int32_t baseX, std::int32_t baseY, int depth);

private:
    // Pops the top k operands into a[0..k-1] in push order; false, the
    // stack untouched, when fewer are there.
    bool take(int k, std::int32_t* a) {
        if (stack_.depth() < k)
            return false;
        for (int i = k - 1; i >= 0; --i)
            a[i] = stack_.pop();
        return true;
    }
    // A move: closes the subpath and moves, or, while a flex is recorded,
    // leaves (dx, dy) on the stack for the flex to take.
    void move(std::int32_t dx, std::int32_t dy) {
        if (flexing_) {
            stack_.push(dx);
            stack_.push(dy);
            return;
        }
        path_.ClosePath();
        path_.RMoveTo(dx, dy);
        stack_.clear();
    }
    // Runs callothersubr: kGoOn, or Done when a flex ended (the run ends
    // there), Failed when too little was recorded for it.
    int callOtherSubr();

    const SubrList& subrs_;
    Path& path_;
    OperandStack& stack_;
    AccentRequest& accent_;
    std::int32_t operations_ = 0;
    bool flexing_ = false;
    std::vector<std::int32_t> flex_;
};

int CharStringRunner::callOtherSubr() {
    std::int32_t a[2];
    if (!take(2, a)) {
        stack_.clear();
        return kGoOn;
    }
    const std::int32_t number = a[1];
    switch (number) {
        case 0: {
            if (flex_.size() < 14)
                return kCharStringFailed;
            const std::int32_t* r = flex_.data() + (flex_.size() - 14);
            path_.RCurveTo(clamp32(std::int64_t(r[0]) + r[2]), clamp32(std::int64_t(r[1]) + r[3]),
                           r[4], r[5], r[6], r[7]);
            path_.RCurveTo(r[8], r[9], r[10], r[11], r[12], r[13]);
            flex_.clear();
            flexing_ = false;
            stack_.clear();
            return kCharStringDone;
        }
        case 1: {
            flex_.clear();
            flexing_ = true;
            std::int32_t x = path_.currentPoint().x, y = path_.currentPoint().y;
            path_.TransformPoint(x, y);
            flex_.push_back(x);
            flex_.push_back(y);
            stack_.clear();
            break;
        }
        case 2: {
            std::int32_t d[2];
            if (take(2, d)) {
                flex_.push_back(d[0]);
                flex_.push_back(d[1]);
            }
            stack_.clear();
            break;
        }
        default:
            // Its arguments stay for the subroutine call that follows.
            break;
    }
    return kGoOn;
}

int CharStringRunner::run(const CharString& cs, std::int32_t baseX, std::int32_t baseY, int depth) {
    std::size_t pos = 0;
    std::int32_t a[6];
    while (pos < cs.size()) {
        if (++operations_ > kMaxOperations)
            return kCharStringFailed;
        std::int32_t op = std::uint8_t(cs[pos]);
        if (op >= 32) {
            std::int32_t value;
            if (!readCharStringNumber(cs, pos, value))
                break;
            stack_.push(value);
            continue;
        }
        ++pos;
        if (op == kEscape) {
            if (pos >= cs.size())
                break;
            op = 32 + std::uint8_t(cs[pos++]);
        }
        switch (op) {
            // The side bearing as given, negative ones included: glyphs such
            // as an italic f reach left of their origin.
            case kHsbw:
                if (take(2, a))
                    path_.SetSidebearingWidth(clamp32(std::int64_t(a[0]) + baseX), baseY, a[1], 0);
                stack_.clear();
                break;
            case kSbw:
                if (take(4, a)) {
                    path_.SetSidebearingWidth(clamp32(std::int64_t(a[0]) + baseX),
                                              clamp32(std::int64_t(a[1]) + baseY), a[2], a[3]);
                }
                stack_.clear();
                break;
            case kRmoveto:
                if (take(2, a))
                    move(a[0], a[1]);
                else
                    stack_.clear();
                break;
            case kHmoveto:
                if (take(1, a))
                    move(a[0], 0);
                else
                    stack_.clear();
                break;
            case kVmoveto:
                if (take(1, a))
                    move(0, a[0]);
                else
                    stack_.clear();
                break;
            case kRlineto:
                if (take(2, a))
                    path_.RLineTo(a[0], a[1]);
                stack_.clear();
                break;
            case kHlineto:
                if (take(1, a))
                    path_.RLineTo(a[0], 0);
                stack_.clear();
                break;
            case kVlineto:
                if (take(1, a))
                    path_.RLineTo(0, a[0]);
                stack_.clear();
                break;
            case kRrcurveto:
                if (take(6, a))
                    path_.RCurveTo(a[0], a[1], a[2], a[3], a[4], a[5]);
                stack_.clear();
                break;
            case kVhcurveto:
                if (take(4, a))
                    path_.RCurveTo(0, a[0], a[1], a[2], a[3], 0);
                stack_.clear();
                break;
            case kHvcurveto:
                if (take(4, a))
                    path_.RCurveTo(a[0], 0, a[1], a[2], 0, a[3]);
                stack_.clear();
                break;
            case kClosepath:
                path_.ClosePath();
                stack_.clear();
                break;
            case kCallsubr: {
                if (!take(1, a))
                    break;
                if (a[0] < 0 || std::size_t(a[0]) >= subrs_.size() || depth >= kMaxSubrDepth)
                    return kCharStringFailed;
                const int result = run(subrs_[std::size_t(a[0])], 0, 0, depth + 1);
                if (result != kCharStringDone)
                    return result;
                break;
            }
            case kReturn:
                return kCharStringDone;
            case kEndchar:
                stack_.clear();
                path_.ClosePath();
                return kCharStringDone;
            case kSeac:
                if (take(5, a)) {
                    accent_ = AccentRequest{a[0], a[1], a[2], a[3], a[4]};
                    stack_.clear();
                    return kCharStringAccent;
                }
                stack_.clear();
                break;
            case kDiv:
                if (take(2, a)) {
                    const std::int64_t q = a[1] == 0 ? 0 : std::int64_t(a[0]) / a[1];
                    stack_.push(clamp32(q));
                }
                break;
            case kCallothersubr: {
                const int result = callOtherSubr();
                if (result != kGoOn)
                    return result;
                break;
            }
            case kPop:
                break;
            case kSetcurrentpoint:
                if (take(2, a))
                    path_.MoveTo(clamp32(std::int64_t(a[0]) + baseX), clamp32(std::int64_t(a[1]) + baseY));
                stack_.clear();
                break;
            default:
                // Hints and unknown operators.
                stack_.clear();
                break;
        }
    }
    path_.ClosePath();
    return kCharStringDone;
}

// Reads the entries "dup CODE /NAME put" of the program's own encoding when
// the font draws through another one, for what they tell of the program's
// layout. Only the encoding is read: the scan ends after the "def" that
// closes it and gives back the first character no encoding starts a word
// with (the "/" of a key, "currentfile", "eexec"), so the keywords after it
// are found as before.
void scanOwnEncoding(InputStream& in, EncodingTable& table) {
    // An encoding of 256 entries is a few kilobytes; the loop of a
    // procedure a few dozen characters.
    constexpr std::int32_t kMaxCharacters = 65536;
    constexpr std::int32_t kMaxInProcedure = 64;
    enum class After { Nothing, Dup, Code, Name };
    After after = After::Nothing;
    std::int32_t code = 0;
    std::string token;
    std::string name;
    std::int32_t depth = 0;
    std::int32_t inProcedure = 0;
    for (std::int32_t n = 0; n < kMaxCharacters; ++n) {
        const std::int32_t c = readChar(in);
        if (c < 0)
            return;
        const bool blank = c == ' ' || c == '\r' || c == '\n' || c == '\t';
        if (!blank) {
            if (token.empty()) {
                // Words of an encoding: numbers, array, dup, put, def,
                // readonly, for, a procedure, and a name after dup and its
                // code; in a procedure, index, exch and names too.
                const bool digit = (c >= '0' && c <= '9') || c == '-' || c == '+';
                const bool fits = digit || c == '{' || c == '}' ||
                                  (depth == 0 ? c == 'a' || c == 'd' || c == 'p' || c == 'r' ||
                                                    c == 'f' || (c == '/' && after == After::Code)
                                              : c == 'i' || c == 'e' || c == '/' || c == 'p');
                if (!fits) {
                    in.unread(std::uint16_t(c));
                    return;
                }
            }
            if (c == '{')
                ++depth;
            else if (c == '}' && depth > 0)
                --depth;
            if (depth > 0 && ++inProcedure > kMaxInProcedure)
                return;
            if (token.size() < 256)
                token.push_back(char(c));
            continue;
        }
        if (token.empty())
            continue;
        if (depth == 0) {
            if (token == "def")
                return;
            if (token == "dup") {
                after = After::Dup;
            } else if (after == After::Dup && token[0] >= '0' && token[0] <= '9') {
                code = std::int32_t(std::min(parseReal(token), 1e6));
                after = After::Code;
            } else if (after == After::Code && token[0] == '/') {
                name = token;
                after = After::Name;
            } else {
                if (after == After::Name && token == "put") {
                    std::u16string text;
                    for (char ch : name)
                        text.push_back(char16_t(static_cast<unsigned char>(ch)));
                    table.setEntry(WString(text.c_str(), std::int32_t(text.size())), code);
                }
                after = After::Nothing;
            }
        }
        token.clear();
    }
}

// The name text of an encoding entry ("/name") as the program spells it.
std::string latin1(const WString& name) {
    return name.toLatin1();
}

}  // namespace

int runCharString(const CharString& charstring, const SubrList& subrs, Path& path,
                  std::int32_t baseX, std::int32_t baseY, OperandStack& stack,
                  AccentRequest& accent) {
    CharStringRunner runner(subrs, path, stack, accent);
    return runner.run(charstring, baseX, baseY, 0);
}

// ------------------------------------------------------------ Type1Font

Type1Font::Type1Font(const FontDescription& description, OutputDevice* device)
    : PsFont(description, device) {
    if (const auto* simple = dynamic_cast<const SimpleFontDescription*>(&description)) {
        if (simple->differences())
            differences_.reset(new (std::nothrow) Differences(*simple->differences()));
        if (encodingTableByName(simple->encodingName()))
            setEncoding(new FontEncoding(simple->encodingName(), differences_.get()));
    }
    setOutlines(OutlineCache::create(256, 255));
}

bool Type1Font::loadProgram(InputStream* stream) {
    const bool read = PsFont::loadProgram(stream);
    subrs_.clear();
    subrs_.shrink_to_fit();
    return read;
}

bool Type1Font::parseProgram(InputStream* stream) {
    if (!stream || !outlines())
        return false;
    EexecStream in(*stream);
    // Every program starts with no keyword half matched.
    KeywordTable keywords;
    buildType1KeywordTable(keywords);
    for (std::int32_t kind = findNextKeyword(in, keywords); kind >= 0;
         kind = findNextKeyword(in, keywords)) {
        switch (kind) {
            case kKeywordEexec:
                in.startDecrypting();
                break;
            case kKeywordFontBBox:
                if (!readFontBBox(in))
                    return false;
                break;
            case kKeywordFontMatrix: {
                std::array<double, 6> m;
                if (!readFontMatrix(in, m))
                    return false;
                Matrix matrix;
                setMatrix(matrix, m[0], m[1], m[2], m[3], m[4], m[5]);
                setFontMatrix(matrix);
                break;
            }
            case kKeywordLenIV:
                lenIV_ = readInteger(in);
                break;
            case kKeywordSubrs:
                if (!readSubrs(in))
                    return false;
                break;
            case kKeywordCharStrings:
                if (!readCharStrings(in))
                    return false;
                break;
            case kKeywordEncoding:
                if (!readEncoding(in))
                    return false;
                break;
            default:
                break;
        }
    }
    return true;
}

bool Type1Font::readFontBBox(InputStream& in) {
    for (std::int32_t c = readChar(in);; c = readChar(in)) {
        if (c < 0)
            return false;
        if (c == '{' || c == '[')
            break;
    }
    // Read past; no drawing step uses the box.
    for (int i = 0; i < 4; ++i)
        (void)readInteger(in);
    return true;
}

bool Type1Font::readCharStringData(InputStream& in, CharString& charstring) {
    const std::int32_t length = std::max(readInteger(in), 0);
    // The token between the length and the data (RD or -|).
    for (std::int32_t c = readChar(in); c != ' '; c = readChar(in)) {
        if (c < 0)
            return false;
    }
    std::string bytes;
    bytes.reserve(std::size_t(std::min(length, 65536)));
    for (std::int32_t i = 0; i < length; ++i) {
        const std::int32_t c = readChar(in);
        if (c < 0)
            return false;
        bytes.push_back(char(c));
    }
    charstring = type1Decrypt(bytes, lenIV_);
    return true;
}

bool Type1Font::readSubrs(InputStream& in) {
    subrCount_ = std::clamp(readInteger(in), 0, kMaxEntries);
    subrs_.clear();
    for (std::int32_t i = 0; i < subrCount_; ++i) {
        if (!skipTo(in, "dup"))
            return false;
        const std::int32_t index = readInteger(in);
        CharString charstring;
        if (!readCharStringData(in, charstring))
            return false;
        // An index outside the announced count has no slot.
        if (index < 0 || index >= subrCount_)
            continue;
        if (subrs_.size() <= std::size_t(index))
            subrs_.resize(std::size_t(index) + 1);
        subrs_[std::size_t(index)] = std::move(charstring);
    }
    // Slots never filled are empty subroutines.
    subrs_.resize(std::size_t(subrCount_));
    return true;
}

bool Type1Font::readEncoding(InputStream& in) {
    if (encoding()) {
        // The font draws through the encoding the description names; the
        // program's own still tells whether it keeps TeX's layout.
        EncodingTable own;
        scanOwnEncoding(in, own);
        texLigatures_ = followsTexLigatures(own);
        return true;
    }
    std::string token;
    if (!readToken(in, token))
        return false;
    const bool number = !token.empty() && ((token[0] >= '0' && token[0] <= '9') ||
                                           ((token[0] == '-' || token[0] == '+') &&
                                            token.size() > 1 && token[1] >= '0' && token[1] <= '9'));
    if (!number) {
        setEncoding(new FontEncoding(encodings::StandartEncoding, differences_.get()));
        return true;
    }
    // dup code /name put, as long as the next entry follows at once.
    EncodingTable table;
    for (;;) {
        if (!skipTo(in, "dup"))
            return false;
        const std::int32_t code = readInteger(in);
        if (!skipTo(in, "/"))
            return false;
        std::u16string name(1, u'/');
        std::int32_t c = readChar(in);
        for (; c >= 0 && c != ' '; c = readChar(in)) {
            if (name.size() < 256)
                name.push_back(char16_t(c));
        }
        if (c < 0 || !skipTo(in, "put"))
            return false;
        for (c = readChar(in); c >= 0 && c != '\r' && c != '\n' && c != ' '; c = readChar(in)) {
        }
        if (c < 0)
            return false;
        table.setEntry(WString(name.c_str(), std::int32_t(name.size())), code);
        c = readChar(in);
        if (c >= 0)
            in.unread(std::uint16_t(c));
        if (c != 'd')
            break;
    }
    texLigatures_ = followsTexLigatures(table);
    setEncoding(new FontEncoding(table, differences_.get()));
    return true;
}

std::unique_ptr<Path> Type1Font::newPath() const {
    std::unique_ptr<Path> path(new Path());
    if (!path)
        return nullptr;
    const Matrix& m = fontMatrix();
    if (m.a != 1.0 || m.b != 0.0 || m.c != 0.0 || m.d != 1.0)
        path->setMatrix(std::array<double, 4>{m.a, m.b, m.c, m.d});
    return path;
}

std::unique_ptr<Path> Type1Font::buildGlyph(const CharString& charstring,
                                             const CharStringTable& table) {
    std::unique_ptr<Path> path = newPath();
    if (!path)
        return nullptr;
    OperandStack& stack = operands();
    stack.clear();
    AccentRequest accent;
    if (runCharString(charstring, subrs_, *path, 0, 0, stack, accent) != kCharStringAccent)
        return path;

    // An accented character: the base character at the origin, the accent
    // (both from the standard encoding) with its side bearing point at
    // (adx, ady) from the character's own, as other renderers place it: its
    // origin lies asb, the accent's side bearing, left of that point.
    const EncodingTable* standard = encodingTableByName(encodings::StandartEncoding);
    auto part = [&](std::int32_t code) -> const CharString* {
        if (!standard || code < 0 || code >= EncodingTable::kCodes)
            return nullptr;
        const WString& name = standard->entry(code);
        if (name.empty())
            return nullptr;
        const auto it = table.find(latin1(name));
        return it == table.end() ? nullptr : &it->second;
    };
    auto backToOrigin = [&] {
        const IntPoint at = path->currentPoint();
        path->RMoveTo(clampCoord(-std::int64_t(at.x)), clampCoord(-std::int64_t(at.y)));
    };
    const IntPoint accentOrigin(clamp32(std::int64_t(path->origin().x) + accent.adx - accent.asb),
                                accent.ady);
    AccentRequest ignored;
    backToOrigin();
    if (const CharString* base = part(accent.bchar)) {
        stack.clear();
        if (runCharString(*base, subrs_, *path, 0, 0, stack, ignored) == kCharStringFailed)
            return nullptr;
    }
    backToOrigin();
    path->RMoveTo(accent.adx, accent.ady);
    if (const CharString* mark = part(accent.achar)) {
        stack.clear();
        if (runCharString(*mark, subrs_, *path, accentOrigin.x, accentOrigin.y, stack, ignored) ==
            kCharStringFailed) {
            return nullptr;
        }
    }
    return path;
}

bool Type1Font::readCharStrings(InputStream& in) {
    const std::int32_t count = std::clamp(readInteger(in), 0, kMaxEntries);
    CharStringTable table;
    for (std::int32_t i = 0; i < count; ++i) {
        if (!skipTo(in, "/"))
            return false;
        std::string name(1, '/');
        std::int32_t c = readChar(in);
        for (; c >= 0 && c != ' '; c = readChar(in)) {
            if (name.size() < 256)
                name.push_back(char(c));
        }
        if (c < 0)
            return false;
        CharString charstring;
        if (!readCharStringData(in, charstring))
            return false;
        table[name] = std::move(charstring);
    }

    // A program that brings no encoding of its own uses the standard one.
    if (!encoding())
        setEncoding(new FontEncoding(encodings::StandartEncoding, differences_.get()));

    if (const auto it = table.find("/.notdef"); it != table.end()) {
        std::unique_ptr<GlyphOutline> notdef(new GlyphOutline());
        std::unique_ptr<Path> path = newPath();
        if (!notdef || !path)
            return false;
        operands().clear();
        AccentRequest ignored;
        runCharString(it->second, subrs_, *path, 0, 0, operands(), ignored);
        notdef->path = std::move(path);
        setNotdef(std::move(notdef));
    }
    for (std::int32_t code = 0; code < EncodingTable::kCodes; ++code) {
        const WString& glyph = encoding()->glyphName(code);
        if (glyph.empty())
            continue;
        const std::string name = latin1(glyph);
        if (name == "/.notdef")
            continue;
        const auto it = table.find(name);
        if (it == table.end())
            continue;
        std::unique_ptr<Path> path = buildGlyph(it->second, table);
        if (!path)
            return false;
        std::unique_ptr<GlyphOutline> entry(new GlyphOutline());
        if (!entry)
            return false;
        entry->path = std::move(path);
        outlines()->insert(std::uint32_t(code), std::move(entry));
    }
    return true;
}

}  // namespace vistrel
