#include "engine/font/page_text_line_list.h"

#include <algorithm>
#include <cmath>

#include "engine/font/encoding_table.h"
#include "engine/font/font_base.h"
#include "engine/font/font_encoding.h"
#include "engine/font/glyph_names.h"
#include "engine/render/content/font_renderer.h"
#include "engine/render/content/matrix.h"

namespace vistrel {
namespace {

constexpr char16_t kSpace = 32;
constexpr char16_t kFullStop = u'.';
// A character joins a word whose right edge lies less than this many
// heights before it.
constexpr double kJoinGap = 0.13;
// Dot leaders stand off the title before them and the number after them by
// a gap of their own, which may be narrower than kJoinGap, while a full stop
// that ends a word follows its last letter closely: a full stop joins a word
// of other characters, and another character a word of full stops, only
// across less than this many heights.
constexpr double kLeaderGap = 0.1;
// A character continues a line when it lies less than kNearAfter heights
// after the end of the line's last word, or less than kNearBefore heights
// before it.
constexpr double kNearBefore = 0.65;
constexpr double kNearAfter = 2.0;
// Character spacing up to this many sizes, between glyphs that nothing else
// moves apart, spaces letters out: it widens no word gap. A wider one makes
// the word gaps of producers that set them with the character spacing.
constexpr double kLetterSpacing = 0.15;
// A glyph lands where the glyph before it left off when it lies within this
// many sizes of that place (the font's own advance may round differently).
constexpr double kSamePlace = 0.01;
// Device pixels into the reading frames of text that runs right, down, left
// and up the bitmap: the quarter turns that bring its baseline along x, the
// glyphs' tops towards smaller y. Frame q turns back through frame 4 - q.
constexpr Matrix kIntoFrame[4] = {
    {1, 0, 0, 1, 0, 0}, {0, -1, 1, 0, 0, 0}, {-1, 0, 0, -1, 0, 0}, {0, 1, -1, 0, 0, 0}};

// The frame of a direction on the bitmap: the nearest of right, down, left
// and up (right for no direction).
int frameOf(double dx, double dy) {
    if (!(std::fabs(dy) > std::fabs(dx)))
        return dx < 0 ? 2 : 0;
    return dy > 0 ? 1 : 3;
}

// Characters are placed only within this many pixels of the origin (2^28),
// far beyond any page bitmap: the boxes made of them stay finite and fit
// 32-bit integers.
constexpr double kFarOff = 268435456.0;

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The number some fonts name their glyphs by: /G65, /B12 or /C7 (a capital
// B, C or G and two digits), /65 or /123, /g65 or /c1234. 0 when the name
// has no such form.
std::int32_t numberInName(const WString& name) {
    const std::int32_t n = name.size();
    const char16_t* s = name.chars();
    // The letter form is tried first, then the plain number, then the
    // prefixed one.
    const bool lettered = n == 4 && (s[1] == u'B' || s[1] == u'C' || s[1] == u'G');
    const bool plain = (n == 3 || n == 4) && isDigit(s[1]) && isDigit(s[2]);
    const bool prefixed = n >= 4 && n <= 6 && isDigit(s[2]) && isDigit(s[3]);
    if (!lettered && plain)
        return WideToLong(s + 1, 10);
    if (lettered || prefixed)
        return WideToLong(s + 2, 10);
    return 0;
}

// The glyph matrix of the text state on a text matrix: the text-space
// matrix [size Th, 0, 0, size, 0, rise] first.
Matrix glyphMatrix(const Matrix& tm, double size, double th, double rise) {
    return multiply(Matrix{size * th, 0.0, 0.0, size, 0.0, rise}, tm);
}

// The units as a WString, a code 0 among them included.
WString wstringOf(const std::u16string& units) {
    WString out;
    const std::int32_t n = std::int32_t(units.size());
    if (out.setLength(n + 1)) {
        char16_t* data = out.data();
        std::copy(units.begin(), units.end(), data);
        data[n] = 0;
    }
    return out;
}

// The Unicode a shown code stands for in its font: its glyph name through
// the glyph-name map, a numeric name such as /G65 through the font's default
// encoding, the raw code when it has no name (but for TeX's ligature codes
// of a program in that layout) or the name no value. True,
// with the parts' characters appended, when the accent map splits the glyph
// (accented letters and ligatures); else false, with the one character in
// single.
bool charactersOf(char16_t code, FontRenderer* font, char16_t& single, std::u16string& parts) {
    single = code;
    const WString* name = &glyphNameOf(font ? font->encoding() : nullptr, code);
    if (name->empty()) {
        // A program in TeX's own layout names its ligatures where the
        // encoding the font draws through names nothing.
        const auto* program = dynamic_cast<const FontBase*>(font);
        name = texLigatureName(code);
        if (!name || !program || !program->hasTexLigatures())
            return false;
    }
    const GlyphNameMap* values = glyphNameMap();
    char16_t u = values ? values->value(*name) : 0;
    if (u == 0) {
        // A name made of a number stands for the glyph at that code of the
        // font's default encoding.
        const std::int32_t v = numberInName(*name);
        const EncodingTable* table = encodingTableByName(font->defaultEncodingName());
        if (v < 1 || v > 255 || !table || table->entry(v).empty())
            return false;
        name = &table->entry(v);
        u = char16_t(v);
    }
    const AccentMap* accents = accentMap();
    const auto split = accents ? accents->components(*name) : std::span<const WString* const>();
    if (split.empty()) {
        single = u;
        return false;
    }
    for (const WString* part : split)
        parts.push_back(values ? values->value(*part) : 0);
    return true;
}

// A character's box lies within kFarOff of the origin.
bool placedNear(const PlacedChar& c) {
    return std::fabs(c.x) <= kFarOff && std::fabs(c.y) <= kFarOff &&
           std::fabs(c.height) <= kFarOff && std::fabs(c.advance) <= kFarOff;
}

TextLineList* newPageTextLineList() {
    return new PageTextLineList();
}

}  // namespace

// --- TextLine ---

TextLine::TextLine(double y, const Matrix* back) : y_(y) {
    if (back) {
        turned_ = true;
        back_ = *back;
    }
}

bool TextLine::getWordInfo(size_t index, TextWordRecord& record) const {
    if (index >= words_.size())
        return false;
    const Word& word = words_[index];
    if (turned_) {
        // The bounds of the box's corners in device pixels.
        const double xs[] = {word.x, word.xEnd};
        const double ys[] = {word.y - word.height, word.y};
        double left = 0, right = 0, top = 0, bottom = 0;
        bool first = true;
        for (double x : xs) {
            for (double y : ys) {
                const double dx = x * back_.a + y * back_.c;
                const double dy = x * back_.b + y * back_.d;
                left = first ? dx : std::min(left, dx);
                right = first ? dx : std::max(right, dx);
                top = first ? dy : std::min(top, dy);
                bottom = first ? dy : std::max(bottom, dy);
                first = false;
            }
        }
        record.x = left;
        record.y = bottom;
        record.width = right - left;
        record.height = bottom - top;
    } else {
        record.x = word.x;
        record.y = word.y;
        record.width = word.xEnd - word.x;
        record.height = word.height;
    }
    record.font = word.font;
    record.text = wstringOf(word.text);
    return true;
}

WString TextLine::text() const {
    std::u16string out;
    for (size_t i = 0; i < words_.size(); ++i) {
        if (i > 0)
            out.append(size_t(spaces_), kSpace);
        out += words_[i].text;
    }
    return wstringOf(out);
}

std::pair<std::int32_t, std::int32_t> TextLine::wordRange(size_t index) const {
    if (index >= words_.size())
        return {0, 0};
    std::int32_t start = 0;
    for (size_t i = 0; i < index; ++i)
        start += std::int32_t(words_[i].text.size()) + spaces_;
    return {start, start + std::int32_t(words_[index].text.size())};
}

bool TextLine::coversY(double y) const {
    return y_ - height_ / 2 <= y && y <= y_ + height_ / 2;
}

bool TextLine::isNearEnd(double x) const {
    if (words_.empty())
        return false;
    const double d = x - words_.back().xEnd;
    return -kNearBefore * height_ < d && d < kNearAfter * height_;
}

bool TextLine::addCode(const PlacedChar& shown, FontHandle& handle) {
    char16_t single = 0;
    std::u16string parts;
    charactersOf(shown.code, handle.font(), single, parts);
    return addCharacters(shown, single, parts, handle);
}

bool TextLine::addCharacters(const PlacedChar& shown, char16_t single,
                             std::u16string_view parts, FontHandle& font) {
    if (parts.empty())
        return addChar(
            PlacedChar{single, shown.x, shown.y, shown.height, shown.advance, shown.spacing}, font);
    // The parts follow each other closely, the first the glyph before.
    const double w = shown.advance / double(parts.size());
    for (size_t j = 0; j < parts.size(); ++j)
        addChar(PlacedChar{parts[j], shown.x + double(j) * w, shown.y, shown.height, w,
                           j == 0 ? shown.spacing : 0.0},
                font);
    return true;
}

bool TextLine::addChar(const PlacedChar& c, FontHandle& font) {
    if (c.code == kSpace)
        return false;
    if (y_ + height_ < c.y + c.height)
        height_ = c.y + c.height - y_;
    const double end = c.x + c.advance;

    // The first word (by x) whose right edge lies less than 0.13 heights
    // (and the letter spacing) before the character takes it: reach grows
    // along the words, so that word is the first whose reach does.
    const double gap = kJoinGap * c.height + c.spacing;
    const auto joins = std::partition_point(words_.begin(), words_.end(),
                                            [&](const Word& w) { return !(c.x - w.reach < gap); });
    // That word's reach is its own right edge.
    const bool leader = joins != words_.end() &&
                        (c.code == kFullStop) != (joins->text.back() == kFullStop) &&
                        !(c.x - joins->xEnd < kLeaderGap * c.height + c.spacing);
    if (joins != words_.end() && !leader) {
        joins->text.push_back(c.code);
        if (c.y > joins->y)
            joins->y = c.y;
        if (end > joins->xEnd) {
            joins->xEnd = end;
            updateReach(size_t(joins - words_.begin()));
        }
        return true;
    }

    // A new word, after the words that start at or before it.
    const auto at = std::upper_bound(words_.begin(), words_.end(), c.x,
                                     [](double x, const Word& w) { return x < w.x; });
    const size_t index = size_t(at - words_.begin());
    words_.insert(at, Word{Ref<FontHandle>::share(&font), c.x, end, c.y, c.height, end,
                           std::u16string(1, c.code)});
    updateReach(index);
    return true;
}

void TextLine::updateReach(size_t from) {
    for (size_t i = from; i < words_.size(); ++i) {
        const double before = i > 0 ? words_[i - 1].reach : words_[i].xEnd;
        const double reach = std::max(before, words_[i].xEnd);
        // Past the changed word, a reach the change does not raise stays,
        // and so do all after it.
        if (i > from && reach == words_[i].reach)
            break;
        words_[i].reach = reach;
    }
}

// --- PageTextLineList ---

PageTextLineList::PageTextLineList() {
    if (AccentMap* accents = accentMap())
        accents->build();
}

PageTextLineList::~PageTextLineList() = default;

void PageTextLineList::clear() {
    // The blocks stay for the page's next render.
    pendingCount_ = 0;
    parts_.clear();
    pendingFonts_.clear();
    for (Groups& groups : groups_)
        groups.clear();
    byY_.clear();
    ordered_.clear();
    orderStale_ = false;
    tallest_ = 0.0;
    follow_ = Follow();
}

void PageTextLineList::setPageMatrix(const Matrix& page) {
    // The characters kept so far go by the frame they were shown in.
    settle();
    pageFrame_ = frameOf(page.a, page.b);
}

void PageTextLineList::spaceWords() {
    if (pendingCount_ == 0)
        spaceLines();
    else
        pend(Pending{PlacedChar{}, nullptr, kSpacing, 0, 0, 0});
}

void PageTextLineList::spaceLines() {
    for (auto& [y, entry] : byY_)
        entry.line->spaceWords();
}

size_t PageTextLineList::lineCount() const {
    settle();
    return byY_.size();
}

const TextLine* PageTextLineList::line(size_t index) const {
    settle();
    if (orderStale_) {
        ordered_.clear();
        ordered_.reserve(byY_.size());
        for (const auto& [y, entry] : byY_)
            ordered_.push_back(entry.line.get());
        orderStale_ = false;
    }
    return index < ordered_.size() ? ordered_[index] : nullptr;
}

void PageTextLineList::addShownText(const WString& text, const Matrix& textMatrix,
                                    FontHandle* handle) {
    FontRenderer* font = handle ? handle->font() : nullptr;
    if (!font || !font->capturesText())
        return;
    Matrix tm = textMatrix;
    // The string advances along the text matrix's x axis.
    const int frame = frameOf(tm.a, tm.b);
    const Matrix& into = kIntoFrame[frame];
    for (std::int32_t i = 0; i < text.size(); ++i) {
        const char16_t code = text.at(i);
        const double size = font->fontSize();
        const double th = font->horizontalScale() * 0.01;
        const double rise = font->rise();
        Matrix m = glyphMatrix(tm, size, th, rise);
        if (code == kSpace) {
            const double tw = font->wordSpacing();
            tm.e += tw * tm.a;
            tm.f += tw * tm.b;
            m = glyphMatrix(tm, size, th, rise);
        }
        const double x0 = m.e;
        const double y0 = m.f;
        // The glyph width already holds the horizontal scale; the spacing
        // does not take it. The glyph itself reaches as far as its width;
        // the spacing only moves the next one.
        const double own = font->glyphWidth(code) * size;
        Matrix end = tm;
        end.e += own * tm.a;
        end.f += own * tm.b;
        end = glyphMatrix(end, size, th, rise);
        const double tx = own + font->charSpacing();
        tm.e += tx * tm.a;
        tm.f += tx * tm.b;
        m = glyphMatrix(tm, size, th, rise);
        double dx = m.e - x0;
        double dy = m.f - y0;
        double ownDx = end.e - x0;
        double x = x0;
        double y = y0;
        if (frame != 0) {
            x = x0 * into.a + y0 * into.c;
            y = x0 * into.b + y0 * into.d;
            const double along = dx * into.a + dy * into.c;
            dy = dx * into.b + dy * into.d;
            dx = along;
            ownDx = (end.e - x0) * into.a + (end.f - y0) * into.c;
        }
        const double height = font->deviceSize();
        if (roundToInt32(dx * 10.0) == 0) {
            keep(PlacedChar{code, x - height, y, std::fabs(dy), height}, *handle, frame);
            follow_.valid = false;
            continue;
        }
        // Letter spacing when it lands where the glyph before left off.
        const bool follows = follow_.valid && follow_.frame == frame &&
                             std::fabs(x - follow_.x) <= kSamePlace * height &&
                             std::fabs(y - follow_.y) <= kSamePlace * height;
        const double spacing = follows ? follow_.spacing : 0.0;
        const bool kept = keep(PlacedChar{code, x, y, height, ownDx, spacing}, *handle, frame);
        const double letterSpacing = dx - ownDx;
        follow_ = Follow{
            kept, frame, x + dx, y,
            letterSpacing > 0 && letterSpacing <= kLetterSpacing * height ? letterSpacing : 0.0};
    }
}

bool PageTextLineList::keep(const PlacedChar& shown, FontHandle& font, int frame) {
    if (!placedNear(shown))
        return false;
    const size_t at = parts_.size();
    if (at > UINT32_MAX - 8)
        return false;
    // What is a space is decided by the glyph the code names: a letter at
    // code 32 is that letter.
    char16_t single = 0;
    if (!charactersOf(shown.code, font.font(), single, parts_) && single == kSpace)
        return false;
    if (pendingFonts_.empty() || pendingFonts_.back().get() != &font)
        pendingFonts_.push_back(Ref<FontHandle>::share(&font));
    pend(Pending{shown, &font, frame & 3, single, std::uint32_t(at),
                 std::uint32_t(parts_.size() - at)});
    return true;
}

void PageTextLineList::pend(const Pending& pending) {
    const size_t block = pendingCount_ / kPendingBlock;
    if (block == pendingBlocks_.size())
        pendingBlocks_.push_back(std::make_unique_for_overwrite<Pending[]>(kPendingBlock));
    pendingBlocks_[block][pendingCount_ % kPendingBlock] = pending;
    ++pendingCount_;
}

void PageTextLineList::dropPending() {
    pendingBlocks_.clear();
    pendingCount_ = 0;
    parts_.clear();
    parts_.shrink_to_fit();
    pendingFonts_.clear();
}

void PageTextLineList::settle() const {
    if (pendingCount_ == 0)
        return;
    // Reading builds the lines; the lists are made by the factory, never
    // const themselves.
    auto& self = const_cast<PageTextLineList&>(*this);
    const std::u16string_view parts = parts_;
    for (size_t i = 0; i < pendingCount_; ++i) {
        const Pending& p = pendingBlocks_[i / kPendingBlock][i % kPendingBlock];
        if (p.frame == kSpacing)
            self.spaceLines();
        else
            self.place(p.shown, p.single, parts.substr(p.partsAt, p.partsCount), *p.font,
                       p.frame);
    }
    // The lines hold what the page showed now: the blocks go.
    self.dropPending();
}

PageTextLineList::Entry* PageTextLineList::findLine(int frame, double x, double y) const {
    const Groups& groups = groups_[size_t(frame)];
    // A line covers y only when its own y lies within half its height of y:
    // the groups within half the tallest height are the candidates. The
    // margins keep rounding from leaving out a line that qualifies.
    const double half = tallest_ / 2;
    const double margin = (std::fabs(y) + half) * 1e-9;
    const double last = y + half + margin;
    for (auto group = groups.lower_bound(GroupKey(y - half - margin, 0.0));
         group != groups.end() && !(group->first.first > last); ++group) {
        const auto& [lineY, height] = group->first;
        if (!(lineY - height / 2 <= y && y <= lineY + height / 2))
            continue;
        // The lines whose last word ends from 2 heights before x to 0.65
        // heights after it.
        const double slack = (std::fabs(x) + height) * 1e-9;
        for (auto it = group->second.lower_bound(x - kNearAfter * height - slack);
             it != group->second.end() && !(it->first > x + kNearBefore * height + slack); ++it) {
            if (it->second->line->isNearEnd(x))
                return it->second;
        }
    }
    return nullptr;
}

void PageTextLineList::regroup(Entry& entry) {
    const TextLine& line = *entry.line;
    Groups& groups = groups_[size_t(entry.frame)];
    if (entry.grouped) {
        if (entry.group->first.second == line.height()) {
            // The same group: only the end moved.
            if (entry.at->first != line.lastEnd()) {
                auto node = entry.group->second.extract(entry.at);
                node.key() = line.lastEnd();
                entry.at = entry.group->second.insert(std::move(node));
            }
            return;
        }
        entry.group->second.erase(entry.at);
        if (entry.group->second.empty())
            groups.erase(entry.group);
        entry.grouped = false;
    }
    if (line.height() > 0) {
        entry.group = groups.try_emplace(GroupKey(line.y(), line.height())).first;
        entry.at = entry.group->second.emplace(line.lastEnd(), &entry);
        entry.grouped = true;
    }
}

void PageTextLineList::addChar(const PlacedChar& shown, FontHandle& font, int frame) {
    settle();
    if (!placedNear(shown))
        return;
    char16_t single = 0;
    std::u16string parts;
    if (!charactersOf(shown.code, font.font(), single, parts) && single == kSpace)
        return;
    place(shown, single, parts, font, frame & 3);
}

void PageTextLineList::place(const PlacedChar& shown, char16_t single, std::u16string_view parts,
                             FontHandle& font, int frame) {
    Entry* entry = findLine(frame, shown.x, shown.y);
    if (entry) {
        entry->line->addCharacters(shown, single, parts, font);
    } else {
        auto fresh =
            std::make_unique<TextLine>(shown.y, frame ? &kIntoFrame[(4 - frame) & 3] : nullptr);
        if (!fresh->addCharacters(shown, single, parts, font))
            return;
        const int place = (frame - pageFrame_) & 3;
        entry = &byY_.emplace(std::make_pair(place, shown.y), Entry())->second;
        entry->line = std::move(fresh);
        entry->frame = frame;
        orderStale_ = true;
    }
    regroup(*entry);
    tallest_ = std::max(tallest_, entry->line->height());
}

void installTextLineLists() {
    setTextLineListFactory(newPageTextLineList);
}

void uninstallTextLineLists() {
    setTextLineListFactory(nullptr);
}

}  // namespace vistrel
