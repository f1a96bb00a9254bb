// TrueType fonts drawn by the system's fonts: the renderer asks the system
// for a face that fits the requested font (a document's embedded program,
// installed for the time it is used, or a face chosen by name and style) and
// draws every glyph with it, one byte at a time, onto the device's context.
//
// The system font is made for the device size of the text: its height is the
// font size times the length of the text matrix's y axis (the text matrix is
// held in device space), a baseline turned by a quarter or a half turn turns
// the font, and a skewed matrix asks for an italic font. Text reaches the
// system in the ANSI code page: codes are mapped through the font's encoding
// onto the WinAnsi codes of their glyph names.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/font/font_description.h"
#include "engine/render/content/font_renderer.h"
#include "platform/gdi/gdi_font.h"

namespace vistrel {

// The class of a text matrix: how it moves, scales, turns, mirrors and skews.
// Turns and mirrors are told as they look on the page: the device's y axis
// grows downwards, so the matrix is read with that axis turned up.
enum MatrixClass : std::uint32_t {
    kMatrixMoves = 1,            // e or f not 0
    kMatrixScalesX = 2,          // a² + b² not 1
    kMatrixScalesY = 4,          // c² + d² not 1
    kMatrixQuarterTurn = 8,      // the baseline upright
    kMatrixHalfTurn = 16,        // upside down
    kMatrixMirror = 64,          // mirrored about one axis
    kMatrixMirroredTurn = 72,    // a quarter turn, mirrored
    kMatrixSkew = 128,           // anything else that is not upright
};
std::uint32_t matrixClass(const Matrix& m);

class GdiTrueTypeRenderer : public FontRenderer {
public:
    // Finds the system font for the description (see the .cpp); the
    // renderer is usable only when one was found and measured. Attached to
    // the device when one is given.
    GdiTrueTypeRenderer(const TrueTypeFontDescription& description, OutputDevice* device);
    // Deletes the system font; the last user of an installed program
    // withdraws it from the font table and deletes its file.
    ~GdiTrueTypeRenderer() override;

    // True once construction found a font.
    bool isUsable() const override { return font_ || dirty_; }
    // The same face, logical font, code map and encoding, attached to this
    // renderer's device; a copy of a renderer that installed a program is
    // one more user of it.
    std::unique_ptr<DrawableBase> clone() const override;
    bool attachDevice(OutputDevice* device, ContentInterpreter* interpreter) override;

    // Draws the code's byte at the text position (moved by the em-top
    // offset), then advances; render modes 3 and 7 only advance. False
    // without a device.
    bool showGlyph(std::uint16_t code) override;
    // The codes' bytes in one call at the point (the top left of the text).
    bool drawString(const WString& text, IntPoint point) override;
    bool drawGlyph(std::uint16_t code, IntPoint point) override;
    void setCharHeight(double h) override;

    // Measured by the system font in device pixels; 0 without a device.
    std::int32_t roundedWidth(std::uint16_t code) override;
    std::int32_t glyphHeight(std::uint16_t code) override;
    std::int32_t stringWidth(const WString& text) override;
    std::int32_t stringHeight(const WString& text) override;
    // The system font is made again at its next use.
    void refresh() override;
    void setForegroundFrom(const DeviceColor& color) override;

    void setHorizontalScale(double tz) override;
    void setFontSize(double size) override;
    void setTextMatrix(const Matrix& tm, const Matrix* lm) override;
    void setRenderMode(std::int32_t mode) override;

    // "TrueType: <face> " followed by "Italic ", "Bold ", "Underline" and
    // "StrikeOut" as the logical font has them.
    void description(WString& text) const override;
    // The device's fill colour becomes the text colour.
    void fillColorChanged() override;
    // A font that installed a program keeps it until it goes.
    bool isReleasable() const override { return !installed_; }
    // "WinAnsiEncoding".
    const WString& defaultEncodingName() const override;
    // The system font's advance of the code over the device height.
    double programAdvance(std::uint16_t code) override;

    // Makes the system font for the current text matrix and font size when
    // the logical font changed, and works out the em-top offset: from the
    // glyph origin to the top left of the font's text cell, by which the
    // system positions text.
    void selectGdiFont();

    // What the renderer chose, for the cached renderer and for tests.
    const win::LOGFONTA& logFont() const { return logFont_; }
    const WString& face() const { return face_; }
    bool installed() const { return installed_; }
    // The installed program's file, empty when none.
    const WString& filePath() const { return filePath_; }
    double averageWidth() const { return averageWidth_; }
    double maximumWidth() const { return maximumWidth_; }
    std::uint8_t mappedCode(std::uint8_t code) const { return codeMap_[code]; }
    bool dirty() const { return dirty_; }
    bool hasSystemFont() const { return bool(font_); }
    double emTopX() const { return emTopX_; }
    double emTopY() const { return emTopY_; }
    // The height of the system font's text cell, its ascent and descent as
    // the system reports them, in pixels (after selectGdiFont).
    double cellHeight() const { return fontAscent_ + fontDescent_; }

private:
    class Selection;

    GdiTrueTypeRenderer(const GdiTrueTypeRenderer& source);
    // Writes the program into the process's private font folder (or shares
    // the file of an equal program installed already), adds it to the font
    // table and makes the logical font for it. False when there is no
    // program or it cannot be installed.
    bool installEmbeddedTrueType(const TrueTypeFontDescription& description);
    // The system face for the description by the rules of "StrictTTSubst"
    // and "SubstTTWithT1"; false when none is to be had.
    bool chooseSystemFont(const TrueTypeFontDescription& description);
    bool findSystemFont(const TrueTypeFontDescription& description);
    // Average and maximum width, ascent and descent, and the widths when the
    // description has none, from the system font at height 250. False when
    // the font cannot be made or measured.
    bool measure(bool measureWidths);
    void applyFallbackMetrics();
    void buildEncoding(const TrueTypeFontDescription& description);
    // The byte the system draws for a code.
    char byteOf(std::uint16_t code) const;
    std::string bytesOf(const WString& text) const;
    // The extent of bytes drawn in this font (zero when it cannot be measured).
    win::SIZE extentOf(const std::string& bytes);
    void deleteFont();

    win::LOGFONTA logFont_{};
    // The system font and the logical font it was made from.
    win::HFONT font_;
    win::LOGFONTA fontLogFont_{};
    // Its ascent and descent in pixels.
    double fontAscent_ = 0.0;
    double fontDescent_ = 0.0;
    bool dirty_ = false;
    double emTopX_ = 0.0;
    double emTopY_ = 0.0;
    std::array<std::uint8_t, 256> codeMap_{};
    bool installed_ = false;
    WString face_;
    WString filePath_;
    double averageWidth_ = 0.0;
    double maximumWidth_ = 0.0;
    // The face of a program of the same name installed already, whose faces
    // the system search leaves alone.
    std::string shadowingFace_;
    std::uint8_t requestedItalic_ = 0;
    std::int32_t requestedWeight_ = 0;
    // 0x00BBGGRR.
    std::uint32_t textColor_ = 0;
};

}  // namespace vistrel
