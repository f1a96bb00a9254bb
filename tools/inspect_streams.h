// Reading stream data for vistrel-inspect: every stream of a document
// decoded in one go (the `streams` command and the decode-all benchmark share
// it), and one stream's data written out in pieces (`stream`, `streams
// --data`), so that no stream is ever held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace vistrel {
class FileInputStream;
class PdfDocument;
class PdfStream;
}  // namespace vistrel

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

// Takes the next piece of a stream's data; false stops the reading.
using StreamDataSink = std::function<bool(const char* data, std::size_t n)>;

// Gives a stream object's data to sink in pieces: decoded through its filter
// chain, or with raw the stored bytes (the /Length window of file, decrypted
// in an encrypted file). Returns why the data stopped short or could not be
// read, or an empty text.
std::string copyStreamData(vistrel::FileInputStream& file, vistrel::PdfStream& stream, bool raw,
                           const StreamDataSink& sink);

// Writes the record `streams --data` gives a stream: "stream NUM LENGTH",
// then " failed: REASON" when the data stops short or cannot be read, a line
// feed, the LENGTH bytes and a line feed. Data of more than a few megabytes
// is read twice, once for its length and once to be written.
void writeStreamRecord(std::FILE* out, vistrel::FileInputStream& file, vistrel::PdfStream& stream,
                       std::int32_t number, bool raw);
