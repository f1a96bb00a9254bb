// The lines and words of the text shown on a page. While a page renders with
// text capture on, every shown string comes here: each code becomes one or
// more Unicode characters (through the font's encoding, the glyph-name map
// and the accent map), each character is placed by its position, and the
// characters are grouped into lines and, within a line, into words. When the
// page is finished the words of each line are separated by single spaces.
//
// Positions come from the text matrices the fonts hold: device pixels of the
// page bitmap, y growing downwards, the current transformation included.
// Each string is placed in the reading frame of the way its glyphs run on
// the bitmap (right, down, left or up, the nearest of the four): device
// pixels turned by quarter turns so that its baseline runs along x, as
// upright text does. Text on a turned page runs down or up the bitmap, text
// that a turned page's content turns back runs right again; each is read
// along its own lines, and lines of different frames never mix. The words'
// boxes are turned into device pixels again when they are read. A
// character's height is the font size in device pixels: the gaps that break
// words and lines are fractions of it.
//
// Readers walk the lines (TextLineList::lineCount, line) and, per line, the
// words by ascending x in its frame (TextLine::wordCount, getWordInfo). A
// word keeps a counted reference to the font handle of its first character,
// so the font stays reachable for as long as the list lives (until the
// page's next render clears it, or the page goes).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/object/pdf_object.h"
#include "engine/render/content/font_handle.h"
#include "engine/render/content/text_line_list.h"

namespace vistrel {

class FontRenderer;

// What TextLine::getWordInfo gives of a word. The numbers are device pixels
// within 2^30 of the origin.
struct TextWordRecord {
    // Left edge and baseline (the largest baseline of its characters).
    double x = 0.0;
    double y = 0.0;
    // Right edge minus x: the furthest x + advance of its characters.
    double width = 0.0;
    // The height of its first character: the word covers y - height to y.
    double height = 0.0;
    // The font that showed its first character.
    Ref<FontHandle> font;
    WString text;
};

// One character as it is placed: its left edge x, baseline y, height and
// advance (the width it takes along the line). spacing is the letter
// spacing it follows the glyph before it by: a gap up to that much wider
// than the joining gap still joins the word before.
struct PlacedChar {
    char16_t code;
    double x;
    double y;
    double height;
    double advance;
    double spacing = 0.0;
};

class TextLine {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // An empty line at the baseline y, of height 0. Positions are taken in
    // a reading frame; back, when given, turns them into device pixels for
    // getWordInfo.
    explicit TextLine(double y, const Matrix* back = nullptr);

    // The baseline of the character that opened the line.
    double y() const { return y_; }
    // Grows so that y + height covers y + height of every character added.
    double height() const { return height_; }
    size_t wordCount() const { return words_.size(); }

    // The word at an index (words by ascending x); false, and the record
    // untouched, at or past the word count. For a line of a turned frame
    // the record holds the word's box in device pixels: x and width its
    // left edge and width, y its bottom edge and height its height.
    bool getWordInfo(size_t index, TextWordRecord& record) const;
    // The line's text: the words in order, separated by the spaces
    // spaceWords put between them.
    WString text() const;
    // Where a word stands in text(): its first index and the index after
    // its last character; {0, 0} past the word count.
    std::pair<std::int32_t, std::int32_t> wordRange(size_t index) const;

    // Whether a baseline lies within half the line's height of the line's.
    bool coversY(double y) const;
    // Whether an x lies near the right edge of the line's last word: from
    // 0.65 heights before it to 2 heights after it (both open).
    bool isNearEnd(double x) const;
    // The right edge of the last word (by x); 0 for a line without words.
    double lastEnd() const { return words_.empty() ? 0.0 : words_.back().xEnd; }

    // Turns a shown code into Unicode characters of the font (its glyph name
    // through the glyph-name map; numeric names such as /G65 through the
    // font's default encoding; accented letters and ligatures split by the
    // accent map, sharing the advance) and adds them. The raw code stands
    // for itself when it has no name or the name no value. True when
    // something was added.
    bool addCode(const PlacedChar& shown, FontHandle& font);
    // Adds the characters of a shown code as addCode turns it: one
    // character (single) when parts is empty, else the parts side by side
    // sharing the advance. True when something was added.
    bool addCharacters(const PlacedChar& shown, char16_t single, std::u16string_view parts,
                       FontHandle& font);
    // Adds one Unicode character: it joins the first word whose right edge
    // lies less than 0.13 heights before it (less than 0.1 heights for a
    // full stop after other characters or another character after full
    // stops: dot leaders), both gaps widened by the character's letter
    // spacing, else it starts a word. False for a space, which is never
    // recorded.
    bool addChar(const PlacedChar& c, FontHandle& font);
    // One more space between every two neighbouring words.
    void spaceWords() { ++spaces_; }

private:
    struct Word {
        Ref<FontHandle> font;
        double x;
        double xEnd;
        double y;
        double height;
        // The largest xEnd of this word and the words before it: the words
        // are sorted by x, not by xEnd, and this finds the first word a
        // character joins by binary search.
        double reach;
        std::u16string text;
    };

    // Brings reach up to date from the word at an index on, after that word
    // was inserted or its xEnd grew.
    void updateReach(size_t from);

    double y_;
    double height_ = 0.0;
    bool turned_ = false;
    Matrix back_;
    std::vector<Word> words_;
    // Spaces between neighbouring words (spaceWords).
    std::int32_t spaces_ = 0;
};

// The lines of one page. The factory installed by installTextLineLists
// makes these for the pages.
class PageTextLineList final : public TextLineList {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // The first list made in the process fills the accent map.
    PageTextLineList();
    ~PageTextLineList() override;
    PageTextLineList(const PageTextLineList&) = delete;
    PageTextLineList& operator=(const PageTextLineList&) = delete;

    void clear() override;
    void spaceWords() override;
    // The page's own reading frame (the way its x axis runs on the
    // bitmap): its lines come first, then those of the frames a quarter,
    // half and three quarters further on. Upright without a page matrix.
    void setPageMatrix(const Matrix& pageMatrix) override;
    // Advances the copy of the text matrix code by code as the font would
    // (character and word spacing, horizontal scale, rise) and places each
    // character in the frame of the way the text matrix's x axis runs:
    // horizontally by its origin, as wide as the glyph's own advance (the
    // character and word spacing move the glyphs after it, they do not
    // widen it); when it advances less than a twentieth of a pixel along
    // the frame's x (no advance), at the origin less the device size, as
    // high as its advance along y and as wide as the device size. A glyph
    // that lands where the one before it left off, moved by a character
    // spacing of up to 0.15 of the device size and nothing else
    // (letter-spaced text), follows it by that spacing. Nothing for a font
    // that captures no text.
    // The characters are only placed here: they go into lines when the
    // lines are first read, so that a render nobody reads the words of
    // builds none.
    void addShownText(const WString& text, const Matrix& textMatrix, FontHandle* font) override;
    size_t lineCount() const override;
    const TextLine* line(size_t index) const override;

    // Places one shown code, its position in a reading frame (a quarter
    // turn: 0 upright, then the frames of text running down, left and up the
    // bitmap): the first line of that frame (by y) that covers its baseline
    // and whose end it lies near takes it, else a new line at its baseline.
    // A space is dropped (a code whose glyph is the space, or a code 32
    // the font names no glyph for), and so is a character whose position,
    // height or advance is not finite or lies more than 2^28 pixels from
    // the origin.
    void addChar(const PlacedChar& shown, FontHandle& font, int frame = 0);

private:
    // A character placed by addShownText and not yet in a line, its code
    // already turned into Unicode through the font as it stood; or, with
    // frame kSpacing, a spaceWords call made after the characters before
    // it.
    struct Pending {
        PlacedChar shown;
        FontHandle* font;
        int frame;
        char16_t single;
        // The parts in parts_ when the accent map splits the glyph.
        std::uint32_t partsAt;
        std::uint32_t partsCount;
    };
    // Kept characters come in blocks of this many: keeping one never moves
    // those kept before.
    static constexpr size_t kPendingBlock = 512;
    static constexpr int kSpacing = -1;

    // Turns a shown code into Unicode and keeps it for settle; nothing, and
    // false, for a space or a character placed out of bounds.
    bool keep(const PlacedChar& shown, FontHandle& font, int frame);
    // Puts the kept characters into lines, in the order they were shown.
    // The lines are built on reading: a const list builds them too.
    void settle() const;
    void place(const PlacedChar& shown, char16_t single, std::u16string_view parts,
               FontHandle& font, int frame);
    void spaceLines();
    void pend(const Pending& pending);
    void dropPending();

    // The lines that can take a character are grouped by their y and
    // height: whether a line covers a baseline depends on those two alone.
    // Within a group the lines are ordered by the right edge of their last
    // word, which decides whether a character lies near their end. A line
    // of height 0 takes no character after its first and is in no group.
    struct Entry;
    using Group = std::multimap<double, Entry*>;
    using GroupKey = std::pair<double, double>;
    using Groups = std::map<GroupKey, Group>;
    struct Entry {
        std::unique_ptr<TextLine> line;
        // The line's reading frame.
        int frame = 0;
        // Where the line stands in its group, when it is in one.
        bool grouped = false;
        Groups::iterator group;
        Group::iterator at;
    };

    // The first line of a frame, by y, that takes a character at (x, y);
    // null when none.
    Entry* findLine(int frame, double x, double y) const;
    // Puts the line into the group of its height under its end, or moves
    // it there when one of them changed.
    void regroup(Entry& entry);

    // The lines by their frame's place after the page's own frame, then by
    // y; among equal keys in the order they were made.
    std::multimap<std::pair<int, double>, Entry> byY_;
    // The groups of each frame.
    std::array<Groups, 4> groups_;
    // Where the next glyph lands when nothing moves it but the advance of
    // the glyph shown last (kept, placed with an advance): in that glyph's
    // frame, and the letter spacing it then follows by.
    struct Follow {
        bool valid = false;
        int frame = 0;
        double x = 0.0;
        double y = 0.0;
        double spacing = 0.0;
    };
    Follow follow_;
    // The page's own frame.
    int pageFrame_ = 0;
    // The tallest line: a line whose y lies further than half of it from a
    // baseline cannot cover it.
    double tallest_ = 0.0;
    // The lines in the order of byY_, made again when lines were added.
    mutable std::vector<const TextLine*> ordered_;
    mutable bool orderStale_ = false;
    // The characters kept for settle, their parts, and a hold on each font
    // they name.
    std::vector<std::unique_ptr<Pending[]>> pendingBlocks_;
    size_t pendingCount_ = 0;
    std::u16string parts_;
    std::vector<Ref<FontHandle>> pendingFonts_;
};

// Installs the factory that gives pages a PageTextLineList (and the way back
// to the one that records nothing). Run with the font layer's static objects.
void installTextLineLists();
void uninstallTextLineLists();

}  // namespace vistrel
