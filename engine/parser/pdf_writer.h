// The incremental-update writer: the engine never rewrites a file, it appends
// the changed objects, a cross-reference section for exactly those and a
// trailer pointing back at the previous section. The writer holds the document
// it writes for; PdfDocument::write and PdfDocument::save hand over to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/containers.h"
#include "engine/core/ref.h"
#include "engine/core/wstring.h"

namespace vistrel {

class AppendFile;
class PdfDict;
class PdfDocument;
class PdfObject;
class PdfRef;

class IncrementalWriter {
public:
    explicit IncrementalWriter(PdfDocument& document) : document_(document) {}

    // Appends the listed objects, a cross-reference section and a trailer:
    // the results of PdfDocument::write (1, 0, -1, -2).
    int write(const PointerArray<PdfObject>& changed, const WString& fileName);
    // Stores the private dictionary under the catalog's /LumbraData: the
    // results of PdfDocument::save.
    int save(Ref<PdfDict> privateData, const WString& fileName);

private:
    enum class Result : int { kWritten = 1, kNothing = 0, kCannotOpen = -1, kShortWrite = -2 };

    // What the update records for one object number.
    struct Recorded {
        int64_t value = -1;  // offset (entry 0: next free number); -1 not written
        int32_t generation = 0;
    };

    Result append(const PointerArray<PdfObject>& changed, const WString& fileName);
    // The object step: each listed object at the end of the file, its offset
    // recorded; false when a write falls short.
    bool writeObjects(AppendFile& file, const PointerArray<PdfObject>& changed,
                      std::vector<Recorded>& recorded, uint64_t& offset) const;
    // The cross-reference step: one subsection per run of recorded numbers.
    static std::string crossReference(const std::vector<Recorded>& recorded);
    // The trailer step: /Size, /Info, /Root, /Prev, /Encrypt and /ID, then
    // startxref with the section's offset.
    std::string trailer(const PdfRef& root, uint64_t section) const;
    // After a complete write: later fetches read the new versions.
    void commit(const std::vector<Recorded>& recorded, uint64_t section);
    // save when the catalog has no private dictionary yet.
    Result saveNew(Ref<PdfDict> given, PdfDict& catalog, const WString& fileName);

    PdfDocument& document_;
};

}  // namespace vistrel
