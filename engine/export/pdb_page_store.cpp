#include "engine/export/pdb_page_store.h"

#include <cmath>
#include <cstring>
#include <new>

#include "engine/core/allocator.h"
#include "engine/export/compress_record.h"
#include "engine/export/pdb_file.h"

namespace vistrel {

namespace {

// Packed bytes of the rows are cut into bands of at most this many bytes.
constexpr std::size_t kBandBytes = 62000;

// Codes every row of a page to learn its coded length, and starts an image
// record at every band and wherever the next row would take the record past
// 65,535 bytes. With keep, the coded rows are collected into kept.
bool planRows(const PDBPageRecord& rec, std::vector<std::uint32_t>& lengths,
              std::vector<int32_t>& starts, bool keep, std::vector<std::uint8_t>& kept) {
    const std::size_t rowBytes = rec.rowBytes();
    std::unique_ptr<std::uint8_t[]> coded(new (std::nothrow)
                                              std::uint8_t[compressedCapacity(rowBytes)]);
    if (!coded)
        return false;
    const int32_t rowsPerBand = rec.height / rec.bandCount;
    lengths.resize(std::size_t(rec.height));
    starts.clear();
    kept.clear();
    if (keep)
        kept.reserve(rec.packedSize);
    std::uint64_t inRecord = 0;
    std::size_t length = 0;
    for (int32_t r = 0; r < rec.height; ++r) {
        // A row like the one before (the white between lines) codes as it
        // did: coded still holds that coding.
        const std::uint8_t* row = rec.packed + std::size_t(r) * rowBytes;
        if (r == 0 || std::memcmp(row, row - rowBytes, rowBytes) != 0)
            length = compressRecord(row, rowBytes, coded.get());
        lengths[std::size_t(r)] = std::uint32_t(length);
        if (keep)
            kept.insert(kept.end(), coded.get(), coded.get() + length);
        const bool bandStart =
            r == 0 || (rowsPerBand > 0 && r % rowsPerBand == 0 && r / rowsPerBand < rec.bandCount);
        if (bandStart || (inRecord > 0 && inRecord + length > kMax16)) {
            starts.push_back(r);
            inRecord = 0;
        }
        inRecord += length;
    }
    return true;
}

}  // namespace

std::array<char, 32> pdbName(std::u16string_view name) {
    std::array<char, 32> bytes{};
    for (std::size_t i = 0; i < name.size() && i < bytes.size() - 1 && name[i] != 0; ++i)
        bytes[i] = char(name[i] & 0xFF);
    return bytes;
}

PDBPageStore::PDBPageStore(std::u16string_view name, std::size_t memoryBudget)
    : name_(pdbName(name)), memoryBudget_(memoryBudget) {}

PDBPageStore::~PDBPageStore() {
    int32_t position = 0;
    for (const auto& rec : pages_) {
        ++position;
        if (rec->coded.empty())
            spill_.removePage(position);
    }
}

bool PDBPageStore::convertRenderedPage(win::HDC pageDc, int32_t width, int32_t height, int32_t page,
                                       double zoom, std::uint16_t format, const win::RECT* drawn) {
    current_.reset();
    if (format != kColor4 && format != kColor16 && format != kColor16a)
        return false;
    if (width < 1 || height < 1 || !(zoom > 0) || !std::isfinite(zoom))
        return false;
    std::unique_ptr<PDBPageRecord> rec(new (std::nothrow) PDBPageRecord);
    if (!rec)
        return false;
    rec->width = width;
    rec->height = height;
    rec->page = page;
    rec->zoom = zoom;
    rec->format = format;
    std::size_t greySize;
    if (!checkedMultiply(rec->rowBytes(), std::size_t(height), &rec->packedSize) ||
        !checkedMultiply(std::size_t(width), std::size_t(height), &greySize)) {
        return false;
    }
    rec->bandCount = int32_t((rec->packedSize + kBandBytes - 1) / kBandBytes);
    try {
        if (packed_.size() < rec->packedSize)
            packed_.resize(rec->packedSize);
        if (grey_.size() < greySize)
            grey_.resize(greySize);
    } catch (const std::bad_alloc&) {
        packed_ = {};
        grey_ = {};
        return false;
    }
    rec->packed = packed_.data();

    DeviceImage image;
    image.width = width;
    image.height = height;
    image.format = format;
    image.packed = packed_.data();
    image.grey = grey_.data();
    if (drawn)
        image.drawn = *drawn;
    if (!convertPageImage(pageDc, image, true))
        return false;
    rec->format = image.format;
    current_ = std::move(rec);
    return true;
}

int32_t PDBPageStore::spillPage(std::unique_ptr<PdbLinkList> links,
                                std::unique_ptr<PdbAnnotationList> annotations) {
    if (!current_)
        return -1;
    PDBPageRecord& rec = *current_;
    std::vector<std::uint32_t> lengths;
    std::vector<int32_t> starts;
    std::vector<std::uint8_t> coded;
    const std::size_t room = memoryBudget_ - memoryUsed_;
    try {
        if (!planRows(rec, lengths, starts, rec.packedSize <= room, coded))
            return -1;
    } catch (const std::bad_alloc&) {
        // Too little memory to keep the coded rows: the page goes to its file.
        coded = {};
        try {
            if (!planRows(rec, lengths, starts, false, coded))
                return -1;
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    if (coded.size() > room)
        coded = {};
    const int32_t position = pages_.count();
    if (coded.empty() && !spill_.writePage(position + 1, rec.packed, rec.packedSize))
        return -1;
    if (!pages_.append(std::move(current_))) {
        if (coded.empty())
            spill_.removePage(position + 1);
        return -1;
    }
    // Planned with room for every packed byte, the coded rows take far less.
    coded.shrink_to_fit();
    memoryUsed_ += coded.size();
    rec.packed = nullptr;
    rec.coded = std::move(coded);
    rec.codedLengths = std::move(lengths);
    rec.recordStarts = std::move(starts);
    rec.links = std::move(links);
    rec.annotations = std::move(annotations);
    return position;
}

int32_t PDBPageStore::countRecords() const {
    if (pages_.empty())
        return 0;
    std::int64_t n = std::int64_t(pages_.count()) + 1;
    for (const auto& rec : pages_) {
        n += rec->imageRecordCount();
        if (rec->links && !rec->links->empty())
            n += 1;
        if (rec->annotations)
            n += std::int64_t(rec->annotations->count()) + 1;
    }
    if (info_)
        n += 1;
    return n > INT32_MAX ? INT32_MAX : int32_t(n);
}

void PDBPageStore::removeLastPage() {
    if (pages_.empty())
        return;
    const PDBPageRecord* last = page(pages_.count() - 1);
    if (last->coded.empty())
        spill_.removePage(pages_.count());
    memoryUsed_ -= last->coded.size();
    pages_.removeLast();
}

void PDBPageStore::setExtraBlock(const PdbInfoTexts& info) {
    info_ = info;
}

const PDBPageRecord* PDBPageStore::page(int32_t position) const {
    int32_t i = 0;
    for (const auto& rec : pages_) {
        if (i++ == position)
            return rec.get();
    }
    return nullptr;
}

bool PDBPageStore::write(std::u16string_view fileName) {
    if (pages_.empty())
        return false;
    // An export that kept every page in memory cleans up after killed ones
    // all the same.
    spill_.removeLeftovers();
    std::vector<const PDBPageRecord*> pages;
    try {
        for (const auto& rec : pages_)
            pages.push_back(rec.get());
        return writePdbFile(fileName, name_, pages, info_ ? &*info_ : nullptr, spill_);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace vistrel
