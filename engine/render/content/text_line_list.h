// The text a page render collects for search: every string the text
// operators show is handed to the page's list before the font draws it, and
// the lines and their words are read once the page is finished. The font
// layer makes the lists (page_text_line_list.h there) and installs their
// factory with its static objects; this is what the page renderer, the
// interpreter and the page see of them.
#pragma once

#include <cstddef>

#include "engine/core/wstring.h"

namespace vistrel {

class FontHandle;
class TextLine;
struct Matrix;

class TextLineList {
public:
    virtual ~TextLineList() = default;

    // Destroys every line.
    virtual void clear() = 0;
    // Puts one space between the words of every line.
    virtual void spaceWords() = 0;
    // The matrix from page space to device pixels of the page about to be
    // captured: the lines of text that runs along the page's own lines come
    // first. Nothing for a list that keeps no lines.
    virtual void setPageMatrix(const Matrix&) {}
    // Records a shown string: its 16-bit codes, a copy of the font's text
    // matrix (device terms) to advance, and the font.
    virtual void addShownText(const WString& text, const Matrix& textMatrix, FontHandle* font) = 0;

    // The lines by ascending y (the order among equal y is not defined);
    // a list that keeps no lines has none.
    virtual size_t lineCount() const { return 0; }
    // Null at or past the line count.
    virtual const TextLine* line(size_t) const { return nullptr; }
};

// Makes the list a page keeps for its shown text (null when memory runs
// out); the page destroys it through its virtual destructor. Until the font
// layer installs its own, pages get a list that records nothing.
using TextLineListFactory = TextLineList* (*)();
// Installs a factory (null brings the one that records nothing back) and
// returns the one it replaces.
TextLineListFactory setTextLineListFactory(TextLineListFactory factory);
TextLineList* newTextLineList();

}  // namespace vistrel
