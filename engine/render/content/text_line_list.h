// The text lines a page render collects for search: every string the text
// operators show is handed here before the font draws it. Only the
// operations page rendering calls are declared here; the text code
// implements them.
#pragma once

#include "engine/core/wstring.h"

namespace vistrel {

class FontHandle;
struct Matrix;

class TextLineList {
public:
    virtual ~TextLineList() = default;

    // Destroys every line.
    virtual void clear() = 0;
    // Puts one space between the words of every line.
    virtual void spaceWords() = 0;
    // Records a shown string: its 16-bit codes, a copy of the font's text
    // matrix (device terms) to advance, and the font.
    virtual void addShownText(const WString& text, const Matrix& textMatrix, FontHandle* font) = 0;
};

// Makes the list a page keeps for its shown text (null when memory runs
// out); the page destroys it through its virtual destructor. The text code
// installs its own; until then pages get a list that records nothing.
using TextLineListFactory = TextLineList* (*)();
// Installs a factory (null brings the one that records nothing back) and
// returns the one it replaces.
TextLineListFactory setTextLineListFactory(TextLineListFactory factory);
TextLineList* newTextLineList();

}  // namespace vistrel
