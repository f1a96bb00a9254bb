// The base class of every font object. It holds the text state of one font
// in use, measures glyphs from the font's widths, advances the text position
// glyph by glyph and draws on the device attached to it; subclasses draw the
// glyphs themselves.
//
// The text and line matrices are held in device terms: the interpreter hands
// in matrices that already include the current transformation. The text
// rendering matrix is derived from them and the text state
// (updateRenderingMatrix).
//
// The content interpreter drives the text state through the setters, in the
// order its operators run; when Tf makes a font current it calls
// attachDevice, setWordSpacing, setCharSpacing, setLeading,
// setHorizontalScale, setRenderMode, setRise, setFontSize, setTextMatrix and
// fillColorChanged.
#pragma once

#include <cstdint>

#include "engine/core/allocator.h"
#include "engine/core/containers.h"
#include "engine/core/wstring.h"
#include "engine/object/pdf_object.h"
#include "engine/render/raster/drawable_base.h"
#include "engine/render/raster/geometry.h"

namespace vistrel {

class ContentInterpreter;
class DeviceColor;
class FontEncoding;
class OutputDevice;

// x rounded half away from zero to a 32-bit integer; results beyond the
// 32-bit range are clamped to it and NaN gives 0.
std::int32_t roundToInt32(double x);

class FontRenderer : public DrawableBase {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // The widths per character code are copied (none: the widths stay
    // empty). With a device the font is attached to it at once.
    explicit FontRenderer(const DoubleArray* widths = nullptr, OutputDevice* device = nullptr);
    FontRenderer(const FontRenderer&) = delete;
    FontRenderer& operator=(const FontRenderer&) = delete;
    // Destroys the colours and the encoding; the device is not touched.
    ~FontRenderer() override;

    // No copy: only the fonts that can be copied answer one.
    std::unique_ptr<DrawableBase> clone() const override { return nullptr; }
    // The font's encoding, or null.
    virtual FontEncoding* encoding() const { return encoding_; }

    // Keeps the device and takes three colours from it: the foreground
    // (black), the background (white) and a scratch colour. False, and
    // nothing changes, when a device is attached already or none is given.
    // The interpreter showing text with the font (may be null) is for fonts
    // that draw through it; the base does not use it.
    virtual bool attachDevice(OutputDevice* device, ContentInterpreter* interpreter);
    // Forgets the device and destroys the three colours; false when none is
    // attached.
    virtual bool detachDevice();
    // Gives memory back (level 0 some, -1 all); true when something was
    // freed. The base holds nothing to free.
    virtual bool trimCache(int level);

    // Td: the line matrix moves by (tx, ty) in its own space and the text
    // matrix becomes a copy of it.
    virtual void moveText(double tx, double ty);
    // T*: moveText (0, -leading).
    virtual void nextLine();
    // Moves the text matrix alone by (tx, ty) in its own space (the numbers
    // of TJ).
    virtual void translateTextMatrix(double tx, double ty);

    // Shows a string of 16-bit codes: below 6.0 device pixels, and when the
    // font allows it, as one light bar; otherwise glyph by glyph, each space
    // (code 32) followed by the word spacing. False when a glyph could not
    // be drawn: the text position then stands after the glyphs shown.
    virtual bool showString(const WString& text);
    // Draws nothing and advances the text position by the glyph's width
    // (times the font size, with the horizontal scale) plus the character
    // spacing; true.
    virtual bool showGlyph(std::uint16_t code);
    // Draws the codes at a device position, the pen moving right by each
    // rounded width; the text state does not change. False when a glyph
    // could not be drawn.
    virtual bool drawString(const WString& text, IntPoint point);
    // Draws nothing; true.
    virtual bool drawGlyph(std::uint16_t code, IntPoint point);
    // Font size := ascent x h.
    virtual void setCharHeight(double h);

    // The width of a code in text space, without the font size:
    // widths[code] x Tz / 100, or the program's advance for a code beyond
    // the widths.
    virtual double glyphWidth(std::uint16_t code);
    // glyphWidth x device height, rounded.
    virtual std::int32_t roundedWidth(std::uint16_t code);
    // The device height.
    virtual std::int32_t glyphHeight(std::uint16_t code);
    // The sum of the rounded widths of the codes.
    virtual std::int32_t stringWidth(const WString& text);
    // The largest glyph height of the codes; 0 for an empty string.
    virtual std::int32_t stringHeight(const WString& text);

    // The font size in device pixels.
    virtual double deviceSize() const { return deviceSize_; }
    // The device size over the ascent, rounded.
    virtual std::int32_t deviceHeight() const { return deviceHeight_; }
    virtual double descent() const { return descent_; }
    virtual double ascent() const { return ascent_; }
    virtual double fontSize() const { return fontSize_; }
    // In percent.
    virtual double horizontalScale() const { return horizontalScale_; }
    virtual double rise() const { return rise_; }
    virtual double wordSpacing() const { return wordSpacing_; }
    virtual double charSpacing() const { return charSpacing_; }
    // Makes the font's system resources anew; nothing in the base.
    virtual void refresh() {}

    // Take the RGB value of a colour of the graphics state as the
    // foreground, respectively background, colour.
    virtual void setForegroundFrom(const DeviceColor& color);
    virtual void setBackgroundFrom(const DeviceColor& color);
    // Whether the strings this font shows are collected as text.
    virtual bool capturesText() const { return true; }
    // Whether small text may be drawn as a bar.
    virtual bool allowsTextBar() const { return true; }

    virtual void setCharSpacing(double tc);
    virtual void setWordSpacing(double tw);
    // In percent; recomputes the rendering matrix (not the device height).
    virtual void setHorizontalScale(double tz);
    virtual void setLeading(double tl);
    // Recomputes the device height and the rendering matrix.
    virtual void setFontSize(double size);
    // Text matrix := tm; line matrix := lm, or tm when lm is null; then the
    // device height and the rendering matrix are recomputed.
    virtual void setTextMatrix(const Matrix& tm, const Matrix* lm);
    // The operand of Tr, as it is: of the PDF modes, 3 and 7 draw nothing.
    virtual void setRenderMode(std::int32_t mode);
    // Recomputes the rendering matrix.
    virtual void setRise(double ts);

    virtual const Matrix& renderingMatrix() const { return renderingMatrix_; }
    virtual const Matrix& textMatrix() const { return textMatrix_; }
    virtual const Matrix& lineMatrix() const { return lineMatrix_; }

    // Writes the font's description for the font information; the base
    // writes nothing.
    virtual void description(WString& text) const;
    // The attached device, or null.
    virtual OutputDevice* device() const { return device_; }
    // Told after the interpreter's stroke or fill colour changed.
    virtual void strokeColorChanged() {}
    virtual void fillColorChanged() {}
    // Whether the registry may take the font from its handles.
    virtual bool isReleasable() const { return true; }
    // Reads the engine settings the font depends on; nothing in the base.
    virtual void readOptions() {}
    // The built-in encoding the text collector falls back on:
    // "StandartEncoding".
    virtual const WString& defaultEncodingName() const;

    // Advances over the string like showString and draws one rectangle in a
    // lightened stroke colour from the start to the end of the advance
    // (render modes 3 and 7: nothing), upwards from the baseline by the
    // ascent when the advance is horizontal.
    virtual void showStringAsBar(const WString& text);
    // Fills the rectangle (x, y, width, device height) in the background
    // colour.
    virtual void clearBox(std::int32_t x, std::int32_t y, std::int32_t width);
    // Trm from the text state and the text matrix (a b c d e f):
    // [A a, A b, size c, size d, rise c + e, rise d + f], A = Tz x size / 100.
    virtual void updateRenderingMatrix();
    // Device size := font size x |(c, d)| of the text matrix; device height
    // := device size / ascent, rounded (0 without a positive ascent).
    virtual void updateDeviceHeight();
    // The advance of a code the widths do not cover, from the font program;
    // 0 in the base.
    virtual double programAdvance(std::uint16_t code);

    // Not operations of their own: the remaining text state as it is.
    std::int32_t renderMode() const { return renderMode_; }
    double leading() const { return leading_; }
    const DoubleArray& widths() const { return widths_; }

    // Takes over the encoding (null: none). The encoding classes live above
    // this library, so the font keeps the way to destroy one with it.
    template <class Encoding>
    void setEncoding(Encoding* encoding) {
        destroyEncoding();
        encoding_ = encoding;
        encodingDeleter_ = [](FontEncoding* e) { delete static_cast<Encoding*>(e); };
    }

protected:
    // The colours made on attach; null while detached.
    DeviceColor* foreground() const { return foreground_; }
    DeviceColor* background() const { return background_; }
    DeviceColor* scratch() const { return scratch_; }
    void setAscent(double ascent) { ascent_ = ascent; }
    void setDescent(double descent) { descent_ = descent; }
    void setDeviceSize(double size) { deviceSize_ = size; }
    // The widths for a subclass that measures them after construction.
    DoubleArray& widthsForUpdate() { return widths_; }

private:
    // Moves the text matrix by tx along its own x axis.
    void advance(double tx);
    // Fills a rectangle of the device in a colour, the device's colours
    // kept.
    void fillInColor(const IntRect& rect, const DeviceColor& color);
    void destroyColors();
    void destroyEncoding();

    double charSpacing_ = 0.0;
    double wordSpacing_ = 0.0;
    double horizontalScale_ = 100.0;
    double leading_ = 0.0;
    double fontSize_ = 1.0;
    double rise_ = 0.0;
    Matrix textMatrix_;
    Matrix lineMatrix_;
    Matrix renderingMatrix_;
    std::int32_t renderMode_ = 0;
    OutputDevice* device_ = nullptr;
    DeviceColor* foreground_ = nullptr;
    DeviceColor* background_ = nullptr;
    DeviceColor* scratch_ = nullptr;
    DoubleArray widths_;
    double deviceSize_ = 0.0;
    double ascent_ = 0.0;
    double descent_ = 0.0;
    std::int32_t deviceHeight_ = 0;
    FontEncoding* encoding_ = nullptr;
    void (*encodingDeleter_)(FontEncoding*) = nullptr;
};

}  // namespace vistrel
