#include "tools/inspect_streams.h"

#include <algorithm>
#include <cinttypes>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "engine/parser/pdf_stream.h"
#include "engine/parser/support_streams.h"

using namespace vistrel;

namespace {

// Data up to this size is kept while it is read, and written after its
// record's header; longer data is read again to be written.
constexpr std::size_t kHeldBytes = std::size_t(4) << 20;

// The first /Filter name the engine does not read, for the failure message.
std::string unreadFilter(PdfStream& stream) {
    static const char16_t* const known[] = {
        u"/ASCIIHexDecode",  u"/AHx", u"/ASCII85Decode", u"/A85", u"/LZWDecode",      u"/LZW",
        u"/FlateDecode",     u"/Fl",  u"/DCTDecode",     u"/DCT", u"/CCITTFaxDecode", u"/CCF",
        u"/RunLengthDecode", u"/RL"};
    PdfObject* filter = stream.get(names::Filter);
    if (!filter)
        filter = stream.get(names::F);
    filter = filter ? filter->direct() : nullptr;
    std::vector<PdfObject*> list;
    if (PdfArray* array = asArray(filter)) {
        for (int32_t i = 0; i < array->count(); ++i)
            list.push_back(array->at(i) ? array->at(i)->direct() : nullptr);
    } else if (filter) {
        list.push_back(filter);
    }
    for (PdfObject* name : list) {
        if (!name || name->kind() != kKindName)
            return "a /Filter entry that is no name";
        bool found = false;
        for (const char16_t* k : known)
            found = found || static_cast<PdfName*>(name)->textValue().view() == k;
        if (!found)
            return "filter " + name->typeName().toLatin1() + " is not read";
    }
    return "";
}

// Gives everything the stream gives to sink; false when it stops on an error
// (not when the sink stops it).
bool copyAll(InputStream& data, const StreamDataSink& sink) {
    char buffer[4096];
    int64_t n;
    while ((n = data.read(buffer, sizeof buffer)) > 0) {
        if (!sink(buffer, size_t(n)))
            return true;
    }
    return n >= 0;
}

}  // namespace

StreamTally decodeEveryStream(PdfDocument& document) {
    // Blocks large enough for the filters to decode straight into them.
    std::vector<unsigned char> block(1 << 16);
    StreamTally tally;
    const int32_t count = document.xrefTable() ? document.xrefTable()->count() : 0;
    for (int32_t number = 1; number < count; ++number) {
        Ref<PdfRef> ref = makeRef<PdfRef>(&document, number, 0);
        PdfStream* stream = asStream(ref->direct());
        if (!stream)
            continue;
        ++tally.streams;
        if (!stream->usable() || !stream->open())
            continue;
        int64_t n;
        while ((n = stream->read(block.data(), block.size())) > 0)
            tally.bytes += uint64_t(n);
        stream->close();
        if (n == 0)
            ++tally.decoded;
    }
    return tally;
}

std::string copyStreamData(FileInputStream& file, PdfStream& stream, bool raw,
                           const StreamDataSink& sink) {
    if (!stream.usable())
        return "the stream's data cannot be read";
    const char* const cutShort = "the stream data cannot be decoded past this point";
    if (raw) {
        if (!file.seek(stream.dataStart()))
            return "cannot seek to the data";
        uint64_t limit = stream.length() == PdfStream::kNoLength ? LengthLimitedStream::kNoLimit
                                                                 : uint64_t(stream.length());
        LengthLimitedStream window(&file, limit);
        if (!stream.hasObjectKey())
            return copyAll(window, sink) ? "" : cutShort;
        Rc4Stream decrypted(&window, stream.objectKey());
        return copyAll(decrypted, sink) ? "" : cutShort;
    }
    if (!stream.open()) {
        std::string why = unreadFilter(stream);
        return why.empty() ? "the stream's filter chain cannot be built" : why;
    }
    const bool complete = copyAll(stream, sink);
    stream.close();
    return complete ? "" : cutShort;
}

void writeStreamRecord(std::FILE* out, FileInputStream& file, PdfStream& stream, int32_t number,
                       bool raw) {
    std::string held;
    bool tooLong = false;
    uint64_t length = 0;
    const std::string why = copyStreamData(file, stream, raw, [&](const char* data, size_t n) {
        length += n;
        if (!tooLong && held.size() + n <= kHeldBytes) {
            held.append(data, n);
        } else if (!tooLong) {
            tooLong = true;
            std::string().swap(held);
        }
        return true;
    });
    std::fprintf(out, "stream %d %" PRIu64 "%s%s\n", number, length,
                 why.empty() ? "" : " failed: ", why.c_str());
    if (!tooLong) {
        std::fwrite(held.data(), 1, held.size(), out);
    } else {
        // The same reading gives the same bytes; the record keeps its length
        // whatever the second reading gives.
        uint64_t left = length;
        copyStreamData(file, stream, raw, [&](const char* data, size_t n) {
            const size_t take = size_t(std::min<uint64_t>(n, left));
            std::fwrite(data, 1, take, out);
            left -= take;
            return left > 0;
        });
        static const char kZeros[4096] = {};
        for (; left > 0; left -= std::min<uint64_t>(left, sizeof kZeros))
            std::fwrite(kZeros, 1, size_t(std::min<uint64_t>(left, sizeof kZeros)), out);
    }
    std::fputc('\n', out);
}
