// The scrambled text form of the stored settings: every 16-bit unit of a text,
// masked with 0x4C71, is written as four symbols of a 32-symbol alphabet (a
// base-32 number, most significant symbol first), so stored values are not
// readable as plain text.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace brevant {

// The alphabet; symbol d stands for the base-32 digit d.
inline constexpr char16_t kScrambleAlphabet[] = u"KM7PX2QR9TV4WY3BC8DF5GH6JN0LZ1SA";
inline constexpr std::uint16_t kScrambleMask = 0x4C71;

// Writes value as count symbols, most significant first; a digit above 31
// is written as 31 (and one below 0 as 0). count is at most 12.
QString ValueToSymbols(std::int64_t value, int count);

// Reads count symbols back into a value; a symbol outside the alphabet (or
// missing from the end of symbols) counts as digit 0.
std::int64_t SymbolsToValue(QStringView symbols, int count);

// Scrambles text in place: four symbols per unit, an empty text stays empty.
void ScrambleText(QString& text);

// Unscrambles text in place, four symbols at a time; a last group of fewer
// symbols reads the missing ones as 0. A text that was never scrambled
// turns into some other text of a quarter of its length, rounded up.
void UnscrambleText(QString& text);

}  // namespace brevant
