// The record texts: each node record as one line of comma-separated fields,
// the form in which the viewer reads and writes them field by field. Numbers
// are "%d" and "%f" in the "C" locale whatever the process locale; texts
// stand between double quotes, a quote inside doubled (a null text gives
// two adjacent quotes).
#pragma once

#include <string>
#include <string_view>

#include "typelib/vistrel_typelib.h"

namespace vistrel {

// x,y,page,zoom,memoryUsage,quality,PalmFormat
std::u16string stateText(const VISTRELLib::DocState& state);
// x,y,x1,y1,toPage,toX,toY
std::u16string linkText(const VISTRELLib::PageLink& link);
// x,y,width,height,color,"caption","text",type
std::u16string annotationText(const VISTRELLib::PageAnnotation& annotation);
// original,"originalName",used,"usedName","encoding"
std::u16string fontInfoText(const VISTRELLib::FontInfo& font);
// x,y,x1,y1,"fontFamily","fontModificator",fontSize
std::u16string wordInfoText(const VISTRELLib::WordInfo& word);

// Field writers: a number, a real in the "%f" form, a quoted text.
void appendNumberField(std::u16string& out, int32_t value);
void appendRealField(std::u16string& out, double value);
void appendQuotedField(std::u16string& out, const char16_t* text, size_t length);
void appendQuotedField(std::u16string& out, VISTRELLib::BSTR text);

// Reads a state text into the record, field by field in text order, each
// stored as soon as it is read. Fields 1 to 6 end at the next ","; the
// seventh is all that follows the sixth ",". A field without its "," or an
// empty field ends the reading: false, with the fields before it stored.
// Integers read as leading blanks, a sign and decimal digits (0 without
// digits), the zoom as a decimal number with optional sign, fraction and
// exponent (0.0 without one).
bool readStateText(std::u16string_view text, VISTRELLib::DocState& state);

// The record readers' numbers (also the stored trees' values).
int32_t readIntegerField(std::u16string_view field);
double readRealField(std::u16string_view field);

}  // namespace vistrel
