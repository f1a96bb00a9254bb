// vistrel-inspect: a thin command-line driver over the engine core, for tests,
// benchmarks and a first look at a PDF file.
//
//   vistrel-inspect info FILE [--password PW]
//   vistrel-inspect object FILE NUM [--password PW]
//   vistrel-inspect pages FILE [--password PW]
//   vistrel-inspect outline FILE [--password PW]
//   vistrel-inspect stream FILE NUM [--password PW] [--raw]
//   vistrel-inspect objects FILE [--password PW]
//   vistrel-inspect streams FILE [--password PW] [--data [--raw]]
//   vistrel-inspect store-tree FILE NAME [--password PW]
//   vistrel-inspect read-tree FILE NAME [--password PW]
//   vistrel-inspect fonts FILE PAGE [--password PW] [--load] [--fonts DIR]
//   vistrel-inspect ops FILE PAGE [--password PW] [--fonts DIR]
//   vistrel-inspect render FILE PAGES --zoom Z --out PATH [--password PW]
//       [--quality Q] [--memory M] [--set SECTION/KEY=VALUE]... [--progress]
//       [--fonts DIR]
//
// Exit status: 0 success, 2 wrong password, 1 any other failure (with a
// one-line reason on standard error).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/core/wstring.h"
#include "engine/doc/key_path.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/typed_objects.h"
#include "engine/font/fonts_folder.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/object/pdf_object.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "engine/parser/pdf_stream.h"
#include "engine/render/content/image_drawing.h"
#include "tools/inspect_fonts.h"
#include "tools/inspect_ops.h"
#include "tools/inspect_render.h"
#include "tools/inspect_streams.h"

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
    bool raw = false;   // stream: the data as stored, decrypted but not decoded
    bool data = false;  // streams: every stream's data instead of the summary
    bool load = false;  // fonts: each font also made through the font registry
    // fonts --load and render: the fonts folder, ending in its separator.
    WString fontsFolder;
};

// An open document with the stream it reads, and its catalog once read. The
// catalog goes before the document, the document before the stream.
struct Opened {
    ~Opened() {
        catalog.reset();
        document.reset();
    }
    std::unique_ptr<FileInputStream> stream;
    std::unique_ptr<PdfDocument> document;
    std::unique_ptr<PdfCatalog> catalog;
};

// A folder given on the command line, ending in its separator.
WString folderText(const std::string& folder) {
    WString text = WString::fromUtf8(folder);
    if (text.empty() || text.at(text.size() - 1) != u'/')
        text.appendChar(u'/');
    return text;
}

// The engine's fonts folder in the build tree: lib/fonts/ beside the bin/
// folder of this program.
WString defaultFontsFolder() {
    WString folder = moduleFolder(reinterpret_cast<const void*>(&folderText));
    folder.appendText(u"../lib/fonts/");
    return folder;
}

int failure(const std::string& file, const char* reason) {
    std::fprintf(stderr, "vistrel-inspect: %s: %s\n", file.c_str(), reason);
    return kFailed;
}

// Opens as the control does: a 4096-byte buffered file stream, the document
// with repair allowed, the security handler again with the user's password.
int openDocument(const Options& options, Opened& out) {
    out.stream = std::make_unique<FileInputStream>(WideFromUtf8(options.file), 4096);
    if (!out.stream->isOpen())
        return failure(options.file, "cannot open the file");
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
                std::fprintf(stderr, "vistrel-inspect: %s: wrong password\n", options.file.c_str());
                return kWrongPassword;
            case SecurityStatus::kUnsupported:
                return failure(options.file,
                               "unsupported encryption (only the standard handler's 40-bit "
                               "RC4, revision 2, is read)");
            default:
                return failure(options.file, "malformed encryption dictionary or /ID");
        }
    }
    if (!doc.isValid())
        return failure(options.file, "the document is not usable");
    if (!asDict(doc.trailer()->get(names::Root))) {
        return failure(options.file, "no document catalog (/Root)");
    }
    return kOk;
}

std::string printable(const WString& text) {
    std::string out = text.toLatin1();
    // The text form separates entries with carriage returns; show lines.
    for (char& c : out) {
        if (c == '\r')
            c = '\n';
    }
    return out;
}

int commandInfo(const Options& options) {
    if (!options.arguments.empty())
        return failure(options.file, "unexpected arguments");
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
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
        if (!keys.empty())
            keys += ' ';
        keys += entry.key->typeName().toLatin1();
    }
    std::printf("Trailer keys: %s\n", keys.c_str());
    std::printf("Cross-reference entries: %d\n", doc.xrefTable() ? doc.xrefTable()->count() : 0);

    opened.catalog = std::make_unique<PdfCatalog>(&doc);
    if (opened.catalog->isLoaded())
        std::printf("Pages: %d\n", opened.catalog->getPageCount());
    else
        std::printf("Pages: unknown (the catalog cannot be read)\n");
    return kOk;
}

// Opens the document and reads its catalog.
int openCatalog(const Options& options, Opened& opened) {
    if (!options.arguments.empty())
        return failure(options.file, "unexpected arguments");
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
    opened.catalog = std::make_unique<PdfCatalog>(opened.document.get());
    if (!opened.catalog->isLoaded()) {
        return failure(options.file,
                       "the document catalog cannot be read (no /Root reference or no page tree)");
    }
    return kOk;
}

int commandPages(const Options& options) {
    Opened opened;
    int status = openCatalog(options, opened);
    if (status != kOk)
        return status;
    PdfCatalog& catalog = *opened.catalog;
    for (int32_t n = 1; n <= catalog.getPageCount(); ++n) {
        Ref<PdfPage> page = catalog.getPage(n);
        if (!page) {
            std::printf("page %d: missing\n", n);
            continue;
        }
        int32_t rotate = 0;
        if (PdfNumber* r = asNumber(getInheritedAttribute(page.get(), names::Rotate, true)))
            rotate = r->intValue() % 360;
        if (rotate < 0)
            rotate += 360;
        int32_t width = 0, height = 0;
        if (getPageBoxes(page.get(), width, height))
            std::printf("page %d: %d x %d pts, rotate %d, object %d\n", n, width, height, rotate,
                        page->getId().number);
        else
            std::printf("page %d: no page box, rotate %d, object %d\n", n, rotate,
                        page->getId().number);
    }
    return kOk;
}

// Where an outline destination leads: " -> page N, /Fit parameters", or
// nothing when the catalog cannot tell.
std::string describeDestination(PdfCatalog& catalog, PdfObject* dest) {
    Ref<Destination> destination = catalog.readDestination(dest);
    if (!destination || !destination->page())
        return "";
    Ref<PdfPage> page = catalog.getPageIndex(destination->page());
    if (!page)
        return "";
    std::string out = " -> page " + std::to_string(catalog.lastPageNumber()) + ", ";
    out += WString(fitTypeName(destination->fitType())).toUtf8();
    auto value = [&](const char* label, double v) {
        char text[64];
        if (v == kUnsetCoordinate)
            std::snprintf(text, sizeof text, " %s unset", label);
        else
            std::snprintf(text, sizeof text, " %s %g", label, v);
        out += text;
    };
    switch (destination->fitType()) {
        case kFitXYZ:
            value("left", destination->left());
            value("top", destination->top());
            value("zoom", destination->zoom());
            break;
        case kFitH:
        case kFitBH:
            value("top", destination->top());
            break;
        case kFitV:
        case kFitBV:
            value("left", destination->left());
            break;
        case kFitR:
            value("left", destination->left());
            value("bottom", destination->bottom());
            value("right", destination->right());
            value("top", destination->top());
            break;
        default:
            break;
    }
    if (!destination->valid())
        out += " (invalid parameters)";
    return out;
}

void printOutline(PdfCatalog& catalog, PdfDict* parent, int depth,
                  std::unordered_set<int32_t>& seen) {
    if (depth > 64)
        return;
    for (PdfObject* link = parent->get(names::First); link;) {
        PdfRef* ref = asRef(link);
        if (ref && !seen.insert(ref->number()).second)
            return;  // a cycle
        PdfDict* item = asDict(link);
        if (!item)
            return;
        OutlineItem record(item);
        const WString* title = record.getTitle();
        std::string line(size_t(depth) * 2, ' ');
        line += title ? title->toUtf8() : "(no title)";
        PdfObject* dest = record.getDest();
        if (!dest) {
            Ref<PdfAction> action = record.getAction();
            if (action && action->actionKind() == PdfAction::kGoTo)
                dest = action->get(names::D);
        }
        line += describeDestination(catalog, dest);
        std::printf("%s\n", line.c_str());
        printOutline(catalog, item, depth + 1, seen);
        link = item->get(names::Next);
    }
}

int commandOutline(const Options& options) {
    Opened opened;
    int status = openCatalog(options, opened);
    if (status != kOk)
        return status;
    std::unordered_set<int32_t> seen;
    if (OutlineItem* root = opened.catalog->getOutlines())
        printOutline(*opened.catalog, root->dict(), 0, seen);
    return kOk;
}

// Opens the document and resolves the object named by the one argument; the
// reference in `ref` keeps it alive.
int fetchArgumentObject(const Options& options, Opened& opened, Ref<PdfRef>& ref,
                        PdfObject*& object) {
    if (options.arguments.size() != 1)
        return failure(options.file, "expected one object number");
    char* end = nullptr;
    long number = std::strtol(options.arguments[0].c_str(), &end, 10);
    if (!end || *end || number < 0 || number > INT32_MAX) {
        return failure(options.file, "the object number is not a number");
    }
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
    ref = makeRef<PdfRef>(opened.document.get(), int32_t(number), 0);
    object = ref->direct();
    if (!object)
        return failure(options.file, "the object cannot be read");
    return kOk;
}

int commandObject(const Options& options) {
    Opened opened;
    Ref<PdfRef> ref;
    PdfObject* object = nullptr;
    int status = fetchArgumentObject(options, opened, ref, object);
    if (status != kOk)
        return status;
    std::string text = printable(object->text(nullptr));
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

// Opens the document and calls visit for every number of its cross-reference
// table from 1 on, with the object (null when it cannot be read).
int forEachObject(const Options& options,
                  const std::function<void(Opened&, int32_t, PdfObject*)>& visit) {
    if (!options.arguments.empty())
        return failure(options.file, "unexpected arguments");
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
    const int32_t count = opened.document->xrefTable() ? opened.document->xrefTable()->count() : 0;
    for (int32_t number = 1; number < count; ++number) {
        Ref<PdfRef> ref = makeRef<PdfRef>(opened.document.get(), number, 0);
        visit(opened, number, ref->direct());
    }
    return kOk;
}

// Every object of the cross-reference table, each as "object NUM LENGTH" and
// the LENGTH bytes `object` prints, then a line feed; "object NUM failed" for
// one that cannot be read.
int commandObjects(const Options& options) {
    return forEachObject(options, [](Opened&, int32_t number, PdfObject* object) {
        if (!object) {
            std::printf("object %d failed\n", number);
            return;
        }
        const std::string text = printable(object->text(nullptr));
        std::printf("object %d %zu\n", number, text.size());
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
    });
}

int commandStream(const Options& options) {
    Opened opened;
    Ref<PdfRef> ref;
    PdfObject* object = nullptr;
    int status = fetchArgumentObject(options, opened, ref, object);
    if (status != kOk)
        return status;
    PdfStream* stream = asStream(object);
    if (!stream)
        return failure(options.file, "the object is not a stream");
    const std::string why = copyStreamData(
        *opened.stream, *stream, options.raw,
        [](const char* data, size_t n) { return std::fwrite(data, 1, n, stdout) == n; });
    std::fflush(stdout);
    return why.empty() ? kOk : failure(options.file, why.c_str());
}

// Every stream object of the cross-reference table decoded, and one line:
// "N streams, M decoded, B bytes". With --data, the data of each instead, as
// `stream` writes it: "stream NUM LENGTH", then " failed: REASON" when the
// data stops short or cannot be read, a line feed, the LENGTH bytes and a
// line feed.
int commandStreams(const Options& options) {
    if (!options.data) {
        if (!options.arguments.empty())
            return failure(options.file, "unexpected arguments");
        Opened opened;
        int status = openDocument(options, opened);
        if (status != kOk)
            return status;
        const StreamTally tally = decodeEveryStream(*opened.document);
        std::printf("%lld streams, %lld decoded, %llu bytes\n",
                    static_cast<long long>(tally.streams), static_cast<long long>(tally.decoded),
                    static_cast<unsigned long long>(tally.bytes));
        return kOk;
    }
    return forEachObject(options, [&](Opened& opened, int32_t number, PdfObject* object) {
        PdfStream* stream = asStream(object);
        if (!stream)
            return;
        writeStreamRecord(stdout, *opened.stream, *stream, number, options.raw);
    });
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
        if (!writer.putString(WString(u"Name"), name))
            return false;
        for (size_t i = 0; i < kids.size(); ++i) {
            if (!writer.putNode(kidKey(i), *kids[i]))
                return false;
        }
        return true;
    }
    bool load(TreeReader& reader) override {
        if (!reader.getString(WString(u"Name"), name))
            return false;
        for (size_t i = 0;; ++i) {
            auto kid = std::make_unique<TreeNodeSample>();
            if (!reader.getNode(kidKey(i), *kid))
                return true;
            kids.push_back(std::move(kid));
        }
    }
    void print(int depth) const {
        std::printf("%*s%s\n", depth * 2, "", name.toUtf8().c_str());
        for (const auto& kid : kids)
            kid->print(depth + 1);
    }
};

int commandStoreTree(const Options& options) {
    if (options.arguments.size() != 1)
        return failure(options.file, "expected one tree name");
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
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
                             : result == -3 ? "the file changed since it was read (nothing written)"
                                            : "nothing written (modification not permitted?)";
        return failure(options.file, reason);
    }
    std::printf("Stored %s\n", options.arguments[0].c_str());
    return kOk;
}

int commandReadTree(const Options& options) {
    if (options.arguments.size() != 1)
        return failure(options.file, "expected one tree name");
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
    KeyPathReader reader(opened.document.get());
    TreeNodeSample root;
    if (!reader.get(WString::fromUtf8(options.arguments[0]), root)) {
        return failure(options.file, "no such stored tree");
    }
    root.print(0);
    return kOk;
}

// Opens the document and its catalog for a command whose one argument is a
// page number; `number` gets the page, checked against the page count.
int openPageArgument(const Options& options, Opened& opened, int32_t& number) {
    if (options.arguments.size() != 1)
        return failure(options.file, "expected one page number");
    char* end = nullptr;
    const long value = std::strtol(options.arguments[0].c_str(), &end, 10);
    if (!end || *end || value < 1 || value > INT32_MAX)
        return failure(options.file, "the page number is not a number from 1");
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
    opened.catalog = std::make_unique<PdfCatalog>(opened.document.get());
    if (!opened.catalog->isLoaded())
        return failure(options.file, "the document catalog cannot be read");
    if (value > opened.catalog->getPageCount())
        return failure(options.file, "no such page");
    number = int32_t(value);
    return kOk;
}

int commandFonts(const Options& options) {
    Opened opened;
    int32_t number = 0;
    int status = openPageArgument(options, opened, number);
    if (status != kOk)
        return status;
    Ref<PdfPage> page = opened.catalog->getPage(number);
    if (!page)
        return failure(options.file, "the page cannot be read");
    printPageFonts(*page, options.load, options.fontsFolder);
    return kOk;
}

int commandOps(const Options& options) {
    Opened opened;
    int32_t number = 0;
    int status = openPageArgument(options, opened, number);
    if (status != kOk)
        return status;
    std::string why;
    if (!traceOperators(*opened.catalog, number, options.fontsFolder, why))
        return failure(options.file, why.c_str());
    return kOk;
}

int commandRender(const Options& options) {
    std::string why;
    if (!checkRenderArguments(options.arguments, why))
        return failure(options.file, why.c_str());
    Opened opened;
    int status = openDocument(options, opened);
    if (status != kOk)
        return status;
    opened.catalog = std::make_unique<PdfCatalog>(opened.document.get());
    if (!opened.catalog->isLoaded())
        return failure(options.file, "the document catalog cannot be read");
    return renderPages(*opened.catalog, options.file, options.arguments, options.fontsFolder);
}

struct Command {
    const char* name;
    int (*run)(const Options&);
    const char* usage;
};

const Command kCommands[] = {
    {"info", commandInfo, "info FILE [--password PW]"},
    {"object", commandObject, "object FILE NUM [--password PW]"},
    {"pages", commandPages, "pages FILE [--password PW]"},
    {"outline", commandOutline, "outline FILE [--password PW]"},
    {"stream", commandStream, "stream FILE NUM [--password PW] [--raw]"},
    {"objects", commandObjects, "objects FILE [--password PW]"},
    {"streams", commandStreams, "streams FILE [--password PW] [--data [--raw]]"},
    {"store-tree", commandStoreTree, "store-tree FILE NAME [--password PW]"},
    {"read-tree", commandReadTree, "read-tree FILE NAME [--password PW]"},
    {"fonts", commandFonts, "fonts FILE PAGE [--password PW] [--load] [--fonts DIR]"},
    {"ops", commandOps, "ops FILE PAGE [--password PW] [--fonts DIR]"},
    {"render", commandRender,
     "render FILE PAGES --zoom Z --out PATH [--password PW] [--quality Q] [--memory M] "
     "[--set SECTION/KEY=VALUE]... [--progress] [--fonts DIR]"},
};

int usage() {
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  vistrel-inspect %s\n", c.usage);
    return kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    installDocumentFactories();
    installFontDictionaryFactories();
    installImageFactories();
    Options options;
    options.command = argv[1];
    std::vector<std::string> rest;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--password") == 0) {
            if (i + 1 >= argc)
                return usage();
            options.password = argv[++i];
            options.hasPassword = true;
        } else if (std::strcmp(argv[i], "--raw") == 0) {
            options.raw = true;
        } else if (std::strcmp(argv[i], "--data") == 0) {
            options.data = true;
        } else if (std::strcmp(argv[i], "--load") == 0) {
            options.load = true;
        } else if (std::strcmp(argv[i], "--fonts") == 0) {
            if (i + 1 >= argc)
                return usage();
            options.fontsFolder = folderText(argv[++i]);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (rest.empty())
        return usage();
    if (options.fontsFolder.empty())
        options.fontsFolder = defaultFontsFolder();
    options.file = rest[0];
    options.arguments.assign(rest.begin() + 1, rest.end());
    for (const Command& c : kCommands) {
        if (options.command == c.name)
            return c.run(options);
    }
    return usage();
}
