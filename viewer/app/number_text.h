// Whole numbers read from text the user or the settings give.
#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <stdexcept>

namespace brevant {

// The text without the blanks and control characters around it (every unit
// up to the space counts as blank, as the settings and edit boxes trim).
QStringView trimBlanks(QStringView text);

// A signed 32-bit decimal: an optional "+" or "-", then digits only.
std::optional<int> parseDecimalInt(QStringView text);

// The error ParseLeadingInt raises; it carries no message.
class NumberError : public std::runtime_error {
public:
    NumberError() : std::runtime_error("") {}
};

// The number at the start of a text ("150%" gives 150, " 42 " 42, "-5 px"
// -5, "3 of 12" 3): blanks and control characters around the text are
// dropped; then, cutting the text before each non-digit from the second
// unit on, the first leading part that reads as a decimal gives the result.
// Without a number: NumberError when raiseOnError, else def.
int ParseLeadingInt(const QString& text, int def, bool raiseOnError);

// A number as the view-state text carries the zoom: a blank or minus sign,
// one digit, a point, 14 digits, "E", the exponent's sign and four digits
// (1.5 gives " 1.50000000000000E+0000").
QString extendedFloatText(double value);

}  // namespace brevant
