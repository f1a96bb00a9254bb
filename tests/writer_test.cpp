// Saving trees into PDF files as incremental updates: the appended bytes,
// qpdf's view of every written file, encrypted documents, and writes that
// cannot go through (read-only file, full disk).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/doc/key_path.h"
#include "engine/parser/pdf_document.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using testing::readFile;
using testing::writeFile;

bool haveQpdf() {
    return std::system("qpdf --version >/dev/null 2>&1") == 0;
}

// qpdf --check, with a password for encrypted files; true when qpdf is absent.
bool qpdfCheck(const std::string& path, const std::string& password = "") {
    if (!haveQpdf())
        return true;
    std::string command = "qpdf --check ";
    if (!password.empty())
        command += "--password=" + password + " ";
    command += "'" + path + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    // Exit 3 is success with warnings; written updates must give none.
    return status == 0;
}

// A small document of ten object numbers (0 to 9): catalog 1, pages 2 and 3,
// content stream 4, font 5, info 6, and three small objects.
std::string tenObjectFile() {
    const char* objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one object on two lines
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        nullptr,
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Title (Ten) >>",
        "(seven)",
        "8",
        "null",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (int n = 1; n <= 9; ++n) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(n) + " 0 obj\n";
        if (n == 4) {
            const std::string content = "BT /F1 24 Tf 20 100 Td (Hi) Tj ET\n";
            pdf += "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                   "endstream";
        } else {
            pdf += objects[n - 1];
        }
        pdf += "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 10\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf +=
        "trailer\n<< /Size 10 /Root 1 0 R /Info 6 0 R /ID [<00112233445566778899aabbccddeeff>"
        "<0123456789abcdef0123456789abcdef>] >>\nstartxref\n" +
        std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// A test tree with texts inside and outside Latin-1.
struct Node : Storable {
    std::u16string name;
    std::vector<std::unique_ptr<Node>> kids;

    Node& add(std::u16string kidName) {
        kids.push_back(std::make_unique<Node>());
        kids.back()->name = std::move(kidName);
        return *kids.back();
    }
    static WString kidKey(size_t i) {
        WString number;
        number.fromInt(int32_t(i + 1));
        return u"Kid" + number;
    }
    bool save(TreeWriter& writer) override {
        if (!writer.putString(WString(u"Name"), WString(name.c_str())))
            return false;
        for (size_t i = 0; i < kids.size(); ++i) {
            if (!writer.putNode(kidKey(i), *kids[i]))
                return false;
        }
        return true;
    }
    bool load(TreeReader& reader) override {
        WString text;
        if (!reader.getString(WString(u"Name"), text))
            return false;
        name.assign(text.chars(), size_t(text.size()));
        for (size_t i = 0;; ++i) {
            auto kid = std::make_unique<Node>();
            if (!reader.getNode(kidKey(i), *kid))
                return true;
            kids.push_back(std::move(kid));
        }
    }
    std::u16string dump() const {
        std::u16string out = name + u"(";
        for (const auto& kid : kids)
            out += kid->dump();
        return out + u")";
    }
};

Node bookmarks() {
    Node root;
    root.name = u"Marks";
    root.add(u"Caf\u00e9 (p. 1)");
    root.add(u"\u041c\u0438\u0440 \u20ac").add(u"x\\y");
    return root;
}

// An open document over a file.
struct Opened {
    Opened(const std::string& path, const char* password = nullptr)
        : file(path),
          stream(std::make_unique<FileInputStream>(WideFromUtf8(path), 4096)),
          doc(std::make_unique<PdfDocument>(stream.get(), true)) {
        if (password) {
            WString pw = WString::fromUtf8(password);
            doc->setupSecurity(&pw);
        }
    }
    ~Opened() { doc.reset(); }
    int store(const char16_t* treeName, Storable& tree) {
        KeyPathWriter writer(doc.get(), WString::fromUtf8(file));
        if (!writer.put(WString(treeName), tree))
            return -100;
        return writer.save();
    }
    std::u16string load(const char16_t* treeName) {
        KeyPathReader reader(doc.get());
        Node node;
        return reader.get(WString(treeName), node) ? node.dump() : u"(none)";
    }

    std::string file;
    std::unique_ptr<FileInputStream> stream;
    std::unique_ptr<PdfDocument> doc;
};

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.ok());
        dir = tmp.dir().string();
        plain = dir + "/ten.pdf";
        original = tenObjectFile();
        writeFile(plain, original);
    }
    void TearDown() override {
        // A test may leave the file immutable; the folder goes with tmp.
        std::system(("chattr -i '" + plain + "' 2>/dev/null").c_str());
    }

    // An RC4 40-bit copy of the plain file made by qpdf; empty when qpdf is absent.
    std::string encrypted(const char* extra = "") {
        if (!haveQpdf())
            return "";
        const std::string out = dir + "/rc4.pdf";
        const std::string command =
            "qpdf --allow-weak-crypto --object-streams=disable --encrypt "
            "user owner 40 " +
            std::string(extra) + " -- '" + plain + "' '" + out + "' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 ? out : "";
    }

    testing::TempDir tmp{"vistrel-writer"};
    std::string dir, plain, original;
};

// The appended update, byte for byte: the catalog with /LumbraData, the new
// private dictionary as object 10, one subsection per written object and a
// trailer carrying /Info, /Root, /Prev and /ID over; then a second save that
// appends only the private dictionary, keeping the trees stored before.
TEST_F(WriterTest, FirstAndSecondSaveAppendExactlyTheUpdate) {
    Node tree = bookmarks();
    Opened opened(plain);
    ASSERT_TRUE(opened.doc->isValid());
    ASSERT_EQ(opened.store(u"BookMarks", tree), 1);

    const std::string first = readFile(plain);
    ASSERT_EQ(first.compare(0, original.size(), original), 0);
    const std::string update = first.substr(original.size());
    const size_t xrefAt = original.size() + update.find("xref\r");
    const std::string prev = std::to_string(original.find("\nxref\n") + 1);
    const size_t object10 = original.size() + update.find("10 0 obj");
    char lines[128];
    std::snprintf(lines, sizeof lines, "xref\r1 1\r%010zu 00000 n\r\n10 1\r%010zu 00000 n\r\n",
                  original.size(), object10);
    using namespace std::string_literals;
    const std::string expected =
        "1 0 obj\r<<\r/Type /Catalog \r/LumbraData 10 0 R \r/Pages 2 0 R \r>>\rendobj\r"
        "10 0 obj\r<<\r/Type /LumbraData \r/BookMarks <<\r/Kid2 <<\r"
        "/Name (\xfe\xff\x04\x1c\x04\x38\x04\x40\x00\x20\x20\xac) \r"s
        "/Kid1 <<\r/Name (x\\\\y) \r>> \r>> \r/Name (Marks) \r"
        "/Kid1 <<\r/Name (Caf\xe9 \\(p. 1\\)) \r>> \r>> \r>>\rendobj\r" +
        std::string(lines) + "trailer\r<<\r/Size 11\r/Info 6 0 R\r/Root 1 0 R\r/Prev " + prev +
        "\r/ID[<00112233445566778899aabbccddeeff><0123456789abcdef0123456789abcdef>]\r"
        ">>\rstartxref\r" +
        std::to_string(xrefAt) + "\r%%EOF\r";
    EXPECT_EQ(update, expected);
    EXPECT_TRUE(qpdfCheck(plain));

    Node other;
    other.name = u"Other";
    ASSERT_EQ(opened.store(u"Other", other), 1);
    const std::string second = readFile(plain).substr(first.size());
    const size_t secondXref = first.size() + second.find("xref\r");
    std::snprintf(lines, sizeof lines, "xref\r10 1\r%010zu 00000 n\r\n", first.size());
    EXPECT_EQ(second.substr(0, 9), "10 0 obj\r");
    EXPECT_NE(second.find("/BookMarks <<"), std::string::npos);
    EXPECT_NE(second.find(std::string(lines) +
                          "trailer\r<<\r/Size 11\r/Info 6 0 R\r/Root 1 0 R\r"
                          "/Prev " +
                          std::to_string(xrefAt) + "\r"),
              std::string::npos);
    EXPECT_EQ(second.substr(second.size() - 17 - std::to_string(secondXref).size()),
              "startxref\r" + std::to_string(secondXref) + "\r%%EOF\r");
    EXPECT_TRUE(qpdfCheck(plain));

    Opened reopened(plain);
    EXPECT_EQ(reopened.load(u"BookMarks"), tree.dump());
    EXPECT_EQ(reopened.load(u"Other"), u"Other()");
}

TEST_F(WriterTest, NothingToStoreWritesNothing) {
    Opened opened(plain);
    KeyPathWriter writer(opened.doc.get(), WString::fromUtf8(plain));
    EXPECT_EQ(writer.save(), 0);
    EXPECT_EQ(readFile(plain), original);

    Node tree = bookmarks();
    KeyPathWriter once(opened.doc.get(), WString::fromUtf8(plain));
    ASSERT_TRUE(once.put(WString(u"B"), tree));
    ASSERT_EQ(once.save(), 1);
    const std::string after = readFile(plain);
    EXPECT_EQ(once.save(), 0);
    EXPECT_FALSE(once.put(WString(u"C"), tree));
    EXPECT_EQ(readFile(plain), after);
}

// Encrypted documents: every string comes out under the key of the object
// that holds it, on the first save and on a merge into the stored dictionary.
// qpdf decrypts the result, and the decrypted copy reads back the same trees.
TEST_F(WriterTest, EncryptedDocumentsWriteStringsUnderTheirObjectKeys) {
    const std::string rc4 = encrypted();
    if (rc4.empty())
        GTEST_SKIP() << "qpdf is not installed";
    Node tree = bookmarks();
    Node other;
    other.name = u"\u00c5ngstr\u00f6m \u2192 2";
    {
        Opened opened(rc4, "user");
        ASSERT_TRUE(opened.doc->isValid());
        ASSERT_TRUE(opened.doc->isEncrypted());
        const std::string before = readFile(rc4);
        ASSERT_EQ(opened.store(u"BookMarks", tree), 1);
        const std::string update = readFile(rc4).substr(before.size());
        EXPECT_EQ(update.find("Caf"), std::string::npos);  // not in the clear
        EXPECT_NE(update.find("/Encrypt "), std::string::npos);
        EXPECT_TRUE(qpdfCheck(rc4, "user"));
        ASSERT_EQ(opened.store(u"Other", other), 1);
        EXPECT_TRUE(qpdfCheck(rc4, "user"));
    }
    {
        Opened reopened(rc4, "user");
        EXPECT_EQ(reopened.load(u"BookMarks"), tree.dump());
        EXPECT_EQ(reopened.load(u"Other"), other.dump());
    }
    const std::string decrypted = dir + "/decrypted.pdf";
    ASSERT_EQ(std::system(("qpdf --password=user --decrypt '" + rc4 + "' '" + decrypted +
                           "' >/dev/null 2>&1")
                              .c_str()),
              0);
    Opened clear(decrypted);
    EXPECT_FALSE(clear.doc->isEncrypted());
    EXPECT_EQ(clear.load(u"BookMarks"), tree.dump());
    EXPECT_EQ(clear.load(u"Other"), other.dump());
}

// An /Encrypt dictionary written directly in the trailer stays a direct
// dictionary in the update, its strings as they were.
TEST_F(WriterTest, DirectEncryptDictionaryStaysInline) {
    const std::string rc4 = encrypted();
    if (rc4.empty())
        GTEST_SKIP() << "qpdf is not installed";
    std::string bytes = readFile(rc4);
    const size_t trailerAt = bytes.rfind("trailer");
    const size_t refAt = bytes.find("/Encrypt ", trailerAt);
    const size_t refEnd = bytes.find(" R", refAt);
    const size_t dictAt = bytes.find("<< /Filter /Standard");
    ASSERT_TRUE(trailerAt != std::string::npos && refAt != std::string::npos &&
                refEnd != std::string::npos && dictAt != std::string::npos);
    const std::string dict = bytes.substr(dictAt, bytes.find(">>", dictAt) + 2 - dictAt);
    // The trailer follows the cross-reference section: no offset moves.
    bytes.replace(refAt, refEnd + 2 - refAt, "/Encrypt " + dict);
    writeFile(rc4, bytes);
    ASSERT_TRUE(qpdfCheck(rc4, "user"));

    Node tree = bookmarks();
    {
        Opened opened(rc4, "user");
        ASSERT_TRUE(opened.doc->isValid());
        ASSERT_EQ(opened.store(u"BookMarks", tree), 1);
    }
    const std::string update = readFile(rc4).substr(bytes.size());
    const size_t inlineAt = update.find("/Encrypt <<");
    ASSERT_NE(inlineAt, std::string::npos);
    EXPECT_NE(update.find("/O ", inlineAt), std::string::npos) << update.substr(inlineAt);
    EXPECT_TRUE(qpdfCheck(rc4, "user"));
    Opened reopened(rc4, "user");
    EXPECT_EQ(reopened.load(u"BookMarks"), tree.dump());
}

TEST_F(WriterTest, ModificationNotPermittedWritesNothing) {
    const std::string rc4 = encrypted("--modify=n");
    if (rc4.empty())
        GTEST_SKIP() << "qpdf is not installed";
    const std::string before = readFile(rc4);
    Opened opened(rc4, "user");
    ASSERT_TRUE(opened.doc->isValid());
    Node tree = bookmarks();
    EXPECT_EQ(opened.store(u"BookMarks", tree), 0);
    EXPECT_EQ(readFile(rc4), before);
}

// A file that cannot be opened for writing: -1 and no change, in the file or
// in memory; once it can be written, the next save writes the whole update.
TEST_F(WriterTest, ReadOnlyFileThenWritable) {
    const bool root = geteuid() == 0;
    const std::string lock =
        root ? "chattr +i '" + plain + "' 2>/dev/null" : "chmod 0444 '" + plain + "'";
    const std::string unlock = root ? "chattr -i '" + plain + "'" : "chmod 0644 '" + plain + "'";
    Opened opened(plain);
    if (std::system(lock.c_str()) != 0)
        GTEST_SKIP() << "cannot make the file read-only here";
    Node tree = bookmarks();
    EXPECT_EQ(opened.store(u"BookMarks", tree), -1);
    ASSERT_EQ(std::system(unlock.c_str()), 0);
    EXPECT_EQ(readFile(plain), original);
    EXPECT_FALSE(opened.doc->privateData());
    EXPECT_EQ(opened.doc->xrefTable()->count(), 10);

    ASSERT_EQ(opened.store(u"BookMarks", tree), 1);
    const std::string update = readFile(plain).substr(original.size());
    EXPECT_EQ(update.substr(0, 8), "1 0 obj\r");
    EXPECT_NE(update.find("10 0 obj\r"), std::string::npos);
    EXPECT_TRUE(qpdfCheck(plain));
    Opened reopened(plain);
    EXPECT_EQ(reopened.load(u"BookMarks"), tree.dump());

    Opened missing(plain);
    std::remove(plain.c_str());
    EXPECT_EQ(missing.store(u"BookMarks", tree), -1);
}

// A full disk, simulated by a file-size limit in a child process: every
// point of failure (an object, the cross-reference section, the trailer)
// gives -2 with the file cut back; after the limit is lifted the same open
// document writes a complete update.
TEST_F(WriterTest, FullDiskCutsBackAndTheNextSaveIsComplete) {
    // Inside the catalog, the private dictionary, the cross-reference section
    // and the trailer.
    const size_t limits[] = {10, 100, 270, 330};
    for (size_t extra : limits) {
        SCOPED_TRACE(extra);
        writeFile(plain, original);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            int code = 0;
            {
                Opened opened(plain);
                Node tree = bookmarks();
                rlimit limit;
                getrlimit(RLIMIT_FSIZE, &limit);
                rlimit small = limit;
                small.rlim_cur = original.size() + extra;
                setrlimit(RLIMIT_FSIZE, &small);
                const int failed = opened.store(u"BookMarks", tree);
                struct stat st;
                ::stat(plain.c_str(), &st);
                setrlimit(RLIMIT_FSIZE, &limit);
                if (failed != -2)
                    code |= 1;
                if (size_t(st.st_size) != original.size())
                    code |= 2;
                if (opened.doc->privateData() || opened.doc->xrefTable()->count() != 10)
                    code |= 4;
                if (opened.store(u"BookMarks", tree) != 1)
                    code |= 8;
            }
            _exit(code);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(qpdfCheck(plain));
        Opened reopened(plain);
        EXPECT_EQ(reopened.load(u"BookMarks"), bookmarks().dump());
    }
}

// A document whose file another writer changed since it was read writes
// nothing over that change: neither after another update (from a second
// document on the same file) nor over a file of the same length whose last
// cross-reference offset differs. A document that reads the file again
// stores its tree after the other's.
TEST_F(WriterTest, AFileChangedSinceItWasReadIsNotWritten) {
    Node mine;
    mine.name = u"Mine";
    Node theirs;
    theirs.name = u"Theirs";
    {
        Opened first(plain);
        Opened second(plain);
        ASSERT_EQ(first.store(u"Theirs", theirs), 1);
        const std::string after = readFile(plain);
        EXPECT_EQ(second.store(u"Mine", mine), -3);
        EXPECT_EQ(readFile(plain), after);
        EXPECT_FALSE(second.doc->privateData());
        EXPECT_EQ(second.store(u"Mine", mine), -3);
    }
    Opened again(plain);
    ASSERT_EQ(again.store(u"Mine", mine), 1);
    EXPECT_TRUE(qpdfCheck(plain));
    Opened reopened(plain);
    EXPECT_EQ(reopened.load(u"Theirs"), u"Theirs()");
    EXPECT_EQ(reopened.load(u"Mine"), u"Mine()");

    // The same length, another offset after the last "startxref".
    writeFile(plain, original);
    Opened stale(plain);
    std::string rewritten = original;
    const size_t digit = rewritten.rfind("\n%%EOF") - 1;
    rewritten[digit] = rewritten[digit] == '1' ? '2' : '1';
    writeFile(plain, rewritten);
    EXPECT_EQ(stale.store(u"Mine", mine), -3);
    EXPECT_EQ(readFile(plain), rewritten);
}

// Four processes store 30 trees each into one file, each save from a
// document opened afresh. Every save either stores its tree or finds the
// file changed under it and writes nothing; every stored tree is there
// afterwards and qpdf finds the file sound.
TEST_F(WriterTest, ProcessesSavingAtOnceLoseNoTree) {
    constexpr int kProcesses = 4;
    constexpr int kSaves = 30;
    auto treeName = [](int process, int save) {
        return u"P" + std::u16string(1, char16_t(u'0' + process)) + u"S" +
               std::u16string(1, char16_t(u'A' + save));
    };
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int other = 0;
            std::string stored;
            for (int i = 0; i < kSaves; ++i) {
                Node tree;
                tree.name = treeName(p, i);
                Opened opened(plain);
                const int result = opened.store(tree.name.c_str(), tree);
                if (result == 1)
                    stored += char('A' + i);
                else if (result != -3)
                    ++other;
            }
            writeFile(dir + "/stored-" + std::to_string(p), stored);
            _exit(other);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);  // no other result than 1 or -3
    }
    EXPECT_TRUE(qpdfCheck(plain));
    Opened reopened(plain);
    size_t total = 0;
    for (int p = 0; p < kProcesses; ++p) {
        const std::string stored = readFile(dir + "/stored-" + std::to_string(p));
        total += stored.size();
        for (char save : stored) {
            const std::u16string name = treeName(p, save - 'A');
            EXPECT_EQ(reopened.load(name.c_str()), name + u"()");
        }
    }
    EXPECT_GT(total, 0u);
    std::printf("%zu of %d saves stored their tree\n", total, kProcesses * kSaves);
}

// The update text that adds object 11 to a file holding the ten objects and
// the private dictionary 10: the object, its cross-reference section and a
// trailer whose /Prev is the file's last section.
std::string objectElevenUpdate(const std::string& file, const std::string& object) {
    const size_t key = file.rfind("startxref");
    const std::string prev = std::to_string(std::stoll(file.substr(key + 10)));
    const std::string body = "11 0 obj\r" + object + "\rendobj\r";
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", file.size());
    return body + "xref\r11 1\r" + entry + "trailer\r<<\r/Size 12\r/Root 1 0 R\r/Prev " + prev +
           "\r>>\rstartxref\r" + std::to_string(file.size() + body.size()) + "\r%%EOF\r";
}

// A save killed on its way leaves an unfinished update after the last
// complete one. The next save cuts it off and starts at the end of the last
// update the document read: the file is that update and the new one, qpdf
// finds it sound and every tree is there. A "%%EOF" or "startxref" inside a
// stream does not move that end; white space after it, anything after a
// later "startxref", and bytes that are not this writer's (a text line, an
// update with other line ends, a header cut short) stay, the update on a line
// of its own after them.
TEST_F(WriterTest, AnUnfinishedUpdateIsCutOffByTheNextSave) {
    Node before;
    before.name = u"Before";
    {
        Opened opened(plain);
        ASSERT_EQ(opened.store(u"Before", before), 1);
    }
    const std::string complete = readFile(plain);
    // A complete update holding a stream with "%%EOF" and "startxref" inside.
    const std::string data = "%%EOF\rstartxref\r5\r%%EOF\r";
    const std::string withStream =
        complete + objectElevenUpdate(complete, "<< /Length " + std::to_string(data.size()) +
                                                    " >>\rstream\r\n" + data + "\rendstream");
    // An update killed just before the last byte of its "%%EOF".
    std::string almost;
    {
        writeFile(plain, complete);
        Opened opened(plain);
        Node middle;
        middle.name = u"Middle";
        ASSERT_EQ(opened.store(u"Middle", middle), 1);
        almost = readFile(plain);
        almost.resize(almost.size() - 2);
    }
    const std::string pad(1500, 'x');
    const struct {
        const char* name;
        std::string file;  // the last complete update or what the reader takes as one
        std::string tail;
        bool cut;
        const char16_t* extra;  // a tree of the file besides "Before"
        const char* lineEnd = "";  // written between the kept bytes and the update
    } cases[] = {
        {"objects over 1 KB", complete, "11 0 obj\r<< /Pad (" + pad, true, nullptr},
        {"in its cross-reference section", complete, "11 0 obj\r(x)\rendobj\rxref\r11 1\r000", true,
         nullptr},
        {"in its trailer", complete,
         "11 0 obj\r(x)\rendobj\rxref\r11 1\r0000000000 00000 n\r\ntrailer\r<<\r/Size 12\r/Ro",
         true, nullptr},
        {"in a stream holding %%EOF", complete,
         "11 0 obj\r<< /Length 300 >>\rstream\r\n%%EOF\r\n" + pad, true, nullptr},
        {"after a stream holding %%EOF", withStream, "12 0 obj\r(" + pad, true, nullptr},
        {"after blank lines", complete + "\r\n\r\n", "11 0 obj\r(x)\rendobj\r", true, nullptr},
        {"white space only", complete, "\r\n \r\n", false, nullptr},
        {"with a startxref", complete, "11 0 obj\r(startxref)\rendobj\r", false, nullptr},
        {"inside its %%EOF", almost, "", false, u"Middle"},
        {"a text line", complete, "Sent by the mail gateway\n", false, nullptr},
        {"a text line without its end", complete, "\n% checked", false, nullptr, "\r"},
        {"another writer's object", complete, "11 0 obj\r\n(x)\r\nendobj\r\n", false, nullptr},
        {"another writer's object with LF", complete, "11 0 obj\n(" + pad, false, nullptr, "\r"},
        {"a header cut short", complete, "11 0 ob", false, nullptr, "\r"},
    };
    Node after;
    after.name = u"After";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(plain, c.file + c.tail);
        {
            Opened opened(plain);
            ASSERT_TRUE(opened.doc->isValid());
            ASSERT_EQ(opened.store(u"After", after), 1);
            // The same document stores again after the cut.
            ASSERT_EQ(opened.store(u"Again", after), 1);
        }
        const std::string written = readFile(plain);
        const std::string kept = c.cut ? c.file : c.file + c.tail;
        ASSERT_GT(written.size(), kept.size());
        EXPECT_EQ(written.compare(0, kept.size(), kept), 0);
        const std::string lineEnd = c.lineEnd;
        EXPECT_EQ(written.substr(kept.size(), lineEnd.size() + 8), lineEnd + "10 0 obj");
        EXPECT_TRUE(qpdfCheck(plain));
        Opened reopened(plain);
        EXPECT_EQ(reopened.load(u"Before"), u"Before()");
        EXPECT_EQ(reopened.load(u"After"), u"After()");
        EXPECT_EQ(reopened.load(u"Again"), u"After()");
        if (c.extra) {
            EXPECT_EQ(reopened.load(c.extra), std::u16string(c.extra) + u"()");
        }
    }
}

}  // namespace
}  // namespace vistrel
