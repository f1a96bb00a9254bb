// vistrel-inspect: a thin command-line driver over the engine core, for tests,
// benchmarks and a first look at a PDF file.
//
//   vistrel-inspect info FILE [--password PW]
//   vistrel-inspect object FILE NUM [--password PW]
//   vistrel-inspect store-tree FILE NAME [--password PW]
//   vistrel-inspect read-tree FILE NAME [--password PW]
//
// Exit status: 0 success, 2 wrong password, 1 any other failure (with a
// one-line reason on standard error).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/key_path.h"
#include "engine/core/pdf_document.h"
#include "engine/core/pdf_object.h"
#include "engine/core/pdf_ref.h"
#include "engine/core/streams.h"
#include "engine/core/wstring.h"

using namespace vistrel;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kWrongPassword = 2;

struct Options {
    std::string command;
    std::string file;
    std::vector<std::string> arguments;  // after FILE
    std::string password;
    bool hasPassword = false;
};

// An open document with the stream it reads.
struct Opened {
    std::unique_ptr<FileInputStream> stream;
    std::unique_ptr<PdfDocument> document;
};

int failure(const std::string& file, const char* reason) {
    std::fprintf(stderr, "vistrel-inspect: %s: %s\n", file.c_str(), reason);
    return kFailed;
}

// Opens as the control does: a 4096-byte buffered file stream, the document
// with repair allowed, the security handler again with the user's password.
int openDocument(const Options& options, Opened& out) {
    out.stream = std::make_unique<FileInputStream>(WideFromUtf8(options.file), 4096);
    if (!out.stream->isOpen()) return failure(options.file, "cannot open the file");
    out.document = std::make_unique<PdfDocument>(out.stream.get(), true);
    PdfDocument& doc = *out.document;
    if (!doc.trailer()) {
        return failure(options.file,
                       "no cross-reference table or trailer found (a damaged file, or a "
                       "cross-reference stream, which is not read)");
    }
    if (doc.trailer()->get(names::Encrypt)) {
        WString password = WString::fromUtf8(options.password);
        doc.setupSecurity(&password);
        switch (doc.securityStatus()) {
            case SecurityStatus::kAccepted:
                break;
            case SecurityStatus::kWrongPassword:
                std::fprintf(stderr, "vistrel-inspect: %s: wrong password\n",
                             options.file.c_str());
                return kWrongPassword;
            case SecurityStatus::kUnsupported:
                return failure(options.file,
                               "unsupported encryption (only the standard handler's 40-bit "
                               "RC4, revision 2, is read)");
            default:
                return failure(options.file, "malformed encryption dictionary or /ID");
        }
    }
    if (!doc.isValid()) return failure(options.file, "the document is not usable");
    if (!asDict(doc.trailer()->get(names::Root))) {
        return failure(options.file, "no document catalog (/Root)");
    }
    return kOk;
}

std::string printable(const WString& text) {
    std::string out = text.toLatin1();
    // The text form separates entries with carriage returns; show lines.
    for (char& c : out) {
        if (c == '\r') c = '\n';
    }
    return out;
}

int commandInfo(const Options& options) {
    if (!options.arguments.empty()) return failure(options.file, "unexpected arguments");
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk) return status;
    PdfDocument& doc = *opened.document;

    std::printf("File: %s\n", options.file.c_str());
    if (doc.header().found)
        std::printf("Version: %.1f\n", doc.header().version);
    else
        std::printf("Version: %.1f (no header)\n", doc.header().version);
    if (doc.isEncrypted()) {
        const char* match = doc.passwordMatch() == PasswordMatch::kUser    ? "user"
                            : doc.passwordMatch() == PasswordMatch::kOwner ? "owner"
                                                                           : "none";
        std::printf("Encrypted: yes (RC4 40-bit)\n");
        std::printf("Password matched: %s\n", match);
    } else {
        std::printf("Encrypted: no\n");
        std::printf("Password matched: none\n");
    }
    std::printf("Permissions: 0x%04X\n", doc.permissions() & 0xFFFF);
    std::string keys;
    for (const auto& entry : doc.trailer()->entries()) {
        if (!keys.empty()) keys += ' ';
        keys += entry.key->typeName().toLatin1();
    }
    std::printf("Trailer keys: %s\n", keys.c_str());
    std::printf("Cross-reference entries: %d\n", doc.xrefTable() ? doc.xrefTable()->count() : 0);

    // The page tree's own count, until the catalog reads the pages.
    PdfDict* root = asDict(doc.trailer()->get(names::Root));
    PdfDict* pages = root ? asDict(root->get(names::Pages)) : nullptr;
    PdfNumber* count = pages ? asNumber(pages->get(names::Count)) : nullptr;
    if (count)
        std::printf("Pages: %d\n", count->intValue());
    else
        std::printf("Pages: unknown\n");
    return kOk;
}

int commandObject(const Options& options) {
    if (options.arguments.size() != 1) return failure(options.file, "expected one object number");
    char* end = nullptr;
    long number = std::strtol(options.arguments[0].c_str(), &end, 10);
    if (!end || *end || number < 0 || number > INT32_MAX) {
        return failure(options.file, "the object number is not a number");
    }
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk) return status;
    PdfDocument& doc = *opened.document;
    Ref<PdfRef> ref = makeRef<PdfRef>(&doc, int32_t(number), 0);
    PdfObject* object = ref->direct();
    if (!object) return failure(options.file, "the object cannot be read");
    std::string text = printable(object->text(nullptr));
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

// A stored tree: a name under "Name" and the children under "Kid1", "Kid2", ...
struct TreeNodeSample : Storable {
    WString name;
    std::vector<std::unique_ptr<TreeNodeSample>> kids;

    TreeNodeSample& add(const char16_t* kidName) {
        kids.push_back(std::make_unique<TreeNodeSample>());
        kids.back()->name = WString(kidName);
        return *kids.back();
    }
    static WString kidKey(size_t i) {
        WString number;
        number.fromInt(int32_t(i + 1));
        return u"Kid" + number;
    }
    bool save(TreeWriter& writer) override {
        if (!writer.putString(WString(u"Name"), name)) return false;
        for (size_t i = 0; i < kids.size(); ++i) {
            if (!writer.putNode(kidKey(i), *kids[i])) return false;
        }
        return true;
    }
    bool load(TreeReader& reader) override {
        if (!reader.getString(WString(u"Name"), name)) return false;
        for (size_t i = 0;; ++i) {
            auto kid = std::make_unique<TreeNodeSample>();
            if (!reader.getNode(kidKey(i), *kid)) return true;
            kids.push_back(std::move(kid));
        }
    }
    void print(int depth) const {
        std::printf("%*s%s\n", depth * 2, "", name.toUtf8().c_str());
        for (const auto& kid : kids) kid->print(depth + 1);
    }
};

int commandStoreTree(const Options& options) {
    if (options.arguments.size() != 1) return failure(options.file, "expected one tree name");
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk) return status;
    TreeNodeSample root;
    root.name = WString(u"Sample tree");
    TreeNodeSample& first = root.add(u"Chapter 1 \u2014 Caf\u00e9 (Latin-1 and more)");
    first.add(u"Section 1.1 \u00bfQu\u00e9?");
    first.add(u"\u03a3\u03b5\u03bb\u03af\u03b4\u03b1 2");
    root.add(u"\u0413\u043b\u0430\u0432\u0430 2 \u20ac").add(u"back\\slash");
    root.add(u"Plain ASCII");
    KeyPathWriter writer(opened.document.get(), WString::fromUtf8(options.file));
    if (!writer.put(WString::fromUtf8(options.arguments[0]), root)) {
        return failure(options.file, "the tree cannot be stored");
    }
    const int result = writer.save();
    if (result != 1) {
        const char* reason = result == -1   ? "the file cannot be opened for writing"
                             : result == -2 ? "a write fell short (the file was cut back)"
                                            : "nothing written (modification not permitted?)";
        return failure(options.file, reason);
    }
    std::printf("Stored %s\n", options.arguments[0].c_str());
    return kOk;
}

int commandReadTree(const Options& options) {
    if (options.arguments.size() != 1) return failure(options.file, "expected one tree name");
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk) return status;
    KeyPathReader reader(opened.document.get());
    TreeNodeSample root;
    if (!reader.get(WString::fromUtf8(options.arguments[0]), root)) {
        return failure(options.file, "no such stored tree");
    }
    root.print(0);
    return kOk;
}

struct Command {
    const char* name;
    int (*run)(const Options&);
    const char* usage;
};

const Command kCommands[] = {
    {"info", commandInfo, "info FILE [--password PW]"},
    {"object", commandObject, "object FILE NUM [--password PW]"},
    {"store-tree", commandStoreTree, "store-tree FILE NAME [--password PW]"},
    {"read-tree", commandReadTree, "read-tree FILE NAME [--password PW]"},
};

int usage() {
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : kCommands) std::fprintf(stderr, "  vistrel-inspect %s\n", c.usage);
    return kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    Options options;
    options.command = argv[1];
    std::vector<std::string> rest;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--password") == 0) {
            if (i + 1 >= argc) return usage();
            options.password = argv[++i];
            options.hasPassword = true;
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (rest.empty()) return usage();
    options.file = rest[0];
    options.arguments.assign(rest.begin() + 1, rest.end());
    for (const Command& c : kCommands) {
        if (options.command == c.name) return c.run(options);
    }
    return usage();
}
