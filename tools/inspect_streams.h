// Decoding every stream of a document in one go: the `streams` command of
// vistrel-inspect and the decode-all benchmark share it.
#pragma once

#include <cstdint>

namespace vistrel {
class PdfDocument;
}

struct StreamTally {
    std::int64_t streams = 0;  // stream objects found
    std::int64_t decoded = 0;  // read through their filter chain to the end
    std::uint64_t bytes = 0;   // decoded bytes, of all streams
};

// Fetches the objects of the cross-reference table in entry order and reads
// every stream object through its filter chain, in blocks, to its end. A
// stream counts as decoded when its chain opens and its data ends without an
// error; the bytes of all streams count, also those cut short.
StreamTally decodeEveryStream(vistrel::PdfDocument& document);
