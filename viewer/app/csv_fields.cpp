#include "viewer/app/csv_fields.h"

#include "viewer/app/number_text.h"

namespace brevant {

QString GetCsvField(const QString& text, int n) {
    if (text.isEmpty() || n < 1)
        return {};
    const QString s = text + u',';
    int counter = 1;
    qsizetype start = 0;
    bool outsideQuotes = true;
    QString field;
    bool found = false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'"') {
            outsideQuotes = !outsideQuotes;
        } else if (s[i] == u',' && outsideQuotes) {
            if (counter == n) {
                field = s.mid(start, i - start);
                found = true;
                break;
            }
            ++counter;
            start = i + 1;
        }
    }
    if (!found)
        return {};
    if (field.size() > 1 && field.front() == u'"' && field.back() == u'"')
        field = field.mid(1, field.size() - 2);
    ReplaceAllText(field, QStringLiteral("\"\""), QStringLiteral("\""));
    ReplaceAllText(field, QStringLiteral("\r"), QStringLiteral("\r\n"));
    ReplaceAllText(field, QStringLiteral("\n\n"), QStringLiteral("\n"));
    return field;
}

QString SetCsvField(const QString& text, int n, const QString& value) {
    if (text.isEmpty() || n < 1)
        return text;
    // Prefix: up to and including comma n - 1 (commas are added when the
    // text has fewer).
    qsizetype prefixEnd = 0;
    QString missing;
    for (int commas = 0; commas < n - 1; ++commas) {
        qsizetype comma = text.indexOf(u',', prefixEnd);
        if (comma < 0) {
            missing = QString(n - 1 - commas, u',');
            prefixEnd = text.size();
            break;
        }
        prefixEnd = comma + 1;
    }
    // Rest: from the comma that ends the replaced field.
    qsizetype restStart = missing.isEmpty() ? text.indexOf(u',', prefixEnd) : -1;
    QString rest = restStart < 0 ? QString() : text.mid(restStart);
    return text.left(prefixEnd) + missing + value + rest;
}

void ReplaceAllText(QString& text, const QString& find, const QString& replacement) {
    if (find.isEmpty())
        return;
    QString out;
    qsizetype from = 0;
    for (qsizetype at; (at = text.indexOf(find, from)) >= 0; from = at + find.size()) {
        out += QStringView(text).mid(from, at - from);
        out += replacement;
    }
    out += QStringView(text).mid(from);
    text = out;
}

int GetCsvInt(const QString& text, int n) {
    return parseDecimalInt(GetCsvField(text, n).trimmed()).value_or(0);
}

}  // namespace brevant
