// The engine's record texts (view state, link, annotation, font, document
// and security information) are comma-separated fields, numbered from 1.
#pragma once

#include <QString>

namespace brevant {

// Field n of text. A double quote toggles quoting wherever it stands, and
// commas inside quotes do not end a field. One pair of quotes around the
// whole field is removed; then "" becomes ", a CR becomes CR LF and LF LF
// becomes LF. Empty when n is below 1 or text has fewer than n fields.
QString GetCsvField(const QString& text, int n);

// Field n read as a whole number; 0 when missing or not a number.
int GetCsvInt(const QString& text, int n);

// text with field n replaced by value, inserted as given. Every comma
// counts (view-state texts hold numbers only). An empty text stays empty;
// for n past the last field the missing empty fields are added.
QString SetCsvField(const QString& text, int n, const QString& value);

// Replaces every occurrence of find in text, left to right; occurrences do
// not overlap and inserted text is not searched again. An empty find
// changes nothing.
void ReplaceAllText(QString& text, const QString& find, const QString& replacement);

}  // namespace brevant
