#include "viewer/app/csv_fields.h"

#include <gtest/gtest.h>

namespace brevant {
namespace {

TEST(CsvFields, GetCsvField) {
    // An annotation record as the engine writes it: a text field with a
    // comma, doubled quotes and line ends inside.
    const QString note = "10,20,30,40,\"Title, here\",\"He said \"\"hi\"\".\rNext\n\nEnd\",2";
    struct Case {
        QString text;
        int n;
        QString expected;
    };
    const Case cases[] = {
        {"1,2,3", 1, "1"},
        {"1,2,3", 2, "2"},
        {"1,2,3", 3, "3"},
        {"1,2,3", 4, ""},
        {"1,2,3", 0, ""},
        {"1,2,3", -1, ""},
        {"", 1, ""},
        {"a,\"b,c\",d", 2, "b,c"},
        {"a,\"b,c\",d", 3, "d"},
        {"\"say \"\"hi\"\"\",x", 1, "say \"hi\""},
        {"\"\"", 1, ""},                    // a quoted empty field
        {"\"", 1, ""},                      // an unclosed quote runs to the end
        {"a,\"b,c", 2, ""},                 // ... so the field never ends
        {"ab\"c,d\"e,f", 1, "ab\"c,d\"e"},  // quotes inside a field only toggle
        {"ab\"c,d\"e,f", 2, "f"},
        {"x,", 2, ""},
        {"a\rb,c", 1, "a\r\nb"},
        {"a\r\nb", 1, "a\r\nb"},
        {"a\n\nb", 1, "a\nb"},
        {"a\n\n\nb", 1, "a\n\nb"},
        {note, 5, "Title, here"},
        {note, 6, "He said \"hi\".\r\nNext\nEnd"},
        {note, 7, "2"},
        {note, 8, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetCsvField(c.text, c.n), c.expected) << c.text.toStdString() << " field " << c.n;
}

TEST(CsvFields, SetCsvField) {
    const QString state = "10,20,3,1.5,4,4,0";
    struct Case {
        QString text;
        int n;
        QString value;
        QString expected;
    };
    const Case cases[] = {
        {state, 7, "16", "10,20,3,1.5,4,4,16"},
        {state, 1, "5", "5,20,3,1.5,4,4,0"},
        {state, 4, "0.25", "10,20,3,0.25,4,4,0"},
        {"1,2,", 3, "x", "1,2,x"},
        {"", 1, "5", ""},
        {"", 3, "5", ""},
        {"1,2,3", 0, "x", "1,2,3"},
        // Past the last field the missing fields are added empty.
        {"1,2,3", 4, "x", "1,2,3,x"},
        {"1,2,3", 6, "x", "1,2,3,,,x"},
        // Quotes are not considered.
        {"1,\"a,b\",3", 3, "x", "1,\"a,x,3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetCsvField(c.text, c.n, c.value), c.expected)
            << c.text.toStdString() << " field " << c.n;
}

TEST(CsvFields, ReplaceAllText) {
    struct Case {
        QString text, find, replacement, expected;
    };
    const Case cases[] = {
        {"aaa", "aa", "b", "ba"},    // occurrences do not overlap
        {"abc", "b", "bb", "abbc"},  // inserted text is not searched again
        {"abab", "ab", "", ""},
        {"abc", "", "x", "abc"},  // nothing to find
        {"\r\r", "\r", "\r\n", "\r\n\r\n"},
    };
    for (const Case& c : cases) {
        QString text = c.text;
        ReplaceAllText(text, c.find, c.replacement);
        EXPECT_EQ(text, c.expected) << c.text.toStdString();
    }
}

}  // namespace
}  // namespace brevant
