#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/constants/constant_registry.h"
#include "engine/constants/keyword_constants.h"
#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/object/pdf_object.h"

namespace vistrel {
namespace {

std::u16string str(const WString& s) {
    return std::u16string(s.view());
}

std::vector<const PdfString*> allNames() {
    std::vector<const PdfString*> v;
#define VISTREL_X(id, text) v.push_back(&names::id);
    VISTREL_NAME_CONSTANTS(VISTREL_X)
    VISTREL_LATE_NAME_CONSTANTS(VISTREL_X)
#undef VISTREL_X
    return v;
}

std::vector<const PdfString*> allKeywords() {
    std::vector<const PdfString*> v;
#define VISTREL_X(id, text) v.push_back(&keywords::id);
    VISTREL_KEYWORD_CONSTANTS(VISTREL_X)
#undef VISTREL_X
    return v;
}

TEST(ConstantsTest, EveryConstantIsBuiltDistinctAndFoundLikeAParsedObject) {
    struct List {
        const char* label;
        std::vector<const PdfString*> constants;
        size_t count;
        uint16_t kind;
    };
    List lists[] = {{"names", allNames(), 256, kKindName},
                    {"keywords", allKeywords(), 119, kKindKeyword}};
    for (auto& list : lists) {
        SCOPED_TRACE(list.label);
        EXPECT_EQ(list.constants.size(), list.count);
        std::set<std::u16string> texts;
        for (const PdfString* c : list.constants) {
            std::u16string text = str(c->textValue());
            SCOPED_TRACE(std::string(text.begin(), text.end()));
            EXPECT_TRUE(texts.insert(text).second);
            EXPECT_EQ(c->kind(), list.kind);
            EXPECT_TRUE(c->valid());
            EXPECT_TRUE(c->isConstant());
            EXPECT_EQ(c->getId().number, -1);
            EXPECT_EQ(c->textValue().length(), c->textValue().capacity());
            EXPECT_EQ(text[0] == u'/', list.kind == kKindName);
            // A name or keyword made at run time with the same text, as the
            // parser makes them for a numbered object, hashes alike and is
            // equal both ways.
            ObjectRef parsed;
            if (list.kind == kKindName) {
                parsed = makeRef<PdfName>(WString(text.c_str()));
            } else {
                parsed = makeRef<PdfKeyword>(WString(text.c_str()));
            }
            parsed->setId(12, 0, true);  // ids play no part
            EXPECT_EQ(c->hash(), parsed->hash());
            EXPECT_TRUE(c->equals(parsed.get()));
            EXPECT_TRUE(parsed->equals(c));
        }
    }
}

TEST(ConstantsTest, KnownTextsAndHashes) {
    EXPECT_EQ(str(names::Type.text()), u"/Type");
    EXPECT_EQ(names::Type.textValue().length(), 6);
    EXPECT_EQ(names::Type.hash(), 0x94000F2Fu);
    EXPECT_EQ(str(names::In_line.text()), u"/In-line");
    EXPECT_EQ(str(names::Mitterlimit.text()), u"/Mitterlimit");
    EXPECT_EQ(str(names::StandartEncoding.text()), u"/StandartEncoding");
    EXPECT_EQ(str(names::Matrix.text()), u"/Matrix");
    EXPECT_EQ(str(keywords::quote.text()), u"'");
    EXPECT_EQ(str(keywords::dquote.text()), u"\"");
    EXPECT_EQ(str(keywords::T_star.text()), u"T*");
    EXPECT_EQ(str(keywords::lbrace.text()), u"{");
    EXPECT_EQ(str(keywords::and_.text()), u"and");
    EXPECT_EQ(params::K.length(), 3);
    EXPECT_EQ(params::K.capacity(), 3);
    EXPECT_EQ(str(params::DamagedRowsBeforeError), u"/DamagedRowsBeforeError");
    EXPECT_EQ(str(settings::FontsDsc), u"fonts.dsc");
    EXPECT_EQ(str(settings::GDCOptimMode), u"GDCOptimMode");
    // A run-time string finds a settings key by hash and text.
    WString runtime(u"CurveThreshold");
    EXPECT_EQ(runtime.hash(), settings::CurveThreshold.hash());
    EXPECT_TRUE(runtime.equals(settings::CurveThreshold));
}

TEST(ConstantsTest, LookalikesStayApart) {
    const PdfObject* pairs[][2] = {
        {&names::Standard, &names::StandartEncoding},
        {&names::XObject, &names::Xobject},
        {&names::op, &names::OP},
        {&keywords::PS, &names::PS},
        {&keywords::ID, &names::ID},
        {&keywords::W, &names::W},
        {&keywords::DP, &names::DP},
        {&keywords::M, &names::M},
        {&keywords::f, &keywords::F},
        {&keywords::w, &keywords::W},
        {&keywords::k, &keywords::K},
    };
    for (auto& p : pairs) {
        std::u16string text = str(p[0]->text());
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        EXPECT_FALSE(p[0]->equals(p[1]));
    }
    // /StandardEncoding matches none of the named-encoding constants.
    auto standard = makeRef<PdfName>(WString(u"/StandardEncoding"));
    EXPECT_FALSE(names::StandartEncoding.equals(standard.get()));
}

TEST(ConstantsTest, DictionaryKeysMatchBothWays) {
    auto d = makeRef<PdfDict>();
    d->put(ObjectRef::share(&names::MediaBox), makeRef<PdfNumber>(1));
    d->put(makeRef<PdfName>(WString(u"/Type")), makeRef<PdfNumber>(2));
    EXPECT_NE(d->get(*makeRef<PdfName>(WString(u"/MediaBox"))), nullptr);
    EXPECT_NE(d->get(names::Type), nullptr);
    EXPECT_EQ(d->get(names::CropBox), nullptr);
}

// Registry order, with groups that record what they do.
std::vector<std::string> journal;
void buildA() {
    journal.push_back("+A");
}
void destroyA() {
    journal.push_back("-A");
}
void buildB() {
    journal.push_back("+B");
}
void destroyB() {
    journal.push_back("-B");
}
void buildC() {
    journal.push_back("+C");
}
void destroyC() {
    journal.push_back("-C");
}

TEST(ConstantsTest, RegistryBuildsInOrderAndDestroysNewestFirst) {
    journal.clear();
    const ConstantGroup groups[] = {
        {"A", buildA, destroyA}, {"B", buildB, destroyB}, {"C", buildC, destroyC}};
    ConstantRegistry registry(groups, 3);
    registry.buildAll();
    registry.buildAll();  // built once
    registry.destroyAll();
    registry.destroyAll();  // destroyed once
    EXPECT_EQ(journal, (std::vector<std::string>{"+A", "+B", "+C", "-C", "-B", "-A"}));

    // The engine's registry is complete before any test runs.
    ConstantRegistry& engine = engineConstants();
    EXPECT_EQ(engine.builtCount(), engine.groupCount());
    std::vector<std::string> order;
    for (size_t i = 0; i < engine.groupCount(); ++i)
        order.push_back(engine.group(i).name);
    EXPECT_EQ(order, (std::vector<std::string>{
                         "decode-parameter keys", "rendering settings", "encoding words",
                         "font-system settings", "font words", "weight words", "Latin glyph names",
                         "Latin Extended-A glyph names", "ligature glyph names",
                         "font-database files", "Type 1 kind words", "CFF standard strings",
                         "interface settings", "Type 3 kind word", "name constants",
                         "keyword constants", "late name constants"}));
}

TEST(ConstantsTest, ConstantsAreNeverFreedByReleasing) {
    NameConstant& type = names::Type;
    const uint32_t before = type.refCount();
    for (int i = 0; i < 1000; ++i)
        type.release();
    EXPECT_EQ(str(type.text()), u"/Type");
    for (int i = 0; i < 1000; ++i)
        type.addRef();
    EXPECT_EQ(type.refCount(), before);
    {
        ObjectRef held = ObjectRef::share(&type);
        auto d = makeRef<PdfDict>();
        d->put(held, ObjectRef::adopt(new PdfNumber(int32_t(1))));
    }
    EXPECT_EQ(type.refCount(), before);
}

}  // namespace
}  // namespace vistrel
