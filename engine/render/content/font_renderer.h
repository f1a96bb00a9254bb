// The font object as the content interpreter drives it: the text state is
// copied into the font, which keeps its text and line matrices in device
// terms (the interpreter hands in matrices that already include the current
// transformation). Only the operations the interpreter calls are declared
// here; the font code completes the class.
#pragma once

#include <cstdint>

namespace vistrel {

class OutputDevice;
struct Matrix;

class FontRenderer {
public:
    virtual ~FontRenderer() = default;

    // Keeps the device and takes its colours; false when a device is
    // already attached or none is given. The flag is not used.
    virtual bool attachDevice(OutputDevice* device, int flag) = 0;
    // Gives the device back; false when none is attached.
    virtual bool detachDevice() = 0;

    virtual void setCharSpacing(double tc) = 0;
    virtual void setWordSpacing(double tw) = 0;
    // In percent.
    virtual void setHorizontalScale(double tz) = 0;
    virtual void setLeading(double tl) = 0;
    virtual void setFontSize(double size) = 0;
    virtual void setRenderMode(std::int32_t mode) = 0;
    virtual void setRise(double ts) = 0;
    // Text matrix := tm; line matrix := lm, or tm when lm is null.
    virtual void setTextMatrix(const Matrix& tm, const Matrix* lm) = 0;

    // The line matrix moves by (tx, ty) in its own space and the text matrix
    // becomes a copy of it.
    virtual void moveText(double tx, double ty) = 0;
    // moveText (0, -leading).
    virtual void nextLine() = 0;

    // Told after the interpreter's fill or stroke colour changed.
    virtual void fillColorChanged() = 0;
    virtual void strokeColorChanged() = 0;
};

}  // namespace vistrel
