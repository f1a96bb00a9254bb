// The drawn glyphs of a Type 3 font whose glyph procedures draw one image
// mask in line and nothing else, as bitmap fonts are written (a "d1" glyph,
// "q", "cm", "BI" ... "ID" data "EI", "Q"). Such a glyph is the same stencil
// wherever it is shown at the same size: the device image its first drawing
// made is kept, per code and per the whole-pixel edges the image gets on the
// device, and blitted again in the fill colour of each later showing. The
// image is placed by its rounded origin, so every showing whose edges round
// alike draws exactly the pixels its procedure would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/content/raster_image.h"
#include "engine/render/raster/geometry.h"

namespace vistrel {

class ContentInterpreter;
struct KeptImage;

class Type3GlyphCache {
public:
    // Kept images of one font take at most this many bytes, and one code
    // keeps at most kMaxPlacements of them.
    static constexpr std::size_t kMaxBytes = std::size_t{8} << 20;
    static constexpr std::size_t kMaxPlacements = 8;
    // Procedures longer than this are not looked at.
    static constexpr std::size_t kMaxProcedureBytes = std::size_t{1} << 20;

    // Whether the content is "d1" with six numbers, then only "q" and "Q"
    // (balanced), "cm" with six numbers and exactly one inline image: an
    // image mask (/IM true, 1 bit, /D [0 1] or [1 0]) of /W x /H in whole
    // numbers, with no other key (no filter), whose data holds exactly its
    // rows and is followed by "EI". No comments; numbers in plain notation.
    static bool isStencilProcedure(const std::uint8_t* data, std::size_t size);

    Type3GlyphCache();
    ~Type3GlyphCache();
    Type3GlyphCache(const Type3GlyphCache&) = delete;
    Type3GlyphCache& operator=(const Type3GlyphCache&) = delete;

    // The code's glyph procedure, found by lookup(code) on the first call
    // and remembered (null included).
    template <class Lookup>
    Ref<PdfStream> procedure(std::uint16_t code, Lookup lookup) {
        Entry& entry = entries_[code];
        if (!entry.looked) {
            entry.procedure = lookup(code);
            entry.looked = true;
        }
        return entry.procedure;
    }

    // Whether the code's procedure draws only an image mask (read once).
    bool isStencil(std::uint16_t code, PdfStream& procedure);

    // Draws the code's kept image where its procedure, run under the
    // interpreter's base matrix (glyph space to device), would draw it:
    // charges the work the first run cost, then hands the graphics state to
    // the device again as the end of the procedure's run does, outerBase (the
    // base matrix outside the glyph) set again first. False when no kept image has the edges this
    // showing gives (the caller runs the procedure), when the interpreter
    // traces its steps or would not draw the image as it is kept (images not
    // shown, a pattern fill colour, no device).
    bool draw(std::uint16_t code, const Matrix& outerBase, ContentInterpreter& in);

    // Keeps the one image a run of the code's procedure under base drew,
    // when it is upright on the device and the run placed it by
    // kept.ctm x base; `work` is what the run charged.
    void keep(std::uint16_t code, const Matrix& base, KeptImage& kept, std::uint64_t work);

    // Images kept, and showings drawn from them.
    std::size_t keptImages() const { return keptImages_; }
    std::size_t drawnFromKept() const { return drawnFromKept_; }

private:
    // An image's device edges (A, B, C, D) and rounded origin, as the image
    // code computes them from the device matrix.
    struct Placement {
        std::int64_t edges[4];
        IntPoint origin;
    };
    struct Kept {
        Placement placement;
        // As made, and the copy each showing draws (a clipped draw changes
        // it).
        std::unique_ptr<RasterImage> made, drawn;
    };
    struct Entry {
        bool looked = false;
        Ref<PdfStream> procedure;
        // 0 not read yet, 1 a stencil procedure, -1 any other.
        std::int32_t stencil = 0;
        Matrix ctm;
        std::uint64_t work = 0;
        std::vector<Kept> kept;
    };

    // False when the matrix does not place an image upright (or too far out
    // for whole-pixel shifts).
    static bool placementOf(const Matrix& m, Placement& out);

    std::unordered_map<std::uint16_t, Entry> entries_;
    std::size_t bytes_ = 0;
    std::size_t keptImages_ = 0;
    std::size_t drawnFromKept_ = 0;
};

}  // namespace vistrel
