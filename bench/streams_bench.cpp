// Byte-stream and tokenizer figures: bytes per second through the buffered
// file stream and tokens per second over page-content-like text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/core/streams.h"
#include "engine/object/tokenizer.h"

namespace {

using namespace vistrel;

// Content-stream text: paths, text operators, names, strings, arrays.
std::string contentText(std::size_t size) {
    std::string s;
    int i = 0;
    while (s.size() < size) {
        s += "q 1 0 0 1 " + std::to_string(i % 600) + ".25 " + std::to_string(i % 800) + " cm\n";
        s += "BT /F1 12 Tf 72 " + std::to_string(700 - i % 700) + " Td (Hello, world \\(" +
             std::to_string(i) + "\\)) Tj ET\n";
        s += "[<48656C6C6F> -250 (x)] TJ 0.5 0.25 0.125 rg 10 10 m 20.5 30.75 l S Q\n";
        ++i;
    }
    return s;
}

class TempFile {
public:
    explicit TempFile(const std::string& data) {
        char name[] = "/tmp/vistrel-bench-XXXXXX";
        const int fd = ::mkstemp(name);
        path_ = name;
        if (fd >= 0) {
            if (::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
                path_.clear();
            ::close(fd);
        }
    }
    ~TempFile() {
        if (!path_.empty())
            std::remove(path_.c_str());
    }
    std::u16string wide() const { return std::u16string(path_.begin(), path_.end()); }

private:
    std::string path_;
};

void BM_FileGetByte(benchmark::State& state) {
    const std::string data = contentText(4 << 20);
    TempFile file(data);
    for (auto _ : state) {
        FileInputStream in(file.wide(), 4096);
        std::uint32_t sum = 0;
        for (std::uint16_t b; (b = in.getByte()) != kEndOfData;)
            sum += b;
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_FileGetByte)->Unit(benchmark::kMillisecond);

void BM_FileReadPieces(benchmark::State& state) {
    const std::string data = contentText(4 << 20);
    TempFile file(data);
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        FileInputStream in(file.wide(), 4096);
        while (in.read(buf.data(), buf.size()) == static_cast<std::int64_t>(buf.size())) {
        }
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_FileReadPieces)->Arg(100)->Arg(65536)->Unit(benchmark::kMillisecond);

void BM_TokenizeContent(benchmark::State& state) {
    const std::string data = contentText(1 << 20);
    std::int64_t tokens = 0;
    for (auto _ : state) {
        MemoryInputStream in(data.data(), data.size());
        Tokenizer t(&in);
        while (t.NextToken() != Tokenizer::kEnd)
            ++tokens;
    }
    state.SetItemsProcessed(tokens);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_TokenizeContent)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
