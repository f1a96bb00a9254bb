// Opening the fixture files written by fixtures/make_fixtures.py, and the
// real-world files of the shared corpus when it is there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "engine/parser/pdf_stream.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

std::string fixture(const std::string& name) {
    return std::string(VISTREL_FIXTURE_DIR) + "/" + name;
}

std::string latin1(const PdfObject* o) {
    return o ? o->typeName().toLatin1() : "(none)";
}

// An open fixture: the stream the document reads, and the document.
struct Open {
    explicit Open(const std::string& path, bool repair = true)
        : stream(std::make_unique<FileInputStream>(WideFromUtf8(path), 4096)),
          doc(std::make_unique<PdfDocument>(stream.get(), repair)) {}
    ~Open() {
        refs.clear();
        doc.reset();
    }

    // Resolves an object through a reference kept for the fixture's life.
    PdfObject* object(int32_t number) {
        refs.push_back(makeRef<PdfRef>(doc.get(), number, 0));
        return refs.back()->direct();
    }
    PdfObject* trailerValue(const PdfObject& key) {
        return doc->trailer() ? doc->trailer()->get(key) : nullptr;
    }
    PdfObject* value(int32_t number, const PdfObject& key) {
        PdfDict* d = asDict(object(number));
        return d ? d->get(key) : nullptr;
    }

    std::unique_ptr<FileInputStream> stream;
    std::unique_ptr<PdfDocument> doc;
    std::vector<Ref<PdfRef>> refs;
};

std::string textOf(PdfObject* o) {
    o = o ? o->direct() : nullptr;
    if (!o || o->kind() != kKindString)
        return "(not a string)";
    return static_cast<PdfString*>(o)->textValue().toLatin1();
}

// Every file here opens into a usable document whose /Root is the catalog.
TEST(DocumentTest, OpensWellFormedAndRepairedFiles) {
    struct Case {
        const char* file;
        int32_t entries;
        double version;
    } cases[] = {
        {"plain.pdf", 8, 1.4},
        {"tiny.pdf", 4, 1.0},
        {"sample.pdf", 12, 1.4},
        {"incremental.pdf", 8, 1.4},
        {"short_subsection.pdf", 8, 1.4},
        {"no_header.pdf", 7, 1.3},
        {"startxref_far.pdf", 7, 1.4},
        {"startxref_twice.pdf", 7, 1.4},
        {"startxref_after_zero.pdf", 7, 1.4},
        {"repair_bad_offset.pdf", 7, 1.4},
        {"repair_no_number.pdf", 7, 1.4},
        {"repair_no_startxref.pdf", 7, 1.4},
        // Loops through /Prev and through the repair scan end the chain.
        {"prev_self.pdf", 7, 1.4},
        {"prev_cycle.pdf", 7, 1.4},
        {"repair_loop.pdf", 7, 1.4},
    };
    for (const Case& c : cases) {
        Open f(fixture(c.file));
        ASSERT_TRUE(f.doc->isValid()) << c.file;
        EXPECT_DOUBLE_EQ(f.doc->header().version, c.version) << c.file;
        ASSERT_NE(f.doc->trailer(), nullptr) << c.file;
        ASSERT_NE(f.doc->xrefTable(), nullptr) << c.file;
        EXPECT_EQ(f.doc->xrefTable()->count(), c.entries) << c.file;
        EXPECT_EQ(f.doc->nextSectionOffset(), 0) << c.file;
        PdfDict* root = asDict(f.trailerValue(names::Root));
        ASSERT_NE(root, nullptr) << c.file;
        EXPECT_EQ(latin1(root->get(names::Type)), "/Catalog") << c.file;
        PdfDict* pages = asDict(root->get(names::Pages));
        ASSERT_NE(pages, nullptr) << c.file;
        EXPECT_EQ(latin1(pages->get(names::Type)), "/Pages") << c.file;
        EXPECT_FALSE(f.doc->isEncrypted()) << c.file;
        EXPECT_EQ(f.doc->permissions(), 0xFFFCu) << c.file;
    }
}

TEST(DocumentTest, NoHeaderNeedsRepair) {
    Open f(fixture("no_header.pdf"), false);
    EXPECT_FALSE(f.doc->isValid());
    EXPECT_FALSE(f.doc->header().found);
    Open g(fixture("plain.pdf"), false);
    EXPECT_TRUE(g.doc->isValid());
    EXPECT_TRUE(g.doc->header().found);
}

TEST(DocumentTest, RereadingOperations) {
    Open f(fixture("plain.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    EXPECT_TRUE(f.doc->rereadHeader(false));
    EXPECT_TRUE(f.doc->reload(false));
    EXPECT_EQ(f.doc->xrefTable()->count(), 8);
    // The section at the trailer's offset, read where the stream stands.
    ASSERT_TRUE(f.stream->seek(uint64_t(f.doc->trailer()->sectionOffset())));
    EXPECT_TRUE(f.doc->readXrefHere(*f.doc->parser()));
    EXPECT_EQ(f.doc->xrefTable()->count(), 8);
    EXPECT_FALSE(f.doc->readXrefHere(*f.doc->parser()));  // "trailer" is no "xref"
    // seekToObject lands on the object's own line.
    ASSERT_TRUE(f.doc->seekToObject(5));
    EXPECT_EQ(f.stream->position(), uint64_t(f.doc->offsetOf(5)));
    EXPECT_FALSE(f.doc->seekToObject(0));   // free
    EXPECT_FALSE(f.doc->seekToObject(50));  // outside

    Open g(fixture("no_header.pdf"));
    EXPECT_FALSE(g.doc->rereadHeader(false));
    EXPECT_TRUE(g.doc->rereadHeader(true));
}

TEST(DocumentTest, NewestSectionWins) {
    Open f(fixture("incremental.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    // The trailer is the newest one and remembers its own section.
    PdfTrailer* trailer = f.doc->trailer();
    ASSERT_NE(trailer, nullptr);
    EXPECT_NE(trailer->get(names::ID), nullptr);
    EXPECT_EQ(trailer->get(names::Info), nullptr);
    EXPECT_GT(trailer->sectionOffset(), f.doc->offsetOf(3));
    EXPECT_EQ(trailer->text().toLatin1().substr(trailer->text().size() - 12), " (8) trailer");

    EXPECT_EQ(latin1(f.value(3, names::Rotate)), "90");  // update 2
    EXPECT_EQ(latin1(f.value(4, names::Length)), "38");  // update 1
    EXPECT_EQ(latin1(f.object(6)), "Null");              // freed in update 1
    EXPECT_EQ(f.doc->offsetOf(6), kXrefFree);
    EXPECT_EQ(latin1(f.value(1, names::Type)), "/Catalog");        // original
    EXPECT_EQ(latin1(f.value(5, names::BaseFont)), "/Helvetica");  // original
    EXPECT_EQ(f.doc->xrefTable()->entry(0)->nextFree, 6);          // the newest head
}

TEST(DocumentTest, BrokenSubsectionKeepsWhatWasRead) {
    Open f(fixture("broken_subsection.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    ASSERT_NE(f.doc->trailer(), nullptr);
    for (int n = 1; n <= 6; ++n)
        EXPECT_GT(f.doc->offsetOf(n), 0) << n;
    EXPECT_EQ(latin1(f.value(2, names::Type)), "/Pages");
}

TEST(DocumentTest, FetchGivesNullAndKeepsThePosition) {
    Open f(fixture("wrong_number.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    ASSERT_TRUE(f.stream->seek(123));
    // Entry 8 leads to the line of object 7; 0 and 99 are free or outside.
    for (int32_t n : {8, 0, 99, -1, 9}) {
        ObjectRef o = f.doc->fetchObject(n);
        ASSERT_NE(o, nullptr) << n;
        EXPECT_EQ(o->kind(), kKindNull) << n;
        EXPECT_EQ(f.stream->position(), 123u) << n;
    }
    ObjectRef seven = f.doc->fetchObject(7);
    EXPECT_EQ(textOf(seven.get()), "seven");
    EXPECT_EQ(seven->getId().number, 7);
    EXPECT_EQ(f.stream->position(), 123u);
}

TEST(DocumentTest, ObjectsReadAtAWrongOffsetCannotAskForThemselves) {
    // Damaged files (found by the fuzz targets) whose cross-reference entries
    // lead into the middle of other objects: reading what stands at an offset
    // can reach a reference to the very object being read. That read yields
    // nothing, so every object read is cached once, nothing stays cached once
    // the references are gone, and the reads do not nest again and again
    // (the second file took minutes).
    for (const char* seed : {"document/leak-object-line-missing",
                             "stored_tree/timeout-object-line-missing"}) {
        Open f(testing::sourcePath(std::string("fuzz/seeds/") + seed));
        ASSERT_TRUE(f.doc->xrefTable()) << seed;
        for (int32_t n = 0; n < f.doc->xrefTable()->count(); ++n) {
            Ref<PdfRef> ref = makeRef<PdfRef>(f.doc.get(), n, 0);
            if (ref->direct()) {
                EXPECT_LE(f.doc->xrefTable()->entry(n)->count, 1) << seed << " " << n;
            }
        }
        EXPECT_EQ(f.doc->cachedCount(), 0) << seed;
    }
}

TEST(DocumentTest, CacheIsSharedAndReleased) {
    Open f(fixture("plain.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    EXPECT_EQ(f.doc->cachedCount(), 0);
    {
        Ref<PdfRef> a = makeRef<PdfRef>(f.doc.get(), 5, 0);
        Ref<PdfRef> b = makeRef<PdfRef>(f.doc.get(), 5, 0);
        PdfObject* oa = a->direct();
        PdfObject* ob = b->direct();
        ASSERT_NE(oa, nullptr);
        EXPECT_EQ(oa, ob);
        EXPECT_EQ(f.doc->cachedObject(5), oa);
        EXPECT_EQ(f.doc->xrefTable()->entry(5)->count, 2);
        EXPECT_EQ(f.doc->cachedCount(), 1);
    }
    EXPECT_EQ(f.doc->cachedObject(5), nullptr);
    EXPECT_EQ(f.doc->cachedCount(), 0);
}

TEST(DocumentTest, ParsedValues) {
    Open f(fixture("plain.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    PdfDict* d = asDict(f.object(7));
    ASSERT_NE(d, nullptr);
    PdfName str(WString(u"/Str")), hex(WString(u"/Hex")), arr(WString(u"/Arr"));
    EXPECT_EQ(textOf(d->get(str)), "a(b)c");
    EXPECT_EQ(textOf(d->get(hex)), "Hello");
    EXPECT_EQ(latin1(d->get(arr)), "[REF 1, REF 3]");
    EXPECT_EQ(d->getId().number, 7);
    EXPECT_EQ(d->get(str)->getId().number, 7);  // members carry their object's id
    // The FE FF form is UTF-16BE; a last odd byte is dropped.
    PdfName uni(WString(u"/Uni")), odd(WString(u"/Odd"));
    EXPECT_EQ(textOf(d->get(uni)), "AB");
    EXPECT_EQ(textOf(d->get(odd)), "AB");
}

// Whatever follows a dictionary or a lone number inside an array is folded
// like any other object: references stay references.
TEST(DocumentTest, ObjectsAfterDictionariesAreFolded) {
    Open f(fixture("sequences.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    const struct {
        const char16_t* key;
        int32_t count;
        int32_t refAt;
        int32_t refNumber;
    } cases[] = {
        {u"/AfterDict", 2, 1, 5},
        {u"/DictDict", 3, 2, 3},
        {u"/AfterNumber", 3, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WString(c.key).toLatin1());
        PdfArray* a = asArray(f.value(7, PdfName(WString(c.key))));
        ASSERT_NE(a, nullptr);
        ASSERT_EQ(a->count(), c.count);
        PdfObject* last = a->at(c.refAt);
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->kind(), kKindRef);
        EXPECT_EQ(latin1(last), "REF " + std::to_string(c.refNumber));
    }
}

// Subsection headers no file could hold are refused before anything is
// allocated or indexed from them; the chain ends there.
TEST(DocumentTest, HostileSubsectionsAreRefused) {
    for (const char* file : {"subsection_negative_first.pdf", "subsection_negative_count.pdf",
                             "subsection_overflow.pdf", "subsection_huge.pdf"}) {
        Open f(fixture(file));
        EXPECT_TRUE(f.doc->isValid()) << file;
        ASSERT_NE(f.doc->xrefTable(), nullptr) << file;
        EXPECT_EQ(f.doc->xrefTable()->count(), 7) << file;
        EXPECT_EQ(f.doc->trailer(), nullptr) << file;
    }
}

TEST(DocumentTest, DeepNestingIsBounded) {
    Open f(fixture("deep_nesting.pdf"));
    ASSERT_TRUE(f.doc->isValid());
    for (int32_t n : {7, 8, 9}) {
        ObjectRef o = f.doc->fetchObject(n);
        ASSERT_NE(o, nullptr) << n;
        EXPECT_TRUE(o->kind() == kKindArray || o->kind() == kKindDict) << n;
    }
}

// A stream factory that reads /Length as the stream object does.
std::vector<std::string> gLengths;
ObjectRef resolveLength(ObjectRef dict, InputStream*, const uint8_t*) {
    PdfDict* d = static_cast<PdfDict*>(dict.get());
    PdfObject* length = d->get(names::Length);
    gLengths.push_back(latin1(length ? length->direct() : nullptr));
    return dict;
}

TEST(DocumentTest, SelfReferencingLengthEnds) {
    StreamObjectFactory old = setStreamObjectFactory(resolveLength);
    {
        gLengths.clear();
        Open f(fixture("length_self.pdf"));
        PdfObject* seven = f.object(7);
        ASSERT_NE(seven, nullptr);
        // The nested fetch of 7 while 7 is read yields nothing.
        EXPECT_EQ(gLengths, (std::vector<std::string>{"(none)"}));
        // Nothing bogus stays in the cache: 7 resolves to the stream dict.
        EXPECT_EQ(f.doc->cachedObject(7), seven);
        EXPECT_EQ(seven->kind(), kKindDict);
    }
    {
        gLengths.clear();
        Open f(fixture("length_mutual.pdf"));
        ASSERT_NE(f.object(7), nullptr);
        // 7 needs 8, whose /Length names 7 (being read: nothing); 8 is then
        // the /Length of 7, a dictionary, not a number.
        EXPECT_EQ(gLengths.size(), 2u);
        EXPECT_EQ(gLengths[0], "(none)");
        ASSERT_NE(f.object(8), nullptr);
        EXPECT_EQ(f.object(8)->kind(), kKindDict);
    }
    setStreamObjectFactory(old);

    // The stream objects themselves: a /Length that cannot be had is no limit.
    for (const char* file : {"length_self.pdf", "length_mutual.pdf"}) {
        Open f(fixture(file));
        for (int32_t n : {7, 8}) {
            PdfObject* o = f.object(n);
            if (n == 8 && std::string(file) == "length_self.pdf")
                break;
            ASSERT_NE(o, nullptr) << file << " " << n;
            ASSERT_EQ(o->classKind(), kClassStream) << file << " " << n;
            EXPECT_EQ(static_cast<PdfStream*>(o)->length(), PdfStream::kNoLength)
                << file << " " << n;
        }
    }
}

TEST(DocumentTest, NewObjectsTakeFreeNumbers) {
    struct Case {
        const char* file;
        std::vector<int32_t> numbers;  // given to three new objects in turn
    } cases[] = {
        {"free_list.pdf", {7, 8, 10}},             // 0 -> 7 -> 8 -> 0; 9 is not linked
        {"free_list_bad_head.pdf", {7, 8, 9}},     // head outside the table
        {"free_list_in_use_head.pdf", {7, 8, 9}},  // head names an object in use
    };
    for (const Case& c : cases) {
        Open f(fixture(c.file));
        ASSERT_TRUE(f.doc->isValid()) << c.file;
        for (int32_t expected : c.numbers) {
            Ref<PdfNull> o = makeRef<PdfNull>();
            ASSERT_TRUE(f.doc->setCached(-1, o.get())) << c.file;
            EXPECT_EQ(o->getId().number, expected) << c.file;
            EXPECT_EQ(o->getId().generation, 0) << c.file;
            EXPECT_EQ(f.doc->offsetOf(expected), kXrefNew) << c.file;
        }
    }
    Open f(fixture("free_list.pdf"));
    EXPECT_FALSE(f.doc->setCached(-1, nullptr));
    EXPECT_FALSE(f.doc->setCached(100, nullptr));
}

// ---------------------------------------------------------------- encryption

const uint8_t* gSeenKey = nullptr;
ObjectRef noteKey(ObjectRef dict, InputStream*, const uint8_t* fileKey) {
    gSeenKey = fileKey;
    return dict;
}

TEST(DocumentTest, Rc4Passwords) {
    if (!testing::fileExists(fixture("rc4_user.pdf")))
        GTEST_SKIP() << "qpdf was not there to encrypt";
    enum Expect { kUser, kOwner, kWrong, kUnsupported };
    struct Case {
        const char* file;
        const char* password;  // null: only the constructor's own call
        Expect expect;
        uint32_t permissions;
    } cases[] = {
        // Empty user password: the open's own call accepts it.
        {"rc4_empty_user.pdf", nullptr, kUser, 0x7FFE},
        {"rc4_empty_user.pdf", "", kUser, 0x7FFE},
        {"rc4_empty_user.pdf", "owner", kOwner, 0xFFFE},
        // A wrong password after the empty one opened it refuses the open.
        {"rc4_empty_user.pdf", "wrong", kWrong, 0x7FFE},
        {"rc4_user.pdf", nullptr, kWrong, 0},
        {"rc4_user.pdf", "user", kUser, 0x7FFF},
        {"rc4_user.pdf", "owner", kOwner, 0xFFFF},
        {"rc4_user.pdf", "wrong", kWrong, 0},
        {"rc4_user.pdf", "", kWrong, 0},
        // A later revision is refused as unsupported, never as a wrong password.
        {"rc4_r3.pdf", nullptr, kUnsupported, 0},
        {"rc4_r3.pdf", "user", kUnsupported, 0},
    };
    for (const Case& c : cases) {
        std::string label = std::string(c.file) + " [" + (c.password ? c.password : "none") + "]";
        Open f(fixture(c.file));
        bool accepted = f.doc->isValid();
        if (c.password) {
            WString pw = WString::fromUtf8(c.password);
            accepted = f.doc->setupSecurity(&pw);
        }
        EXPECT_TRUE(f.doc->isEncrypted()) << label;
        switch (c.expect) {
            case kUser:
            case kOwner:
                EXPECT_TRUE(accepted) << label;
                EXPECT_TRUE(f.doc->isValid()) << label;
                EXPECT_EQ(f.doc->securityStatus(), SecurityStatus::kAccepted) << label;
                EXPECT_EQ(f.doc->passwordMatch(),
                          c.expect == kUser ? PasswordMatch::kUser : PasswordMatch::kOwner)
                    << label;
                break;
            case kWrong:
                EXPECT_FALSE(accepted) << label;
                EXPECT_EQ(f.doc->securityStatus(), SecurityStatus::kWrongPassword) << label;
                break;
            case kUnsupported:
                EXPECT_FALSE(accepted) << label;
                EXPECT_FALSE(f.doc->isValid()) << label;
                EXPECT_EQ(f.doc->securityStatus(), SecurityStatus::kUnsupported) << label;
                break;
        }
        EXPECT_EQ(f.doc->permissions(), c.permissions) << label;
    }
}

TEST(DocumentTest, Rc4StringsAreDecrypted) {
    if (!testing::fileExists(fixture("rc4_user.pdf")))
        GTEST_SKIP() << "qpdf was not there to encrypt";
    StreamObjectFactory old = setStreamObjectFactory(noteKey);
    for (const char* password : {"user", "owner"}) {
        Open f(fixture("rc4_user.pdf"));
        WString pw = WString::fromUtf8(password);
        ASSERT_TRUE(f.doc->setupSecurity(&pw)) << password;
        ASSERT_NE(f.doc->fileKey(), nullptr);
        PdfDict* info = asDict(f.trailerValue(names::Info));
        ASSERT_NE(info, nullptr) << password;
        EXPECT_EQ(textOf(info->get(names::Title)), "Plain title") << password;
        // The dictionary with the escaped string of plain.pdf decrypts, and
        // the stream objects are made with the file key.
        gSeenKey = nullptr;
        bool found = false;
        PdfName str(WString(u"/Str"));
        for (int32_t n = 1; n < f.doc->xrefTable()->count(); ++n) {
            PdfDict* d = asDict(f.object(n));
            if (d && d->get(str)) {
                EXPECT_EQ(textOf(d->get(str)), "a(b)c") << password;
                // Decrypted first, then read in the FE FF form.
                PdfName uni(WString(u"/Uni")), odd(WString(u"/Odd"));
                EXPECT_EQ(textOf(d->get(uni)), "AB") << password;
                EXPECT_EQ(textOf(d->get(odd)), "AB") << password;
                found = true;
            }
        }
        EXPECT_TRUE(found) << password;
        EXPECT_EQ(gSeenKey, f.doc->fileKey()) << password;
    }
    setStreamObjectFactory(old);
}

// ---------------------------------------------------------------- real-world files

TEST(DocumentTest, CorpusFilesOpenOrFailCleanly) {
    const std::string dir = testing::corpusDir();
    const std::vector<std::string> files = testing::corpusFiles();
    if (files.empty())
        GTEST_SKIP() << "no corpus at " << dir;

    // What the security handler makes of the encrypted ones.
    struct Encrypted {
        const char* file;
        const char* password;
        SecurityStatus status;
    } encrypted[] = {
        {"enc-R2,V1.pdf", "", SecurityStatus::kAccepted},
        {"enc-R2,V1,U=view,O=master.pdf", "", SecurityStatus::kWrongPassword},
        {"enc-R2,V1,U=view,O=master.pdf", "view", SecurityStatus::kAccepted},
        {"enc-R2,V1,U=view,O=master.pdf", "master", SecurityStatus::kAccepted},
        {"enc-R3,V2.pdf", "", SecurityStatus::kUnsupported},
        {"enc-R3,V2,U=view,O=master.pdf", "view", SecurityStatus::kUnsupported},
        {"encrypted-40-bit-R3.pdf", "", SecurityStatus::kUnsupported},
        {"V4.pdf", "", SecurityStatus::kUnsupported},
        {"V4-aes.pdf", "", SecurityStatus::kUnsupported},
        {"encrypted_doc_no_id.pdf", "", SecurityStatus::kMalformed},
    };
    for (const Encrypted& e : encrypted) {
        if (std::find(files.begin(), files.end(), e.file) == files.end())
            continue;
        Open f(dir + "/" + e.file);
        WString pw = WString::fromUtf8(e.password);
        f.doc->setupSecurity(&pw);
        EXPECT_EQ(int(f.doc->securityStatus()), int(e.status)) << e.file << " " << e.password;
    }

    // Every object of every file is read without a crash or a hang.
    for (const std::string& name : files) {
        Open f(testing::corpusFile(name));
        if (!f.doc->xrefTable())
            continue;
        int32_t count = std::min(f.doc->xrefTable()->count(), 5000);
        for (int32_t n = 0; n < count; ++n) {
            ObjectRef o = f.doc->fetchObject(n);
            EXPECT_NE(o, nullptr) << name << " " << n;
        }
    }
}

}  // namespace
}  // namespace vistrel
