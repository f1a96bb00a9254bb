#include "viewer/app/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <limits>

namespace brevant {

QStringView trimBlanks(QStringView text) {
    qsizetype first = 0, last = text.size();
    while (first < last && text[first].unicode() <= u' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

std::optional<int> parseDecimalInt(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    const long long limit =
        negative ? -(long long)std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    for (; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return std::nullopt;
    }
    return int(negative ? -value : value);
}

int ParseLeadingInt(const QString& text, int def, bool raiseOnError) {
    const QString s = trimBlanks(text).toString() + u'|';
    // Cut before each non-digit after the first unit; the first run that
    // reads as a number wins.
    for (qsizetype p = 1; p < s.size(); ++p) {
        char16_t c = s[p].unicode();
        if (c >= u'0' && c <= u'9')
            continue;
        if (std::optional<int> n = parseDecimalInt(QStringView(s).left(p)))
            return *n;
    }
    if (raiseOnError)
        throw NumberError();
    return def;
}

QString extendedFloatText(double value) {
    if (!std::isfinite(value))
        value = 0;
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, std::fabs(value),
                                   std::chars_format::scientific, 14)
                         .ptr;
    const std::string_view text(digits, size_t(end - digits));
    const size_t e = text.find('e');
    const int exponent = std::stoi(std::string(text.substr(e + 1)));
    char out[64];
    std::snprintf(out, sizeof out, "%c%.*sE%c%04d", value < 0 ? '-' : ' ', int(e), digits,
                  exponent < 0 ? '-' : '+', std::abs(exponent));
    return QString::fromLatin1(out);
}

}  // namespace brevant
