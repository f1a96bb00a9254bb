// Decode throughput of the filters most page content and images go through.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

#include "engine/codec/dct_decode.h"
#include "engine/codec/jpeg_error.h"
#include "engine/codec/lzw_flate.h"
#include "engine/core/streams.h"

namespace {

using namespace vistrel;

std::vector<uint8_t> contentLike(size_t n) {
    static const char* words[] = {"BT ", "/F1 ",     "12 ", "Tf ",  "72.5 ", "712 ",
                                  "Td ", "(Hello) ", "Tj ", "ET\n", "q ",    "Q\n"};
    std::vector<uint8_t> out;
    uint32_t x = 1;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const char* w = words[(x >> 16) % 12];
        while (*w)
            out.push_back(uint8_t(*w++));
    }
    out.resize(n);
    return out;
}

std::vector<uint8_t> deflate(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, data.data(), uLong(data.size()), 6);
    out.resize(size);
    return out;
}

void FlateGetByte(benchmark::State& state) {
    std::vector<uint8_t> packed = deflate(contentLike(1 << 20));
    for (auto _ : state) {
        MemoryInputStream in(packed.data(), packed.size());
        FlateDecodeStream f(&in, nullptr, false);
        uint64_t sum = 0;
        for (uint16_t c; (c = f.getByte()) != kEndOfData;)
            sum += c;
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) << 20);
}
BENCHMARK(FlateGetByte);

// Reads of the given size: below the block size through the filter's
// buffer, from it up straight into the caller's memory.
void FlateRead(benchmark::State& state) {
    std::vector<uint8_t> packed = deflate(contentLike(1 << 20));
    std::vector<uint8_t> buffer(size_t(state.range(0)));
    for (auto _ : state) {
        MemoryInputStream in(packed.data(), packed.size());
        FlateDecodeStream f(&in, nullptr, false);
        while (f.read(buffer.data(), buffer.size()) > 0) {
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) << 20);
}
BENCHMARK(FlateRead)->Arg(4096)->Arg(65536);

// zlib alone over the same data in one call: the pace the filter aims at.
void ZlibUncompress(benchmark::State& state) {
    std::vector<uint8_t> packed = deflate(contentLike(1 << 20));
    std::vector<uint8_t> out(1 << 20);
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        uncompress(out.data(), &size, packed.data(), uLong(packed.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) << 20);
}
BENCHMARK(ZlibUncompress);

void DctRead(benchmark::State& state) {
    // A 512 × 512 RGB picture compressed by libjpeg.
    const int w = 512, h = 512;
    std::vector<uint8_t> row(w * 3);
    jpeg_compress_struct cinfo{};
    JpegErrorManager err;
    cinfo.err = initJpegErrorManager(err);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    guardedJpegCall(err, [&] {
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &mem, &size);
        cinfo.image_width = w;
        cinfo.image_height = h;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w * 3; ++x)
                row[x] = uint8_t(x ^ y);
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&cinfo, &r, 1);
        }
        jpeg_finish_compress(&cinfo);
    });
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> jpg(mem, mem + size);
    free(mem);
    for (auto _ : state) {
        MemoryInputStream in(jpg.data(), jpg.size());
        DctDecodeStream f(&in, nullptr, false);
        while (f.readRow(row.data())) {
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 3);
}
BENCHMARK(DctRead);

}  // namespace

BENCHMARK_MAIN();
