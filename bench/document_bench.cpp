// Opening a document and reading its objects: a generated file of many small
// objects in one classic cross-reference table, opened from a file and every
// object fetched; the object parser alone over dictionary-heavy text; and two
// documents of real shape (the largest file of the shared corpus the engine
// opens, and a report of 113 pages that bench/make_documents.py writes at
// start), each opened with every object fetched, and with every stream
// decoded.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/core/wstring.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/typed_objects.h"
#include "engine/font/pdf_font_factories.h"
#include "engine/object/tokenizer.h"
#include "engine/parser/object_parser.h"
#include "engine/parser/pdf_document.h"
#include "tools/inspect_streams.h"

namespace {

using namespace vistrel;

// A PDF file of n objects: dictionaries with names, numbers, strings,
// references and a rectangle, all listed in one cross-reference section.
std::string documentText(int n) {
    std::string s = "%PDF-1.4\n";
    std::vector<size_t> offsets(size_t(n) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        offsets[size_t(i)] = s.size();
        s += std::to_string(i) + " 0 obj\n<< /Type /Annot /Subtype /Link /Rect [0 0 612 792] /P " +
             std::to_string(i > 1 ? i - 1 : 1) + " 0 R /T (Object " + std::to_string(i) +
             ") /Border [0 0 1] /F 4 >>\nendobj\n";
    }
    size_t xref = s.size();
    s += "xref\n0 " + std::to_string(n + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (int i = 1; i <= n; ++i) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offsets[size_t(i)]);
        s += line;
    }
    s += "trailer\n<< /Size " + std::to_string(n + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
    return s;
}

std::string writeTemp(const std::string& data) {
    char name[] = "/tmp/vistrel-doc-bench-XXXXXX";
    int fd = ::mkstemp(name);
    if (fd < 0)
        return {};
    bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ::close(fd);
    return ok ? std::string(name) : std::string();
}

void BM_OpenAndFetchAll(benchmark::State& state) {
    const int n = int(state.range(0));
    std::string data = documentText(n);
    std::string path = writeTemp(data);
    if (path.empty()) {
        state.SkipWithError("no temporary file");
        return;
    }
    for (auto _ : state) {
        FileInputStream stream(WideFromUtf8(path), 4096);
        PdfDocument doc(&stream, true);
        for (int i = 1; i <= n; ++i) {
            ObjectRef o = doc.fetchObject(i);
            benchmark::DoNotOptimize(o.get());
        }
    }
    ::unlink(path.c_str());
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * int64_t(data.size()));
}
BENCHMARK(BM_OpenAndFetchAll)->Arg(1000)->Arg(20000);

void BM_ParseDictionaries(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text +=
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Widths [250 333 408 500] "
            "/FirstChar 32 /Name (F" +
            std::to_string(i) + ") >>\n";
    }
    for (auto _ : state) {
        MemoryInputStream stream(text.data(), text.size());
        Tokenizer tokenizer(&stream);
        ObjectParser parser(&tokenizer);
        for (;;) {
            ObjectRef o = parser.ParseObject();
            if (!o)
                break;
            benchmark::DoNotOptimize(o.get());
        }
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_ParseDictionaries);

// The parser hooks of the document layer (typed dictionaries, streams and
// rectangles) while it lives, as the control and the inspection tool read
// documents; the generated benchmarks above run without them.
class DocumentFactories {
public:
    DocumentFactories()
        : typed_(setTypedObjectFactory(nullptr)),
          stream_(setStreamObjectFactory(nullptr)),
          rectangle_(setRectangleFactory(nullptr)) {
        installDocumentFactories();
    }
    ~DocumentFactories() {
        setTypedObjectFactory(typed_);
        setStreamObjectFactory(stream_);
        setRectangleFactory(rectangle_);
    }
    DocumentFactories(const DocumentFactories&) = delete;
    DocumentFactories& operator=(const DocumentFactories&) = delete;

private:
    TypedObjectFactory typed_;
    StreamObjectFactory stream_;
    RectangleFactory rectangle_;
};

// An open document as the tool opens it: a 4096-byte buffered file stream,
// repair allowed, the empty password given to an encrypted file.
struct OpenDocument {
    explicit OpenDocument(const std::string& path)
        : stream(WideFromUtf8(path), 4096), document(&stream, true) {
        if (document.trailer() && document.trailer()->get(names::Encrypt)) {
            WString none;
            document.setupSecurity(&none);
        }
    }
    FileInputStream stream;
    PdfDocument document;
};

bool opensWithCatalog(const std::string& path) {
    DocumentFactories factories;
    OpenDocument opened(path);
    if (!opened.document.isValid())
        return false;
    PdfCatalog catalog(&opened.document);
    return catalog.isLoaded();
}

// The largest file of the shared corpus beside the source tree whose catalog
// reads; empty when there is none.
std::string largestCorpusDocument() {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> files;
    for (const auto& entry :
         fs::directory_iterator(std::string(VISTREL_SOURCE_DIR) + "/../shared/corpus", error)) {
        if (entry.path().extension() == ".pdf")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        std::error_code e;
        return fs::file_size(a, e) > fs::file_size(b, e);
    });
    for (const auto& file : files) {
        if (opensWithCatalog(file.string()))
            return file.string();
    }
    return {};
}

// The generated report, written into a fresh temporary folder.
std::string generatedReport() {
    char folder[] = "/tmp/vistrel-doc-bench-XXXXXX";
    if (!::mkdtemp(folder))
        return {};
    std::string command = "python3 '" + std::string(VISTREL_SOURCE_DIR) +
                          "/bench/make_documents.py' '" + folder + "' --report-only";
    if (std::system(command.c_str()) != 0)
        return {};
    return std::string(folder) + "/content-113.pdf";
}

int64_t fileSize(const std::string& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    return error ? 0 : int64_t(size);
}

void BM_OpenAndFetchAllDocument(benchmark::State& state, const std::string& path) {
    DocumentFactories factories;
    for (auto _ : state) {
        OpenDocument opened(path);
        const int32_t count =
            opened.document.xrefTable() ? opened.document.xrefTable()->count() : 0;
        for (int32_t number = 1; number < count; ++number) {
            Ref<PdfRef> ref = makeRef<PdfRef>(&opened.document, number, 0);
            benchmark::DoNotOptimize(ref->direct());
        }
    }
    state.SetBytesProcessed(state.iterations() * fileSize(path));
}

// Bytes per second of decoded output; "file" counts the file's bytes.
void BM_DecodeAllDocument(benchmark::State& state, const std::string& path) {
    DocumentFactories factories;
    uint64_t decoded = 0;
    for (auto _ : state) {
        OpenDocument opened(path);
        decoded += decodeEveryStream(opened.document).bytes;
    }
    state.SetBytesProcessed(int64_t(decoded));
    state.counters["file"] =
        benchmark::Counter(double(fileSize(path)) * double(state.iterations()),
                           benchmark::Counter::kIsRate, benchmark::Counter::kIs1024);
}

void registerDocuments(const std::string& corpus, const std::string& report) {
    for (const auto& [label, path] :
         {std::pair{std::string("corpus"), corpus}, std::pair{std::string("report"), report}}) {
        if (path.empty()) {
            std::fprintf(stderr, "document_bench: no %s document\n", label.c_str());
            continue;
        }
        std::string name = label + ":" + std::filesystem::path(path).filename().string();
        benchmark::RegisterBenchmark(("BM_OpenAndFetchAll/" + name).c_str(),
                                     BM_OpenAndFetchAllDocument, path);
        benchmark::RegisterBenchmark(("BM_DecodeAll/" + name).c_str(), BM_DecodeAllDocument, path);
    }
}

}  // namespace

int main(int argc, char** argv) {
    installFontDictionaryFactories();
    benchmark::Initialize(&argc, argv);
    const std::string report = generatedReport();
    registerDocuments(largestCorpusDocument(), report);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!report.empty()) {
        std::filesystem::remove_all(std::filesystem::path(report).parent_path());
    }
    return 0;
}
