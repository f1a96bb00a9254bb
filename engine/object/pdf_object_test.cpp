#include "engine/object/pdf_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel {
namespace {

using namespace std::string_literals;

std::u16string str(const WString& s) {
    return std::u16string(s.view());
}

ObjectRef num(int32_t v) {
    return makeRef<PdfNumber>(v);
}
ObjectRef real(double v) {
    return makeRef<PdfNumber>(v);
}
ObjectRef name(const char16_t* text) {
    return makeRef<PdfName>(WString(text));
}
ObjectRef string(const char16_t* text) {
    return makeRef<PdfString>(WString(text));
}
ObjectRef keyword(const char16_t* text) {
    return makeRef<PdfKeyword>(WString(text));
}

Ref<PdfArray> array(std::vector<ObjectRef> items) {
    auto a = makeRef<PdfArray>();
    for (auto& item : items)
        EXPECT_TRUE(a->append(std::move(item)));
    return a;
}

Ref<PdfDict> dict(const std::vector<std::pair<const char16_t*, ObjectRef>>& entries) {
    auto d = makeRef<PdfDict>();
    for (const auto& [k, v] : entries)
        EXPECT_TRUE(d->put(name(k), v));
    return d;
}

// A string of the given units, embedded zeros kept.
ObjectRef rawString(const std::u16string& units) {
    std::vector<uint8_t> bytes;
    for (char16_t c : units)
        bytes.push_back(static_cast<uint8_t>(c));
    return makeRef<PdfString>(bytes.data(), bytes.size());
}

TEST(PdfObjectTest, TextForms) {
    std::vector<ObjectRef> numbers17;
    numbers17.reserve(17);
    for (int i = 0; i < 17; ++i)
        numbers17.push_back(num(i));
    std::u16string expected17 = u"[ 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 \r]";

    struct Case {
        const char* label;
        ObjectRef object;
        std::u16string typeName;
        std::u16string text;
    };
    Case cases[] = {
        {"null", makeRef<PdfNull>(), u"Null", u"null"},
        {"true", makeRef<PdfBoolean>(true), u"True", u"true"},
        {"false", makeRef<PdfBoolean>(false), u"False", u"false"},
        {"integer", num(7), u"7", u"7"},
        {"negative integer", num(-42), u"-42", u"-42"},
        {"real", real(0.5), u"0.500000", u"0.500000"},
        {"negative real", real(-0.25), u"-0.250000", u"-0.250000"},
        {"large real", real(1e20), u"100000000000000000000.000000",
         u"100000000000000000000.000000"},
        {"string", string(u"abc"), u"(abc)", u"(abc)"},
        {"parentheses", string(u"a(b)c"), u"(a(b)c)", u"(a\\(b\\)c)"},
        {"escapes", string(u"\n\r\b\t\f\\"), u"(\n\r\b\t\f\\)", u"(\\n\\r\\b\\t\\f\\\\)"},
        {"controls and high bytes copied", rawString(u"\x01\xe9\x7f"), u"(\x01\xe9\x7f)",
         u"(\x01\xe9\x7f)"},
        {"embedded zero", rawString(std::u16string(u"a\0b", 3)), std::u16string(u"(a\0b)", 5),
         std::u16string(u"(a\0b)", 5)},
        {"wide string as FE FF UTF-16BE", string(u"A\u0141("), u"(A\u0141()",
         u"(\xfe\xff\x00"
         u"A\x01"
         u"A\x00\\()"s},
        {"text beginning with FE FF takes the wide form", string(u"\u00fe\u00ff"),
         u"(\u00fe\u00ff)", u"(\xfe\xff\x00\xfe\x00\xff)"s},
        {"name", name(u"/Type"), u"/Type", u"/Type"},
        {"name with a space", name(u"/A B"), u"/A B", u"/A#20B"},
        {"name with delimiters", name(u"/a/(b)%"), u"/a/(b)%", u"/a#2F#28b#29#25"},
        {"name with a number sign", name(u"/A#42"), u"/A#42", u"/A#2342"},
        {"name with high characters", name(u"/\u00e9\u0141"), u"/\u00e9\u0141", u"/#E9#C5#81"},
        {"empty name", name(u"/"), u"/", u"/"},
        {"number-like run without solidus written as read", name(u"+#."), u"+#.", u"+#."},
        {"keyword", keyword(u"BT"), u"BT", u"BT"},
        {"empty array", makeRef<PdfArray>(), u"[]", u"[ ]"},
        {"array", array({num(1), name(u"/A"), string(u"x")}), u"[1, /A, (x)]", u"[ 1 /A (x) ]"},
        {"17 numbers", array(std::move(numbers17)), u"", expected17},
        {"empty dictionary", makeRef<PdfDict>(), u"<<>>", u"<<\r\r>>"},
        // /Length (bucket 36) comes before /Type (bucket 47).
        {"dictionary", dict({{u"/Type", name(u"/Page")}, {u"/Length", num(3)}}),
         u"<</Length, 3, /Type, /Page>>", u"<<\r/Length 3 \r/Type /Page \r>>"},
        {"nested", dict({{u"/K", array({array({}), dict({})})}}), u"<</K, [[], <<>>]>>",
         u"<<\r/K [ [ ] <<\r\r>> ] \r>>"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (!c.typeName.empty()) {
            EXPECT_EQ(str(c.object->typeName()), c.typeName);
        }
        EXPECT_EQ(str(c.object->text()), c.text);
    }
}

TEST(PdfObjectTest, HashesAndIds) {
    struct Case {
        const char* label;
        ObjectRef object;
        uint32_t hash;
    };
    Case cases[] = {
        {"null", makeRef<PdfNull>(), 0x84000000u},
        {"true", makeRef<PdfBoolean>(true), 0xFFFFFFFFu},
        {"false", makeRef<PdfBoolean>(false), 0x88000000u},
        {"integer 5", num(5), 0xFE000005u},
        {"integer 0x12345", num(0x12345), 0xFE000000u | 0x2345u},
        {"real 2.75", real(2.75), 0x8C000002u},
        {"name /Type", name(u"/Type"), 0x94000F2Fu},
        {"string A", string(u"A"), 0x90000000u | 455u},
        {"keyword AB", keyword(u"AB"), 0xB0000000u | 576u},
        {"array of 2", array({num(1), num(2)}), 0xA8000002u},
        {"dictionary of 1", dict({{u"/A", num(1)}}), 0xAC000001u},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.object->hash(), c.hash);
        EXPECT_EQ(c.object->getId().number, -1);
        EXPECT_EQ(c.object->getId().generation, -1);
    }
}

TEST(PdfObjectTest, Equality) {
    struct Case {
        const char* label;
        ObjectRef a;
        ObjectRef b;
        bool equal;
    };
    Case cases[] = {
        {"nulls", makeRef<PdfNull>(), makeRef<PdfNull>(), true},
        {"booleans", makeRef<PdfBoolean>(true), makeRef<PdfBoolean>(true), true},
        {"different booleans", makeRef<PdfBoolean>(true), makeRef<PdfBoolean>(false), false},
        {"integers", num(3), num(3), true},
        {"integer and real", num(1), real(1.0), false},
        {"reals", real(2.5), real(2.5), true},
        {"different reals", real(2.5), real(2.25), false},
        {"case matters", name(u"/op"), name(u"/OP"), false},
        {"name and string", name(u"/A"), string(u"/A"), false},
        {"name and keyword", name(u"/PS"), keyword(u"PS"), false},
        {"differ after zero", rawString(std::u16string(u"a\0b", 3)),
         rawString(std::u16string(u"a\0c", 3)), true},
        {"prefix", string(u"ab"), string(u"abc"), false},
        {"arrays", array({num(1), name(u"/X")}), array({num(1), name(u"/X")}), true},
        {"array lengths", array({num(1)}), array({num(1), num(1)}), false},
        {"array elements", array({num(1)}), array({real(1.0)}), false},
        {"dictionaries", dict({{u"/A", num(1)}, {u"/B", num(2)}}),
         dict({{u"/B", num(2)}, {u"/A", num(1)}}), true},
        {"dictionary values", dict({{u"/A", num(1)}}), dict({{u"/A", num(2)}}), false},
        {"dictionary keys", dict({{u"/A", num(1)}}), dict({{u"/B", num(1)}}), false},
        {"number and null", num(0), makeRef<PdfNull>(), false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.a->equals(c.b.get()), c.equal);
        EXPECT_EQ(c.b->equals(c.a.get()), c.equal);
        if (c.equal) {
            EXPECT_EQ(c.a->hash(), c.b->hash());
        }
    }
    EXPECT_FALSE(num(1)->equals(nullptr));
}

TEST(PdfObjectTest, DictionariesWithSameEntriesInOtherChainOrderDiffer) {
    // A short name that shares the bucket of /Type in a 128-bucket table.
    std::u16string partner;
    const uint32_t bucket = WString(u"/Type").hash() & 127;
    for (char16_t c1 = u'A'; c1 <= u'z' && partner.empty(); ++c1) {
        for (char16_t c2 = u'A'; c2 <= u'z'; ++c2) {
            std::u16string t = {u'/', c1, c2};
            if ((WString(t.c_str()).hash() & 127) == bucket) {
                partner = t;
                break;
            }
        }
    }
    ASSERT_FALSE(partner.empty());
    auto a = dict({{u"/Type", num(1)}, {partner.c_str(), num(2)}});
    auto b = dict({{partner.c_str(), num(2)}, {u"/Type", num(1)}});
    EXPECT_FALSE(a->equals(b.get()));
    // The copy puts the entries in the source's order, so a shared bucket comes
    // out reversed.
    auto copy = makeRef<PdfDict>(*a);
    EXPECT_TRUE(copy->equals(b.get()));
}

// Taking a dictionary's entries over must give the walk order the copy gives
// (each bucket's chain reversed): typed dictionaries are made either way, and
// the order shows in every file written. Keys are chosen to share buckets in
// the small list, in the bucket array and in a grown table.
TEST(PdfObjectTest, TakingEntriesOverGivesTheOrderOfACopy) {
    std::vector<std::u16string> byBucket[128];
    for (char16_t c1 = u'A'; c1 <= u'z'; ++c1) {
        for (char16_t c2 = u'A'; c2 <= u'z'; ++c2) {
            std::u16string t = {u'/', c1, c2};
            byBucket[WString(t.c_str()).hash() & 127].push_back(t);
        }
    }
    // n keys taken from `per` consecutive names of each bucket in turn.
    auto keys = [&](size_t n, size_t per) {
        std::vector<std::u16string> out;
        for (size_t b = 0; out.size() < n; ++b) {
            for (size_t i = 0; i < per && out.size() < n; ++i)
                out.push_back(byBucket[b % 128][i + per * (b / 128)]);
        }
        return out;
    };
    struct Case {
        const char* name;
        size_t count, perBucket;
    } cases[] = {
        {"two in one bucket", 2, 2},
        {"small list with runs of three", 7, 3},
        {"bucket array", 40, 4},
        {"grown table", 300, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto build = [&] {
            auto d = makeRef<PdfDict>();
            int32_t i = 0;
            for (const auto& k : keys(c.count, c.perBucket))
                EXPECT_TRUE(d->put(name(k.c_str()), num(i++)));
            d->setId(12, 0, false);
            return d;
        };
        auto source = build();
        auto copy = makeRef<PdfDict>(*source);
        auto given = build();
        ObjectRef value = ObjectRef::share(given->get(*name(keys(1, 1)[0].c_str())));
        auto taken = makeRef<PdfDict>(std::move(*given));
        EXPECT_EQ(str(taken->text()), str(copy->text()));
        EXPECT_TRUE(taken->equals(copy.get()));
        EXPECT_TRUE(taken->valid());
        EXPECT_EQ(taken->getId().number, 12);
        EXPECT_EQ(given->size(), 0);
        EXPECT_EQ(value->refCount(), 2u);  // held by the new dictionary only
        // The table goes on working: lookups, replacement and growth.
        for (const auto& k : keys(c.count, c.perBucket))
            EXPECT_NE(taken->get(*name(k.c_str())), nullptr);
        EXPECT_TRUE(taken->put(name(u"/Extra"), num(-1)));
        EXPECT_EQ(taken->size(), int32_t(c.count) + 1);
    }
}

TEST(PdfObjectTest, ReferenceCountsThroughPutReplaceCopyAndClear) {
    auto key = name(u"/K");
    auto key2 = name(u"/K");
    auto v1 = num(1);
    auto v2 = num(2);
    {
        auto d = makeRef<PdfDict>();
        EXPECT_TRUE(d->put(key, v1));
        EXPECT_EQ(key->refCount(), 2u);
        EXPECT_EQ(v1->refCount(), 2u);

        // Replace: the new value is held, the old one given back, the entry
        // keeps its first key and the given key is not held.
        EXPECT_TRUE(d->put(key2, v2));
        EXPECT_EQ(d->size(), 1);
        EXPECT_EQ(v1->refCount(), 1u);
        EXPECT_EQ(v2->refCount(), 2u);
        EXPECT_EQ(key->refCount(), 2u);
        EXPECT_EQ(key2->refCount(), 1u);
        EXPECT_EQ(d->get(*key2), v2.get());

        auto copy = makeRef<PdfDict>(*d);
        EXPECT_EQ(key->refCount(), 3u);
        EXPECT_EQ(v2->refCount(), 3u);
        EXPECT_TRUE(copy->valid());
    }
    EXPECT_EQ(key->refCount(), 1u);
    EXPECT_EQ(v2->refCount(), 1u);

    auto a = array({v1, v2});
    EXPECT_EQ(v1->refCount(), 2u);
    {
        auto copy = makeRef<PdfArray>(*a);
        EXPECT_EQ(copy->capacity(), 2);
        EXPECT_EQ(v1->refCount(), 3u);
        EXPECT_TRUE(copy->set(0, v2));
        EXPECT_EQ(v1->refCount(), 2u);
        EXPECT_EQ(v2->refCount(), 4u);
        EXPECT_FALSE(copy->set(2, v2));
    }
    a->clear();
    EXPECT_EQ(a->count(), 0);
    EXPECT_EQ(v1->refCount(), 1u);
    EXPECT_EQ(v2->refCount(), 1u);
    EXPECT_EQ(makeRef<PdfArray>()->capacity(), 8);
    EXPECT_EQ(makeRef<PdfArray>(*makeRef<PdfArray>())->capacity(), 8);
}

TEST(PdfObjectTest, NumbersKeepBothValues) {
    PdfNumber n(3.99);
    EXPECT_EQ(n.intValue(), 3);
    EXPECT_EQ(PdfNumber(-3.99).intValue(), -3);
    EXPECT_EQ(PdfNumber(1e300).intValue(), INT32_MAX);  // saturated, not undefined
    EXPECT_EQ(n.setInt(9), 3);
    EXPECT_TRUE(n.isInteger());
    EXPECT_EQ(n.realValue(), 9.0);
    EXPECT_EQ(n.setReal(-2.5), 9.0);
    EXPECT_FALSE(n.isInteger());
    EXPECT_EQ(n.intValue(), -2);
    PdfBoolean b(false);
    EXPECT_FALSE(b.setValue(true));
    EXPECT_TRUE(b.value());
}

TEST(PdfObjectTest, SetIdReachesMembersButNotKeys) {
    auto inner = array({string(u"s")});
    auto d = dict({{u"/A", inner}, {u"/B", num(1)}});
    d->setId(12, 0, true);
    EXPECT_EQ(d->getId().number, 12);
    EXPECT_EQ(inner->getId().number, 12);
    EXPECT_EQ(inner->at(0)->getId().number, 12);
    for (const auto& e : d->entries())
        EXPECT_EQ(e.key->getId().number, -1);
    auto plain = array({num(1)});
    plain->setId(5, 0, false);
    EXPECT_EQ(plain->at(0)->getId().number, -1);
}

// Encrypts by adding the object number to every byte.
class AddingKey : public FileKey {
public:
    void encryptString(ObjectId id, uint8_t* bytes, size_t count) const override {
        ++calls;
        for (size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<uint8_t>(bytes[i] + id.number);
    }
    mutable int calls = 0;
};

TEST(PdfObjectTest, EncryptedTextGoesThroughTheFileKeyBeforeEscaping) {
    AddingKey key;
    auto s = string(u"'");  // 0x27 + 1 = 0x28, an opening parenthesis, escaped
    auto a = array({s, num(4), name(u"/N")});
    a->setId(1, 0, true);
    EXPECT_EQ(str(a->text(&key)), u"[ (\\() 4 /N ]");
    EXPECT_EQ(key.calls, 1);
    auto d = dict({{u"/S", string(u"A\u0100")}});
    d->setId(2, 0, true);
    // FE FF 00 41 01 00, each byte + 2.
    EXPECT_EQ(str(d->text(&key)),
              u"<<\r/S (\x00\x01\x02"
              u"C\x03\x02) \r>>"s);
}

TEST(PdfObjectTest, TypedCasts) {
    auto d = makeRef<PdfDict>();
    auto a = makeRef<PdfArray>();
    auto n = num(1);
    EXPECT_EQ(asDict(d.get()), d.get());
    EXPECT_EQ(asArray(a.get()), a.get());
    EXPECT_EQ(asNumber(n.get()), n.get());
    EXPECT_EQ(asDict(a.get()), nullptr);
    EXPECT_EQ(asNumber(nullptr), nullptr);
    EXPECT_EQ(asRectangle(a.get()), nullptr);
    EXPECT_EQ(asKeyword(keyword(u"R").get()) != nullptr, true);
}

TEST(PdfObjectTest, DeepNestingNeitherOverflowsNorLeaks) {
    // A chain of arrays far deeper than any walk may go.
    constexpr int kDepth = 200000;
    auto outer = makeRef<PdfArray>();
    PdfArray* innermost = outer.get();
    for (int i = 0; i < kDepth; ++i) {
        auto next = makeRef<PdfArray>();
        PdfArray* raw = next.get();
        ASSERT_TRUE(innermost->append(std::move(next)));
        innermost = raw;
    }
    innermost->append(num(1));
    auto other = makeRef<PdfArray>(*outer);    // shares the chain below the top
    EXPECT_FALSE(outer->equals(other.get()));  // stops at the depth bound
    outer->setId(3, 0, true);
    EXPECT_FALSE(outer->visit(0));
    // kMaxObjectNesting levels of "[ " ... " ]", then null.
    WString text = outer->text();
    EXPECT_EQ(text.size(), 4 * kMaxObjectNesting + 4);
    outer.reset();
    other.reset();  // the whole chain goes here, without recursion
}

TEST(PdfObjectTest, ArrayContainsAndVisitGuard) {
    auto a = array({num(1), name(u"/X")});
    EXPECT_TRUE(a->contains(name(u"/X").get()));
    EXPECT_FALSE(a->contains(real(1.0).get()));
    // A cycle of direct containers: visit stops at the guard.
    auto self = makeRef<PdfArray>();
    self->append(self);
    EXPECT_FALSE(self->visit(0));
    self->clear();  // breaks the cycle
}

}  // namespace
}  // namespace vistrel
