#include "engine/export/pdb_page_store.h"

#include <cmath>
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
// 65,535 bytes.
bool planRows(const PDBPageRecord& rec, std::vector<std::uint32_t>& lengths,
              std::vector<int32_t>& starts) {
    const std::size_t rowBytes = rec.rowBytes();
    std::unique_ptr<std::uint8_t[]> coded(new (std::nothrow)
                                              std::uint8_t[compressedCapacity(rowBytes)]);
    if (!coded)
        return false;
    const int32_t rowsPerBand = rec.height / rec.bandCount;
    lengths.resize(std::size_t(rec.height));
    starts.clear();
    std::uint64_t inRecord = 0;
    for (int32_t r = 0; r < rec.height; ++r) {
        const std::size_t length =
            compressRecord(rec.packed.get() + std::size_t(r) * rowBytes, rowBytes, coded.get());
        lengths[std::size_t(r)] = std::uint32_t(length);
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

PDBPageStore::PDBPageStore(std::u16string_view name) : name_(pdbName(name)) {}

PDBPageStore::~PDBPageStore() {
    for (int32_t position = 1; position <= pages_.count(); ++position)
        spill_.removePage(position);
}

bool PDBPageStore::convertRenderedPage(win::HDC pageDc, int32_t width, int32_t height, int32_t page,
                                       double zoom, std::uint16_t format) {
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
    rec->packed.reset(new (std::nothrow) std::uint8_t[rec->packedSize]);
    rec->grey.reset(new (std::nothrow) std::uint8_t[greySize]);
    if (!rec->packed || !rec->grey)
        return false;

    DeviceImage image;
    image.width = width;
    image.height = height;
    image.format = format;
    image.packed = rec->packed.get();
    image.grey = rec->grey.get();
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
    try {
        if (!planRows(rec, lengths, starts))
            return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    const int32_t position = pages_.count();
    if (!spill_.writePage(position + 1, rec.packed.get(), rec.packedSize))
        return -1;
    if (!pages_.append(std::move(current_))) {
        spill_.removePage(position + 1);
        return -1;
    }
    rec.packed.reset();
    rec.grey.reset();
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
    spill_.removePage(pages_.count());
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
