#include "engine/parser/object_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/parser/pdf_document.h"

namespace vistrel {
namespace {

std::string typeNameOf(const PdfObject* o) {
    return o ? o->typeName().toLatin1() : "(end)";
}

// The type names of the objects a parser queue yields, up to its first end
// entry (at most 20).
std::vector<std::string> drain(ObjectParser& parser) {
    std::vector<std::string> out;
    for (int i = 0; i < 20; ++i) {
        PdfObject* o = parser.entryAt(i);
        if (!o)
            break;
        out.push_back(typeNameOf(o));
    }
    return out;
}

// A document over text in memory, for its parser. The document finds no
// cross-reference table and stays valid; its stream is rewound for parsing.
struct DocumentText {
    explicit DocumentText(std::string t)
        : text(std::move(t)), stream(text.data(), text.size()), document(&stream, true) {
        stream.seek(0);
    }
    ObjectParser& parser() { return *document.parser(); }

    std::string text;
    MemoryInputStream stream;
    PdfDocument document;
};

struct PlainText {
    explicit PlainText(std::string t)
        : text(std::move(t)),
          stream(text.data(), text.size()),
          tokenizer(&stream),
          parser(&tokenizer) {}
    std::string text;
    MemoryInputStream stream;
    Tokenizer tokenizer;
    ObjectParser parser;
};

using Names = std::vector<std::string>;

TEST(ObjectParserTest, PlainAndDocumentParsers) {
    struct Case {
        const char* input;
        Names plain;
        Names document;
    } cases[] = {
        {"[1 2 R]", {"[1, 2, R]"}, {"[REF 1]"}},
        {"[1 2 3 R]", {"[1, 2, 3, R]"}, {"[1, REF 2]"}},
        {"1 2 R 4", {"1", "2", "R", "4"}, {"REF 1", "4"}},
        // Only the first two of a run must be integers; a real in the run
        // moves on like one and the reference takes the integer part.
        {"[1 2 3.7 0 R]", {"[1, 2, 3.700000, 0, R]"}, {"[1, 2, REF 3]"}},
        {"[1.5 2 R]", {"[1.500000, 2, R]"}, {"[1.500000, 2, R]"}},
        {"[1 /A 2 R]", {"[1, /A, 2, R]"}, {"[1, /A, 2, R]"}},
        // The end of the stream ends every open array.
        {"[1 2", {"[1, 2]"}, {"[1, 2]"}},
        {"[[1 [2", {"[[1, [2]]]"}, {"[[1, [2]]]"}},
        // Any token that parses to no object ends the array, and is consumed.
        {"[1 >> 2 ] 3", {"[1]", "2"}, {"[1]", "2"}},
        {"[1 } 2", {"[1]", "2"}, {"[1]", "2"}},
        {"true false null /N#41 (a\\)b) kw",
         {"True", "False", "Null", "/NA", "(a)b)", "kw"},
         {"True", "False", "Null", "/NA", "(a)b)", "kw"}},
        {"{ 1", {}, {}},
        {"", {}, {}},
        // A name holding a tilde is one name; the dictionary goes on after it.
        {"<< /BaseFont /Times-Roman~27 /Type /Font >> 1",
         {"<</BaseFont, /Times-Roman~27, /Type, /Font>>", "1"},
         {"<</BaseFont, /Times-Roman~27, /Type, /Font>>", "1"}},
        // A bracket or brace where a key or value belongs is passed over, and
        // the rest of the dictionary is kept.
        {"<< /A ] 1 /B } 2 >> 3", {"<</A, 1, /B, 2>>", "3"}, {"<</A, 1, /B, 2>>", "3"}},
        {"<< ] /A { 1 >> 3", {"<</A, 1>>", "3"}, {"<</A, 1>>", "3"}},
        {"<< /A 1 /B ]", {"<</A, 1, /B, Null>>"}, {"<</A, 1, /B, Null>>"}},
        // Sixteen are passed over in one dictionary; the seventeenth ends it.
        {"<< ]]]]]]]]]]]]]]]] /A 1 >> 3", {"<</A, 1>>", "3"}, {"<</A, 1>>", "3"}},
        {"<< ]]]]]]]]]]]]]]]]] /A 1 >> 3", {"<<>>", "/A", "1"}, {"<<>>", "/A", "1"}},
    };
    for (const Case& c : cases) {
        PlainText plain(c.input);
        EXPECT_EQ(drain(plain.parser), c.plain) << "plain: " << c.input;
        DocumentText doc(c.input);
        EXPECT_EQ(drain(doc.parser()), c.document) << "document: " << c.input;
    }
}

TEST(ObjectParserTest, Dictionaries) {
    PdfName a(WString(u"/A")), b(WString(u"/B"));
    {
        PlainText t("<< /A 1 /B >>");
        Ref<PdfObject> d = ObjectRef::share(t.parser.entryAt(0));
        ASSERT_EQ(d->kind(), kKindDict);
        PdfDict* dict = static_cast<PdfDict*>(d.get());
        EXPECT_EQ(dict->size(), 2);
        EXPECT_EQ(typeNameOf(dict->get(a)), "1");
        EXPECT_EQ(typeNameOf(dict->get(b)), "Null");
    }
    {
        PlainText t("<< /A 1 /A 2 >>");
        PdfDict* dict = static_cast<PdfDict*>(t.parser.entryAt(0));
        EXPECT_EQ(dict->size(), 1);
        EXPECT_EQ(typeNameOf(dict->get(a)), "2");
    }
    {
        // Keys are stored as parsed, whatever they are.
        PlainText t("<< 1 2 >>");
        EXPECT_EQ(typeNameOf(t.parser.entryAt(0)), "<<1, 2>>");
    }
}

// The depth of the first-element chain of nested containers.
int nestingOf(PdfObject* o) {
    int depth = 0;
    while (o) {
        if (o->kind() == kKindArray || o->kind() == kKindDict)
            ++depth;
        if (o->kind() == kKindArray) {
            PdfArray* a = static_cast<PdfArray*>(o);
            o = a->count() ? a->at(0) : nullptr;
        } else if (o->kind() == kKindDict) {
            PdfDict* d = static_cast<PdfDict*>(o);
            o = nullptr;
            for (const auto& e : d->entries())
                o = e.value;
        } else {
            break;
        }
    }
    return depth;
}

TEST(ObjectParserTest, NestingIsBounded) {
    const int deep = 20000;
    for (const char* open : {"[", "<< /K ", "[<< /K "}) {
        std::string text;
        for (int i = 0; i < deep; ++i)
            text += open;
        PlainText t(text);
        PdfObject* o = t.parser.entryAt(0);
        ASSERT_NE(o, nullptr) << open;
        EXPECT_LE(nestingOf(o), ObjectParser::kMaxNesting) << open;

        DocumentText d(text);
        o = d.parser().entryAt(0);
        ASSERT_NE(o, nullptr) << open;
        EXPECT_LE(nestingOf(o), ObjectParser::kMaxNesting) << open;
    }
    // Within the bound nothing is cut.
    std::string text(100, '[');
    PlainText t(text);
    EXPECT_EQ(nestingOf(t.parser.entryAt(0)), 100);
}

TEST(ObjectParserTest, QueueOperations) {
    PlainText t("1 2 3 4 [5]");
    EXPECT_EQ(typeNameOf(t.parser.entryAt(2)), "3");
    EXPECT_EQ(t.parser.count(), 3);
    t.parser.dropTokens(2);
    EXPECT_EQ(typeNameOf(t.parser.entryAt(0)), "3");
    t.parser.pushList();
    EXPECT_EQ(t.parser.count(), 0);
    EXPECT_EQ(typeNameOf(t.parser.entryAt(0)), "4");  // reads on from the tokenizer
    t.parser.popList();
    EXPECT_EQ(t.parser.count(), 1);
    ObjectRef first = t.parser.takeFirst();
    EXPECT_EQ(typeNameOf(first.get()), "3");
    EXPECT_EQ(typeNameOf(t.parser.entryAt(0)), "[5]");
}

// Installs a factory for one test and restores the previous one.
template <class F, F (*Set)(F)>
struct FactoryGuard {
    explicit FactoryGuard(F f) : old(Set(f)) {}
    ~FactoryGuard() { Set(old); }
    F old;
};

int gRectangles = 0;
ObjectRef countRectangle(ObjectRef array) {
    ++gRectangles;
    return array;
}

TEST(ObjectParserTest, RectangleHook) {
    FactoryGuard<RectangleFactory, setRectangleFactory> guard(countRectangle);
    struct Case {
        const char* input;
        int rectangles;
    } cases[] = {
        {"[0 0 612 792]", 1},   {"[0.5 -1 2 3.25]", 1}, {"[0 0 612]", 0},
        {"[0 0 612 792 1]", 0}, {"[0 0 612 1 0 R]", 0},  // a reference is not a number
        {"[0 0 612 /A]", 0},
    };
    for (const Case& c : cases) {
        gRectangles = 0;
        DocumentText d(c.input);
        d.parser().entryAt(0);
        EXPECT_EQ(gRectangles, c.rectangles) << c.input;
        gRectangles = 0;
        PlainText p(c.input);
        p.parser.entryAt(0);
        EXPECT_EQ(gRectangles, 0) << "plain: " << c.input;
    }
}

std::vector<std::string> gTypedSeen;
ObjectRef recordTyped(ObjectRef dict) {
    gTypedSeen.push_back(typeNameOf(dict.get()));
    return dict;
}

TEST(ObjectParserTest, TypedObjectHook) {
    FactoryGuard<TypedObjectFactory, setTypedObjectFactory> guard(recordTyped);
    gTypedSeen.clear();
    DocumentText d("<< /Type /Page >> 7");
    EXPECT_EQ(drain(d.parser()), (Names{"<</Type, /Page>>", "7"}));
    EXPECT_EQ(gTypedSeen, (Names{"<</Type, /Page>>"}));

    gTypedSeen.clear();
    PlainText p("<< /Type /Page >>");
    drain(p.parser);
    EXPECT_TRUE(gTypedSeen.empty());
}

std::string gStreamData;
ObjectRef readStream(ObjectRef dict, InputStream* stream, const uint8_t*) {
    gStreamData.clear();
    for (int i = 0; i < 5; ++i)
        gStreamData += char(stream->getByte());
    return dict;
}

TEST(ObjectParserTest, StreamKeywordLineEnds) {
    FactoryGuard<StreamObjectFactory, setStreamObjectFactory> guard(readStream);
    for (const char* eol : {"\r\n", "\n", "\r", " \n"}) {
        gStreamData.clear();
        DocumentText d(std::string("<< /Length 5 >> stream") + eol + "HELLO\nendstream");
        d.parser().entryAt(0);
        // A space before the line end is not part of the keyword's line: it
        // is the first data byte.
        std::string expected = eol[0] == ' ' ? " \nHEL" : "HELLO";
        EXPECT_EQ(gStreamData, expected) << int(eol[0]);
    }
}

TEST(ObjectStackTest, PushPopPeekCopy) {
    PdfNull a, b, c;
    ObjectStack s;
    EXPECT_EQ(s.pop(), nullptr);
    for (PdfObject* p : {&a, &b, &c})
        s.push(p);
    EXPECT_EQ(s.peek(0), &c);
    EXPECT_EQ(s.peek(2), &a);
    EXPECT_EQ(s.peek(3), nullptr);
    EXPECT_TRUE(s.copy(2));
    EXPECT_EQ(s.depth(), 5);
    EXPECT_EQ(s.peek(0), &c);
    EXPECT_EQ(s.peek(1), &b);
    EXPECT_EQ(s.peek(2), &c);
    EXPECT_FALSE(s.copy(6));
    EXPECT_EQ(s.depth(), 5);
    for (int i = 0; i < 20; ++i)
        s.push(&a);  // grows past the first storage
    EXPECT_EQ(s.depth(), 25);
    EXPECT_EQ(s.pop(), &a);
    s.clear();
    EXPECT_EQ(s.depth(), 0);
    EXPECT_EQ(s.pop(), nullptr);
}

}  // namespace
}  // namespace vistrel
