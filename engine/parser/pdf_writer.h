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
    enum class Result : int {
        kWritten = 1,
        kNothing = 0,
        kCannotOpen = -1,
        kShortWrite = -2,
        kChanged = -3,
    };

    // What the update records for one object number.
    struct Recorded {
        int64_t value = -1;  // offset (entry 0: next free number); -1 not written
        int32_t generation = 0;
    };

    // Appends under the file's lock, after checking that the file is still
    // the one the document read.
    Result append(const PointerArray<PdfObject>& changed, const WString& fileName);
    // Under the lock: whether the file has the length the document read and
    // its last "startxref" where it was, with the same offset. `start` gets
    // where the update goes: the end of the file, or the end of the newest
    // update the document read when an unfinished one of this writer follows
    // it; `separate` whether a line end must come first (other bytes follow
    // that update and end without one).
    bool unchangedFile(const AppendFile& file, uint64_t& start, bool& separate) const;
    // The document's stream takes the file's new length (and forgets what it
    // read ahead).
    void refreshStream();
    // The object step: each listed object at the end of the file, its offset
    // recorded; false when a write falls short.
    bool writeObjects(AppendFile& file, const PointerArray<PdfObject>& changed,
                      std::vector<Recorded>& recorded, uint64_t& offset) const;
    // The cross-reference step: one subsection per run of recorded numbers.
    static std::string crossReference(const std::vector<Recorded>& recorded);
    // The trailer step: /Size, /Info, /Root, /Prev, /Encrypt and /ID, then
    // startxref with the section's offset.
    std::string trailer(const PdfRef& root, uint64_t section) const;
    // After a complete write: later fetches read the new versions; the
    // update's "startxref" is the file's last.
    void commit(const std::vector<Recorded>& recorded, uint64_t section, uint64_t startXrefAt);
    // save when the catalog has no private dictionary yet.
    Result saveNew(Ref<PdfDict> given, PdfDict& catalog, const WString& fileName);

    PdfDocument& document_;
};

}  // namespace vistrel
