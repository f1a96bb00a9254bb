// The engine's own outline fonts: compact files in the fonts folder that
// stand in for fonts a document names but does not embed. A file holds an
// optional encoding and every glyph as points packed in small deltas; there
// are no hints and no program to run.
//
// File format (big-endian; "byte" unsigned 8-bit):
//   signature byte 222
//   E (16-bit) encoding entries, each: name length byte, name bytes, code byte
//   G (16-bit) glyphs, each: name length byte, name bytes, P (16-bit) points,
//     min x, max x, min y, max y, advance x, advance y (signed 16-bit each),
//     then P point records
// A point record is a flag byte and 0 to 4 delta bytes. Bits 5-7 of the
// flag give the delta form: 0 one byte, dx its high and dy its low nibble;
// 1 dx byte, dy byte; 2 dx byte, dy 16-bit; 3 dx 16-bit, dy byte; 4 both
// 16-bit; 5 dx byte (dy 0); 6 dy byte (dx 0); 7 no bytes (both 0). Deltas
// are magnitudes: bit 4 makes dx negative, bit 3 dy. Bits 0-2 are the point
// kind: 0 move, 1 line, 2 curve control or end point, 3 close, 4 the kind
// 65535; 5 to 7 refuse the glyph. Each glyph's points start from (0, 0).
#pragma once

#include <cstdint>
#include <memory>

#include "engine/font/differences.h"
#include "engine/font/font_base.h"

namespace vistrel {

class OwnOutlineFont final : public FontBase {
public:
    // The encoding comes from the description when it names a built-in one
    // (with its differences); else from the file.
    OwnOutlineFont(const FontDescription& description, OutputDevice* device);

    // Reads a whole file: every glyph whose name a code of the encoding
    // reaches becomes that code's outline, a copy per code. A wrong
    // signature, or data that ends early, leaves the font unusable.
    bool loadProgram(InputStream* stream) override;

private:
    // The description's differences (none when it has none).
    std::unique_ptr<Differences> differences_;
};

}  // namespace vistrel
