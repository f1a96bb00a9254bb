// Opening a document and reading its objects: a generated file of many small
// objects in one classic cross-reference table, opened from a file and every
// object fetched; and the object parser alone over dictionary-heavy text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/core/streams.h"
#include "engine/core/wstring.h"
#include "engine/object/tokenizer.h"
#include "engine/parser/object_parser.h"
#include "engine/parser/pdf_document.h"

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

}  // namespace

BENCHMARK_MAIN();
