#include "tools/inspect_streams.h"

#include <vector>

#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"
#include "engine/parser/pdf_stream.h"

using namespace vistrel;

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
