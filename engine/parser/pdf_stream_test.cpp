#include "engine/parser/pdf_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/codec/filter_stream.h"
#include "engine/parser/support_streams.h"
#include "tests/support/byte_input.h"

#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using testing::ByteInput;

ObjectRef name(const char* text) {
    return ObjectRef::adopt(new PdfName(WString::fromLatin1(text)));
}
ObjectRef number(int value) {
    return ObjectRef::adopt(new PdfNumber(int32_t(value)));
}
ObjectRef real(double value) {
    return ObjectRef::adopt(new PdfNumber(value));
}
ObjectRef null() {
    return ObjectRef::adopt(new PdfNull);
}

ObjectRef array(std::vector<ObjectRef> items) {
    auto* a = new PdfArray;
    for (ObjectRef& item : items)
        a->append(std::move(item));
    return ObjectRef::adopt(a);
}

Ref<PdfDict> dict(const std::vector<std::pair<const char*, ObjectRef>>& entries) {
    Ref<PdfDict> d = Ref<PdfDict>::adopt(new PdfDict);
    for (const auto& [key, value] : entries)
        d->put(name(key), value);
    return d;
}

std::string deflate(const std::string& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), 9);
    out.resize(size);
    return out;
}

std::string ascii85(const std::string& data) {
    std::string out;
    size_t i = 0;
    for (; i + 4 <= data.size(); i += 4) {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = (v << 8) | uint8_t(data[i + k]);
        char group[5];
        for (int k = 4; k >= 0; --k) {
            group[k] = char('!' + v % 85);
            v /= 85;
        }
        out.append(group, 5);
    }
    size_t rest = data.size() - i;
    if (rest) {
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k)
            v = (v << 8) | (k < rest ? uint8_t(data[i + k]) : 0);
        char group[5];
        for (int k = 4; k >= 0; --k) {
            group[k] = char('!' + v % 85);
            v /= 85;
        }
        out.append(group, rest + 1);
    }
    return out + "~>";
}

std::string hex(const std::string& data) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : data) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + ">";
}

// A file image "<prefix>" + data + "\nendstream": the stream's data starts at
// the end of the prefix.
struct RawFile {
    explicit RawFile(const std::string& data, const std::string& prefix = "1 0 obj <<>> stream\r\n")
        : in(prefix + data + "\nendstream\nendobj\n"), start(prefix.size()) {
        in.skip(start);
    }
    ByteInput in;
    size_t start;
};

std::string readAll(PdfStream& s) {
    std::string out;
    char buffer[100];
    for (int64_t n; (n = s.read(buffer, sizeof buffer)) > 0;)
        out.append(buffer, size_t(n));
    return out;
}

const std::string kText = "BT /F1 12 Tf 72 712 Td (A stream of page content) Tj ET\n";

TEST(PdfStreamTest, FilterNamesAndAbbreviations) {
    struct Case {
        const char* what;
        ObjectRef filter;
        std::string data;
    };
    std::vector<Case> cases;
    cases.push_back({"no filter", nullptr, kText});
    for (const char* f : {"/FlateDecode", "/Fl"})
        cases.push_back({f, name(f), deflate(kText)});
    for (const char* f : {"/ASCII85Decode", "/A85"})
        cases.push_back({f, name(f), ascii85(kText)});
    for (const char* f : {"/ASCIIHexDecode", "/AHx"})
        cases.push_back({f, name(f), hex(kText)});
    for (const char* f : {"/RunLengthDecode", "/RL"})
        cases.push_back({f, name(f), std::string(1, char(kText.size() - 1)) + kText + "\x80"});
    for (const char* f : {"/LZWDecode", "/LZW"})  // "-----A---B"
        cases.push_back({f, name(f), "\x80\x0B\x60\x50\x22\x0C\x0C\x85\x01"});
    cases.push_back(
        {"chain", array({name("/AHx"), name("/A85"), name("/Fl")}), hex(ascii85(deflate(kText)))});
    cases.push_back({"one-element array", array({name("/Fl")}), deflate(kText)});

    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawFile raw(c.data);
        std::vector<std::pair<const char*, ObjectRef>> entries = {
            {"/Length", number(int(c.data.size()))}};
        if (c.filter)
            entries.push_back({"/Filter", c.filter});
        Ref<PdfDict> d = dict(entries);
        Ref<PdfStream> s = makePlainStream(*d, &raw.in, nullptr);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->kind(), kKindDict);
        EXPECT_EQ(s->classKind(), kClassStream);
        ASSERT_TRUE(s->open());
        std::string expected =
            std::string(c.what).find("LZW") != std::string::npos ? "-----A---B" : kText;
        EXPECT_EQ(readAll(*s), expected);
        EXPECT_EQ(s->getByte(), kEndOfData);
        s->close();
    }
}

TEST(PdfStreamTest, LengthLimitsTheRawData) {
    struct Case {
        ObjectRef length;
        std::string expected;
    };
    const std::string data = "0123456789";
    Case cases[] = {
        {number(4), "0123"},
        {nullptr, data + "\nendstream\nendobj\n"},  // no limit without /Length
        {name("/Four"), data + "\nendstream\nendobj\n"},
        {number(-1), data + "\nendstream\nendobj\n"},
        {number(-7), ""},  // never a huge limit
        {real(3.9), "012"},
    };
    for (Case& c : cases) {
        RawFile raw(data);
        std::vector<std::pair<const char*, ObjectRef>> entries;
        if (c.length)
            entries.push_back({"/Length", c.length});
        Ref<PdfStream> s = makePlainStream(*dict(entries), &raw.in, nullptr);
        ASSERT_TRUE(s->open());
        EXPECT_EQ(readAll(*s), c.expected);
        s->close();
    }
}

// Text in PNG predictor rows of the given width, each with the Sub filter.
std::string pngSubRows(const std::string& text, size_t columns) {
    std::string out;
    for (size_t i = 0; i < text.size(); i += columns) {
        out += '\x01';
        for (size_t j = i; j < std::min(text.size(), i + columns); ++j)
            out += char(text[j] - (j > i ? text[j - 1] : 0));
    }
    return out;
}

TEST(PdfStreamTest, DecodeParmsReachEachLink) {
    std::string packed = ascii85(deflate(pngSubRows(kText, 5)));
    RawFile raw(packed);
    Ref<PdfDict> d =
        dict({{"/Length", number(int(packed.size()))},
              {"/Filter", array({name("/ASCII85Decode"), name("/FlateDecode")})},
              {"/DecodeParms",
               array({null(), dict({{"/Predictor", number(12)}, {"/Columns", number(5)}})})}});
    Ref<PdfStream> s = makePlainStream(*d, &raw.in, nullptr);
    ASSERT_TRUE(s->open());
    const FilterChain* chain = s->chain();
    ASSERT_NE(chain, nullptr);
    ASSERT_EQ(chain->linkCount(), 2u);
    ASSERT_NE(chain->link(0)->parameters(), nullptr);
    EXPECT_EQ(chain->link(0)->parameters()->count(), 0u);
    ASSERT_NE(chain->link(1)->parameters(), nullptr);
    EXPECT_EQ(chain->link(1)->parameters()->get(u"/Predictor"), 12);
    EXPECT_EQ(chain->link(1)->parameters()->get(u"/Columns"), 5);
    EXPECT_EQ(readAll(*s), kText);  // the Flate link undoes the predictor
    s->close();
    EXPECT_EQ(s->chain(), nullptr);
}

// A stream object with /Filter [/FlateDecode /CCF] and its /DecodeParms: the
// chain hands the CCITT link its parameters, and the image comes out as the
// PBM fixture shows it (1 bits black, row padding 1 under /BlackIs1).
TEST(PdfStreamTest, CcittLinkGetsItsDecodeParms) {
    auto slurp = [](const char* name) {
        return testing::readFile(testing::sourcePath(std::string("tests/fixtures/ccitt/") + name));
    };
    const std::string pbm = slurp("odd.pbm");
    std::istringstream header(pbm);
    std::string magic;
    int width = 0, height = 0;
    header >> magic >> width >> height;
    header.get();
    const std::string bits = pbm.substr(size_t(header.tellg()));
    const std::string packed = deflate(slurp("odd.g4"));
    RawFile raw(packed);
    Ref<PdfStream> s = makePlainStream(
        *dict({{"/Length", number(int(packed.size()))},
               {"/Filter", array({name("/FlateDecode"), name("/CCF")})},
               {"/DecodeParms",
                array({null(), dict({{"/K", number(-1)},
                                     {"/Columns", number(width)},
                                     {"/BlackIs1", ObjectRef::adopt(new PdfBoolean(true))}})})}}),
        &raw.in, nullptr);
    ASSERT_TRUE(s->open());
    const int rowBytes = (width + 7) / 8;
    std::string out(size_t(rowBytes * height), '\0');
    ASSERT_EQ(s->read(reinterpret_cast<uint8_t*>(out.data()), out.size()), int64_t(out.size()));
    s->close();
    ASSERT_EQ(bits.size(), out.size());
    const uint8_t lastMask = uint8_t(0xFF >> (width % 8 ? width % 8 : 8));
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < rowBytes; ++i) {
            const size_t at = size_t(y) * size_t(rowBytes) + size_t(i);
            const uint8_t padding = i + 1 == rowBytes ? lastMask : 0;
            EXPECT_EQ(uint8_t(out[at]), uint8_t(bits[at]) | padding)
                << "row " << y << " byte " << i;
        }
    }
}

TEST(PdfStreamTest, ReadDecodeParmsKeepsNumbersAndBooleans) {
    Ref<PdfDict> d = dict({{"/K", number(-1)},
                           {"/Columns", real(1728.9)},
                           {"/BlackIs1", ObjectRef::adopt(new PdfBoolean(true))},
                           {"/EndOfBlock", ObjectRef::adopt(new PdfBoolean(false))},
                           {"/Name", name("/X")}});
    std::unique_ptr<FilterParams> p(PdfStream::readDecodeParms(d.get()));
    EXPECT_EQ(p->count(), 4u);
    EXPECT_EQ(p->get(u"/K"), -1);
    EXPECT_EQ(p->get(u"/Columns"), 1728);
    EXPECT_EQ(p->get(u"/BlackIs1"), 1);
    EXPECT_TRUE(p->contains(u"/EndOfBlock"));
    EXPECT_EQ(p->get(u"/EndOfBlock", 7), 0);
    EXPECT_FALSE(p->contains(u"/Name"));
    std::unique_ptr<FilterParams> empty(PdfStream::readDecodeParms(nullptr));
    EXPECT_EQ(empty->count(), 0u);
}

TEST(PdfStreamTest, BadChainsFailForGood) {
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, ObjectRef>> extra;
    };
    Case cases[] = {
        {"unknown filter", {{"/Filter", name("/JBIG2Decode")}}},
        {"unknown filter after a known one",
         {{"/Filter", array({name("/Fl"), name("/JPXDecode")})}}},
        {"filter of a wrong kind", {{"/Filter", number(3)}}},
        {"null in the filter array", {{"/Filter", array({name("/Fl"), null()})}}},
        {"decode parameters of a wrong kind",
         {{"/Filter", name("/Fl")}, {"/DecodeParms", number(1)}}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawFile raw("xyz");
        raw.in.getByte();  // the file position is elsewhere when the open is tried
        uint64_t before = raw.in.position();
        c.extra.push_back({"/Length", number(3)});
        Ref<PdfStream> s = makePlainStream(*dict(c.extra), &raw.in, nullptr);
        ASSERT_TRUE(s);
        EXPECT_TRUE(s->usable());
        EXPECT_FALSE(s->open());
        EXPECT_FALSE(s->usable());
        EXPECT_EQ(raw.in.position(), before);
        EXPECT_FALSE(s->open());
        EXPECT_EQ(s->getByte(), kEndOfData);
        uint8_t b[4];
        EXPECT_EQ(s->read(b, 4), 0);
        EXPECT_EQ(s->refCount(), 1u);  // a failed open keeps no reference
    }
}

TEST(PdfStreamTest, UnusableWithoutAnOpenRawStream) {
    ByteInput closed(std::string("abc"));
    closed.close();
    Ref<PdfDict> d = dict({{"/Length", number(3)}});
    for (InputStream* raw :
         {static_cast<InputStream*>(nullptr), static_cast<InputStream*>(&closed)}) {
        Ref<PdfStream> s = makePlainStream(*d, raw, nullptr);
        ASSERT_TRUE(s);
        EXPECT_FALSE(s->usable());
        EXPECT_FALSE(s->open());
        EXPECT_EQ(s->getByte(), kEndOfData);
        EXPECT_EQ(s->size(), 0u);
    }
}

TEST(PdfStreamTest, EncryptedStreamDecryptsBeforeEveryFilter) {
    const uint8_t fileKey[kFileKeyLength] = {0x11, 0x22, 0x33, 0x44, 0x55};
    uint8_t objectKey[16];
    computeObjectKey(fileKey, 7, 0, objectKey);
    std::string data = deflate(kText);
    Rc4Context rc4;
    Rc4SetKey(rc4, objectKey, kObjectKeyLength);
    Rc4Crypt(rc4, reinterpret_cast<uint8_t*>(data.data()), data.size());

    RawFile raw(data);
    Ref<PdfDict> d =
        dict({{"/Length", number(int(data.size()))}, {"/Filter", name("/FlateDecode")}});
    d->setId(7, 0, true);
    Ref<PdfStream> s = makePlainStream(*d, &raw.in, fileKey);
    ASSERT_TRUE(s->hasObjectKey());
    EXPECT_EQ(std::memcmp(s->objectKey(), objectKey, 16), 0);
    ASSERT_TRUE(s->open());
    EXPECT_TRUE(s->chain()->hasRc4Link());
    EXPECT_EQ(readAll(*s), kText);
    s->close();
}

TEST(PdfStreamTest, CloseRestoresThePositionSoStreamsNest) {
    // Two streams over one file: the inner one is opened, read and closed while
    // the outer one is open, and the outer one goes on where it stopped.
    // Enough data that the outer Flate link must come back to the file for more.
    std::string outerText;
    uint32_t x = 5;
    while (outerText.size() < 6000) {
        x = x * 1103515245u + 12345u;
        outerText += char('a' + (x >> 16) % 26);
    }
    std::string outerData = deflate(outerText);
    ASSERT_GT(outerData.size(), 2000u);
    std::string innerData = hex("form content");
    std::string file =
        "<< >> stream\n" + outerData + "\nendstream\n<< >> stream\n" + innerData + "\nendstream\n";
    ByteInput in(file);
    size_t outerStart = 13;
    size_t innerStart = file.find(" stream\n", outerStart + outerData.size()) + 8;
    in.skip(outerStart);
    Ref<PdfStream> outer = makePlainStream(
        *dict({{"/Length", number(int(outerData.size()))}, {"/Filter", name("/Fl")}}), &in,
        nullptr);
    in.skip(innerStart - in.position());
    Ref<PdfStream> inner = makePlainStream(
        *dict({{"/Length", number(int(innerData.size()))}, {"/Filter", name("/AHx")}}), &in,
        nullptr);
    in.seek(3);

    ASSERT_TRUE(outer->open());
    std::string got;
    for (int i = 0; i < 10; ++i)
        got += char(outer->getByte());
    ASSERT_TRUE(inner->open());
    EXPECT_EQ(readAll(*inner), "form content");
    inner->close();
    got += readAll(*outer);
    EXPECT_EQ(got, outerText);
    outer->close();
    EXPECT_EQ(in.position(), 3u);
}

TEST(PdfStreamTest, OpenHoldsAReferenceUntilClose) {
    RawFile raw(kText);
    Ref<PdfStream> s =
        makePlainStream(*dict({{"/Length", number(int(kText.size()))}}), &raw.in, nullptr);
    PdfStream* p = s.get();
    ASSERT_TRUE(p->open());
    EXPECT_EQ(p->refCount(), 2u);
    s.reset();  // the reader gives its reference back and reads on
    EXPECT_EQ(p->getByte(), 'B');
    EXPECT_EQ(p->size(), kText.size());
    EXPECT_EQ(p->position(), 1u);
    p->unread('B');
    EXPECT_EQ(p->getByte(), 'B');
    p->close();  // destroys the stream (the sanitizers check)
}

TEST(PdfStreamTest, ReopenStartsAtTheBeginning) {
    std::string data = deflate(kText);
    RawFile raw(data);
    Ref<PdfStream> s = makePlainStream(
        *dict({{"/Length", number(int(data.size()))}, {"/Filter", name("/Fl")}}), &raw.in, nullptr);
    ASSERT_TRUE(s->open());
    EXPECT_EQ(s->getByte(), 'B');
    ASSERT_TRUE(s->open());  // closes first
    EXPECT_EQ(readAll(*s), kText);
    s->close();
    s->close();  // a second close changes nothing
    EXPECT_EQ(s->refCount(), 1u);
}

TEST(PdfStreamTest, TextFormsAreTheDictionarys) {
    RawFile raw("abc");
    Ref<PdfDict> d = dict({{"/Length", number(3)}});
    Ref<PdfStream> s = makePlainStream(*d, &raw.in, nullptr);
    EXPECT_EQ(s->text().view(), d->text().view());
    EXPECT_EQ(s->typeName().view(), std::u16string(d->typeName().view()) + u"stream");
    EXPECT_EQ(s->entryCount(), 1);
    EXPECT_EQ(asStream(s.get()), s.get());
    EXPECT_EQ(asDict(s.get()), s.get());
    EXPECT_EQ(asStream(d.get()), nullptr);
    EXPECT_EQ(asStream(nullptr), nullptr);
}

}  // namespace
}  // namespace vistrel
