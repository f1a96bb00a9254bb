// The page store of a Palm export and the database file it writes.
//
// Each rendered page is converted into a device image (a PDBPageRecord, the
// store's current record); spilling it keeps its coded rows in memory while
// they fit the store's memory budget, and past it writes its packed pixels to
// the store's private spill folder and keeps only its size, its row layout and
// its link and annotation lists in memory. write() then lays out the Palm
// database ("READ"/"READ"): header, record list, index record, one row table
// per page, the page images coded row by row and cut into records, link
// records, annotation lists, annotation texts and the document information.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export/device_image.h"
#include "engine/export/ring_list.h"
#include "engine/export/spill_folder.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

// A link of a page: its rectangle in the page bitmap's pixels and its target
// (toPage the 1-based page of the document, toX and toY pixels of that page
// at this page's zoom).
struct PdbLink {
    int32_t x = 0;
    int32_t y = 0;
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t toPage = 0;
    int32_t toX = 0;
    int32_t toY = 0;
};

// A text annotation of a page, in the page bitmap's pixels; empty texts are
// written as absent ones.
struct PdbAnnotation {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::u16string caption;
    std::u16string text;
};

using PdbLinkList = RingList<PdbLink>;
using PdbAnnotationList = RingList<PdbAnnotation>;

// The document information texts in their order: title, subject, author,
// keywords, creator, producer, creation date, modification date.
using PdbInfoTexts = std::array<std::u16string, 8>;

// The largest value of the database's 16-bit fields: record counts and
// indices, page sizes, row offsets and the size of a record.
inline constexpr uint32_t kMax16 = 65535;

// The coded bytes a page store keeps in memory before it spills pages to
// files.
inline constexpr std::size_t kPageStoreMemoryBudget = std::size_t(48) << 20;

// One converted page.
struct PDBPageRecord {
    int32_t width = 0;
    int32_t height = 0;
    int32_t page = 0;   // 1-based page of the document
    double zoom = 1.0;  // 1.0 = 100 %
    std::uint16_t format = kColor4;
    std::size_t packedSize = 0;
    // (packedSize + 61999) / 62000: the bands the rows are cut into.
    int32_t bandCount = 0;
    // Known after the spill: the coded length of every row and the first row
    // of every image record. A band whose coded rows would pass 65,535 bytes
    // takes more than one record.
    std::vector<std::uint32_t> codedLengths;
    std::vector<int32_t> recordStarts;
    std::unique_ptr<PdbLinkList> links;
    std::unique_ptr<PdbAnnotationList> annotations;
    // The coded rows one after the other, for a page kept in memory; empty
    // for a page in its spill file.
    std::vector<std::uint8_t> coded;
    // The conversion's packed pixels, in the store's buffer until the spill
    // (null after it).
    const std::uint8_t* packed = nullptr;

    int bitsPerPixel() const { return devicePixelBits(format); }
    std::size_t rowBytes() const { return (std::size_t(width) * bitsPerPixel() + 7) / 8; }
    int32_t imageRecordCount() const { return int32_t(recordStarts.size()); }
};

class PDBPageStore {
public:
    // name: the database name; the low byte of each unit, at most 31 of them.
    // memoryBudget: the coded bytes of pages kept in memory; 0 spills every
    // page.
    explicit PDBPageStore(std::u16string_view name,
                          std::size_t memoryBudget = kPageStoreMemoryBudget);
    // Deletes the spill files of the pages still held.
    ~PDBPageStore();
    PDBPageStore(const PDBPageStore&) = delete;
    PDBPageStore& operator=(const PDBPageStore&) = delete;

    // Converts the page bitmap selected in pageDc (width x height pixels,
    // rendered at zoom from the document's 1-based page) into a new current
    // record in format (4, 16 or 17), painting the device preview back into
    // the bitmap. With drawn, the bitmap is white outside that rectangle
    // (DeviceImage::drawn). The previous current record goes in any case;
    // false, with no current record, when the conversion fails.
    bool convertRenderedPage(win::HDC pageDc, int32_t width, int32_t height, int32_t page,
                             double zoom, std::uint16_t format, const win::RECT* drawn = nullptr);

    // Moves the current record into the page list with the given lists
    // (either may be none) and returns its 0-based position; -1, the current
    // record kept, when there is none or its pixels cannot be spilled. The
    // page's coded rows stay in memory while the budget holds them.
    int32_t spillPage(std::unique_ptr<PdbLinkList> links,
                      std::unique_ptr<PdbAnnotationList> annotations);

    // The records the database would need: 0 for no page, else the index,
    // a row table and the image records of every page, a link record for a
    // page with links, an annotation list and a text record per annotation
    // for a page with an annotation list, and the information record. Links
    // to pages that are not exported are counted too.
    int32_t countRecords() const;

    // Drops the last page and its spill file or its coded rows.
    void removeLastPage();

    // The document information written as the last record.
    void setExtraBlock(const PdbInfoTexts& info);

    // Writes the database file (see writePdbFile). False for an empty store
    // (the file system is not touched), and, with no new file left behind
    // and an earlier file at the name unchanged, when the file cannot be
    // written completely, a page cannot be read back, or a count, index or
    // size would not fit its 16-bit field.
    bool write(std::u16string_view fileName);

    // Inspection.
    int32_t pageCount() const { return pages_.count(); }
    const PDBPageRecord* currentRecord() const { return current_.get(); }
    const PDBPageRecord* page(int32_t position) const;
    const std::array<char, 32>& name() const { return name_; }
    const SpillFolder& spillFolder() const { return spill_; }

private:
    std::array<char, 32> name_{};
    RingList<std::unique_ptr<PDBPageRecord>> pages_;
    std::unique_ptr<PDBPageRecord> current_;
    std::optional<PdbInfoTexts> info_;
    SpillFolder spill_;
    std::size_t memoryBudget_;
    std::size_t memoryUsed_ = 0;  // coded bytes of the pages kept in memory
    // The packed pixels and greys of the page being converted, kept for the
    // next page: a new buffer of a page's size comes from the system every
    // time, and costs a page fault every 4 KB at its first writing.
    std::vector<std::uint8_t> packed_, grey_;
};

// The database name bytes of a document name.
std::array<char, 32> pdbName(std::u16string_view name);

}  // namespace vistrel
