// The text lines of a page, fed as a page render feeds them: shown strings
// with the text state of a font whose encoding renames codes to glyph names
// from the input, and characters placed directly. The input starts with the
// renamed codes (a count, then per code the code and a name of up to seven
// characters drawn from the letters and digits glyph names are made of),
// the font's default encoding and a flag; then come commands, one byte each
// followed by its operands: set the text state and matrix, show a string
// (the font advancing past it, and maybe moving by a number as TJ does),
// place a character, space the words, read every line and word, clear, set
// the page matrix.
// Numbers come from two bytes each, with a few codes for 0, the infinities,
// NaN and huge and tiny values.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "engine/constants/font_constants.h"
#include "engine/font/differences.h"
#include "engine/font/font_encoding.h"
#include "engine/font/font_registry.h"
#include "engine/font/page_text_line_list.h"
#include "engine/render/content/font_renderer.h"
#include "fuzz/fuzz_input.h"

using namespace vistrel;

namespace {

constexpr int kMaxCommands = 4096;
constexpr char16_t kNameChars[] = u"0123456789BCGbcgAEaefijlnoqrt";

struct Widths {
    Widths() {
        // Widths of either sign, some 0; codes past them take none.
        for (int code = 0; code < 200; ++code)
            table.append(double((code * 37) % 11) / 10.0 - 0.2);
    }
    DoubleArray table;
};

class FuzzFont : private Widths, public FontRenderer {
public:
    FuzzFont() : FontRenderer(&table) {}
    bool capturesText() const override { return captures; }
    const WString& defaultEncodingName() const override { return *defaultName; }

    bool captures = true;
    const WString* defaultName = &encodings::StandartEncoding;
};

double number(fuzz::FuzzInput& in) {
    const std::uint16_t w = in.word();
    switch (w) {
        case 0:
            return std::numeric_limits<double>::infinity();
        case 1:
            return -std::numeric_limits<double>::infinity();
        case 2:
            return std::numeric_limits<double>::quiet_NaN();
        case 3:
            return 1e300;
        case 4:
            return -1e300;
        case 5:
            return 1e-300;
        default:
            return (double(w) - 32768.0) / 64.0;
    }
}

void readAll(const TextLineList& list) {
    for (size_t i = 0; i < list.lineCount(); ++i) {
        const TextLine* line = list.line(i);
        (void)line->text();
        TextWordRecord record;
        for (size_t j = 0; line->getWordInfo(j, record); ++j)
            (void)line->wordRange(j);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fontStaticObjects().buildAll();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    Differences renamed;
    for (int n = in.byte() % 16; n > 0; --n) {
        const int code = in.byte();
        char16_t name[9] = {u'/'};
        const int length = in.byte() % 8;
        for (int i = 0; i < length; ++i)
            name[1 + i] = kNameChars[in.byte() % (std::size(kNameChars) - 1)];
        renamed.add(code, WString(name));
    }
    FuzzFont font;
    const std::uint8_t choice = in.byte();
    if (choice % 4 != 3)
        font.setEncoding(new FontEncoding(encodings::StandartEncoding, &renamed));
    font.defaultName = choice / 4 % 3 == 0   ? &encodings::StandartEncoding
                       : choice / 4 % 3 == 1 ? &encodings::WinAnsiEncoding
                                             : &encodings::MacExpertEncoding;
    font.captures = in.byte() % 8 != 0;
    Ref<FontHandle> handle = makeRef<FontHandle>(&font);

    PageTextLineList list;
    for (int command = 0; command < kMaxCommands && in.size() > 0; ++command) {
        switch (in.byte() % 8) {
            case 0: {
                font.setFontSize(number(in));
                font.setCharSpacing(number(in));
                font.setWordSpacing(number(in));
                font.setHorizontalScale(number(in));
                font.setRise(number(in));
                break;
            }
            case 1: {
                const Matrix tm{number(in), number(in), number(in),
                                number(in), number(in), number(in)};
                font.setTextMatrix(tm, nullptr);
                break;
            }
            case 2: {
                const std::uint8_t form = in.byte();
                const bool wide = form % 2 != 0;
                WString text;
                for (int n = in.byte() % 64; n > 0; --n)
                    text.appendChar(wide ? char16_t(in.word()) : char16_t(in.byte()));
                list.addShownText(text, font.textMatrix(), handle.get());
                font.showString(text);
                if (form / 2 % 2 != 0)
                    font.translateTextMatrix(number(in) * font.fontSize() * -0.001, 0.0);
                break;
            }
            case 3: {
                const char16_t code = char16_t(in.word());
                const double x = number(in);
                const double y = number(in);
                const double height = number(in);
                list.addChar(PlacedChar{code, x, y, height, number(in)}, *handle);
                break;
            }
            case 4:
                list.spaceWords();
                break;
            case 5:
                readAll(list);
                break;
            case 6:
                list.clear();
                break;
            default: {
                const Matrix page{number(in), number(in), number(in),
                                  number(in), number(in), number(in)};
                list.setPageMatrix(page);
                break;
            }
        }
    }
    readAll(list);
    return 0;
}
