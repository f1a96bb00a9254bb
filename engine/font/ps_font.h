// The base of the outline fonts read from a PostScript-style font program
// (Type 1, and the compact form): an operand stack for the charstring
// interpreter and the reader of the whole program, parseProgram, that the
// subclass supplies.
#pragma once

#include "engine/font/font_base.h"
#include "engine/font/operand_stack.h"

namespace vistrel {

class PsFont : public FontBase {
public:
    PsFont(const FontDescription& description, OutputDevice* device)
        : FontBase(description, device) {}

    // With a stream, reads the program through parseProgram; the font is
    // loaded when that succeeds. False without a stream.
    bool loadProgram(InputStream* stream) override;
    // Reads the whole program into the outline cache; true on success.
    virtual bool parseProgram(InputStream* stream) = 0;

    OperandStack& operands() { return operands_; }

private:
    OperandStack operands_;
};

}  // namespace vistrel
