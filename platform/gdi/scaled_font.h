// A logical font made real: the face chosen for it, its pixel size, the
// synthetic styles the face lacks, its metrics, and the glyphs it has
// rendered. Internal to the stand-in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/gdi/font_face.h"
#include "platform/gdi/gdi_font.h"

namespace win {
struct DcObject;
struct BitmapObject;
}  // namespace win

namespace win::font {

// Larger fonts are measured but never drawn: sizes come from documents.
constexpr double kMaxPixelSize = 10000;
// Synthetic styles: emboldening by a 24th of the em, and a 12-degree slant.
constexpr double kBoldStrength = 1.0 / 24;
constexpr double kObliqueSlant = 0.21256;

class ScaledFont {
public:
    // Null when no face can be found for the request.
    static std::unique_ptr<ScaledFont> create(const LOGFONTA& lf);

    const TEXTMETRICA& metrics() const { return metrics_; }
    const FaceInfo& faceInfo() const { return face_->info(); }
    // Advance of a byte of text, whole pixels.
    LONG advance(std::uint8_t byte) const { return advances_[byte]; }
    // Draws text with the top left of its cell at (x, y), in `color`, over
    // what the bitmap holds, within the device context's clip region.
    // Answers the rectangle of the pixels it may have changed (empty when
    // none).
    RECT draw(const DcObject& dc, BitmapObject& bm, int x, int y, const std::uint8_t* text,
              std::size_t count, COLORREF color);

    // A glyph in device pixels: outline in 1/64 pixels, y up, relative to
    // the glyph's origin on the baseline, and its box in whole pixels.
    struct Glyph {
        Outline outline;
        long left = 0, bottom = 0, right = 0, top = 0;
        // Coverage over the box, rows from the top: small glyphs keep it
        // from their first draw that cannot go straight into the bitmap.
        std::vector<std::uint8_t> coverage;
        bool small = false;
        // Drawn once without keeping the coverage.
        bool drawn = false;
        bool empty() const { return outline.points.empty(); }
    };

private:
    ScaledFont() = default;
    Glyph& glyph(unsigned index);

    std::shared_ptr<Face> face_;
    double em_ = 0;     // pixels
    double scale_ = 0;  // pixels per font unit
    bool drawable_ = false;
    bool bold_ = false;
    bool oblique_ = false;
    bool underline_ = false;
    bool strikeout_ = false;
    double cos_ = 1, sin_ = 0;  // baseline direction, counter-clockwise
    TEXTMETRICA metrics_{};
    std::array<LONG, 256> advances_{};
    std::unordered_map<unsigned, Glyph> glyphs_;
};

}  // namespace win::font
