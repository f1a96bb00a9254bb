#include "viewer/app/scrambler.h"

#include <algorithm>

namespace brevant {
namespace {

constexpr int kMaxSymbols = 12;  // 32^12 still fits 64 bits

std::int64_t power32(int exponent) {
    return std::int64_t{1} << (5 * exponent);
}

int digitOf(QChar symbol) {
    for (int d = 0; d < 32; ++d) {
        if (kScrambleAlphabet[d] == symbol.unicode())
            return d;
    }
    return 0;
}

}  // namespace

QString ValueToSymbols(std::int64_t value, int count) {
    QString symbols;
    if (count < 1 || count > kMaxSymbols)
        return symbols;
    symbols.reserve(count);
    std::int64_t b = power32(count - 1);
    for (int i = 0; i < count; ++i) {
        std::int64_t digit = std::clamp<std::int64_t>(value / b, 0, 31);
        symbols.append(QChar(kScrambleAlphabet[digit]));
        value -= digit * b;
        b /= 32;
    }
    return symbols;
}

std::int64_t SymbolsToValue(QStringView symbols, int count) {
    if (count < 1 || count > kMaxSymbols)
        return 0;
    std::int64_t value = 0;
    std::int64_t b = power32(count - 1);
    for (int i = 0; i < count; ++i) {
        int digit = i < symbols.size() ? digitOf(symbols[i]) : 0;
        value += digit * b;
        b /= 32;
    }
    return value;
}

void ScrambleText(QString& text) {
    QString scrambled;
    scrambled.reserve(text.size() * 4);
    for (QChar c : text)
        scrambled += ValueToSymbols(std::uint16_t(c.unicode() ^ kScrambleMask), 4);
    text = scrambled;
}

void UnscrambleText(QString& text) {
    QString plain;
    plain.reserve((text.size() + 3) / 4);
    for (qsizetype i = 0; i < text.size(); i += 4) {
        std::int64_t v = SymbolsToValue(QStringView(text).mid(i, 4), 4);
        plain.append(QChar(char16_t((v % 65536) ^ kScrambleMask)));
    }
    text = plain;
}

}  // namespace brevant
