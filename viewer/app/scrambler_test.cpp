#include "viewer/app/scrambler.h"

#include <gtest/gtest.h>

namespace brevant {
namespace {

QString scrambled(QString text) {
    ScrambleText(text);
    return text;
}

QString unscrambled(QString text) {
    UnscrambleText(text);
    return text;
}

TEST(Scrambler, WorkedVectors) {
    const std::pair<QString, QString> cases[] = {
        {"1", "KF7K"},
        {"0", "KF7M"},
        {"100", "KF7KKF7MKF7M"},
        {"", ""},
    };
    for (const auto& [plain, symbols] : cases) {
        EXPECT_EQ(scrambled(plain), symbols) << plain.toStdString();
        EXPECT_EQ(unscrambled(symbols), plain) << symbols.toStdString();
    }
}

TEST(Scrambler, AnyUtf16TextComesBack) {
    const QString texts[] = {
        QString::fromUtf16(u"C:\\Dokumente\\Grüße\\файл 1.pdf\r\nD:\\𝄞.pdf"),
        QString(QChar(0xFFFF)) + QChar(0x0000) + QChar(0x4C71) + QChar(0xD800),
    };
    for (const QString& text : texts) {
        QString s = scrambled(text);
        EXPECT_EQ(s.size(), text.size() * 4);
        for (QChar c : s)
            EXPECT_NE(QStringView(kScrambleAlphabet).indexOf(c), -1);
        EXPECT_EQ(unscrambled(s), text);
    }
}

TEST(Scrambler, TextNotWrittenByTheScrambler) {
    // A short last group reads its missing symbols as 0 ('K'), so "KF7"
    // is "KF7K"; symbols outside the alphabet count as 0 too.
    EXPECT_EQ(unscrambled("KF7"), "1");
    EXPECT_EQ(unscrambled("yes"), unscrambled("KKKK"));
    EXPECT_EQ(unscrambled("hello").size(), 2);
    EXPECT_NE(unscrambled("hello"), "hello");
}

TEST(Scrambler, Symbols) {
    EXPECT_EQ(ValueToSymbols(0, 4), "KKKK");
    EXPECT_EQ(ValueToSymbols(32 * 32 * 32 * 32 - 1, 4), "AAAA");
    EXPECT_EQ(ValueToSymbols(40, 1), "A");  // a digit above 31 is written as 31
    EXPECT_EQ(ValueToSymbols(-5, 2), "KK");
    EXPECT_EQ(SymbolsToValue(u"AAAA", 4), 32 * 32 * 32 * 32 - 1);
    EXPECT_EQ(SymbolsToValue(u"MK", 2), 32);
    EXPECT_EQ(SymbolsToValue(u"M", 2), 32);  // missing symbols are 0
    EXPECT_EQ(SymbolsToValue(u"?M", 2), 1);
}

}  // namespace
}  // namespace brevant
