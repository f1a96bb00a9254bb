#include "viewer/app/number_text.h"

#include <limits>

namespace brevant {

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
    // Trimmed as the settings and edit boxes trim: every unit up to the
    // space counts as blank.
    qsizetype first = 0, last = text.size();
    while (first < last && text[first].unicode() <= u' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= u' ')
        --last;
    const QString s = text.mid(first, last - first) + u'|';
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

}  // namespace brevant
