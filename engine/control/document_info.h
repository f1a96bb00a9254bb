// What a document says about itself: the texts of its information
// dictionary (/Info), with its two dates made readable, and its security
// state, each also as the one-line record text the viewer reads.
#pragma once

#include <string>

#include "engine/core/wstring.h"
#include "typelib/vistrel_typelib.h"

namespace vistrel {

class PdfDict;
class PdfDocument;

// Replaces a PDF date text (D:YYYYMMDDHHmmSSOHH'mm') by its readable form,
// "09 Feb 1999 15:39:25 GMT-08:00": day, month name, year, time and zone.
// The parts after the first field the text leaves out stay empty with
// their separating blanks ("09 Feb 1999  " for a date of year, month and
// day); the zone shows only for '+' and '-' with an hour. A text that is no
// PDF date is left as it is.
void formatPdfDate(WString& date);

// Fills the record from an information dictionary: each field a new text of
// its entry when that is a string of at least one character (references
// followed), else null; the two dates go through formatPdfDate. Every field
// is set (null or a new text); the caller frees them.
void readDocInfo(PdfDict& info, VISTRELLib::DocInfo& record);
// Frees the record's texts and nulls them.
void clearDocInfo(VISTRELLib::DocInfo& record);

// The security record of a document: all zeros unless its trailer's
// /Encrypt is a dictionary; then encrypted and the bits of the permission
// word (0 user password, 1 owner password, 2 print, 3 change, 4 copy,
// 5 change annotations, 15 opened with the owner password).
VISTRELLib::SecurityInfo securityInfoOf(const PdfDocument& document);

// "title","subject",... : the eight fields quoted (a null field as two
// quotes, quotes inside doubled), separated by commas.
std::u16string docInfoText(const VISTRELLib::DocInfo& record);
// 1,0,1,1,0,0,0,0 : the eight fields in decimal.
std::u16string securityInfoText(const VISTRELLib::SecurityInfo& record);

}  // namespace vistrel
