#include "engine/export/pdb_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

#include "engine/core/file_layer.h"
#include "engine/core/wstring.h"
#include "engine/export/compress_record.h"
#include "engine/export/leftover_files.h"

namespace vistrel {

namespace {

constexpr std::uint32_t kDate = 0x06D144AE;
constexpr std::uint64_t kHeaderSize = 78;
constexpr std::uint64_t kListEntrySize = 8;
constexpr std::uint64_t kIndexEntrySize = 12;
constexpr std::uint64_t kRowEntrySize = 6;
constexpr std::uint64_t kLinkSize = 28;
constexpr std::uint64_t kAnnotationEntrySize = 10;
constexpr std::size_t kSinkBuffer = 1 << 16;

// Where a page's records go and the links it keeps (targets rewritten).
struct PagePlan {
    const PDBPageRecord* rec = nullptr;
    std::uint32_t firstImage = 0;
    std::uint32_t linkRecord = 0;
    std::uint32_t annotationRecord = 0;
    std::uint32_t firstText = 0;
    std::vector<PdbLink> links;
};

struct FilePlan {
    std::vector<PagePlan> pages;
    std::vector<std::uint32_t> offsets;  // of every record
    std::uint32_t infoRecord = 0;
};

// Units of a text up to a zero unit: its length in the database.
std::uint64_t textLength(std::u16string_view text) {
    const std::size_t zero = text.find(char16_t(0));
    return zero == std::u16string_view::npos ? text.size() : zero;
}

int32_t truncateToInt32(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return int32_t(v);
}

// Numbers the records and finds their offsets; false when a count, index,
// size or offset would not fit its field.
bool planFile(const std::vector<const PDBPageRecord*>& pages, const PdbInfoTexts* info,
              FilePlan& plan) {
    const std::uint64_t pageCount = pages.size();
    if (4 + kIndexEntrySize * pageCount > kMax16)
        return false;  // the index record: 4 bytes and 12 per page
    std::unordered_map<int32_t, std::size_t> firstPosition;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const PDBPageRecord& rec = *pages[i];
        if (rec.width < 1 || rec.width > int32_t(kMax16) || rec.height < 1 ||
            kRowEntrySize * std::uint64_t(rec.height) > kMax16) {
            return false;
        }
        firstPosition.emplace(rec.page, i);
    }

    plan.pages.resize(pages.size());
    std::uint64_t next = 1 + pageCount;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        plan.pages[i].rec = pages[i];
        plan.pages[i].firstImage = std::uint32_t(next);
        next += std::uint64_t(pages[i]->imageRecordCount());
    }
    // A link keeps its target when the target page was exported: the view
    // it names is the first record of that page over 2 (every view is
    // followed by its overview), its point scaled to that view's zoom.
    for (PagePlan& page : plan.pages) {
        if (!page.rec->links)
            continue;
        for (const PdbLink& link : *page.rec->links) {
            const auto found = firstPosition.find(link.toPage);
            if (found == firstPosition.end())
                continue;
            const std::size_t view = found->second / 2;
            const double viewZoom = pages[2 * view]->zoom;
            PdbLink kept = link;
            kept.toPage = int32_t(view);
            kept.toX = truncateToInt32(link.toX * viewZoom / page.rec->zoom);
            kept.toY = truncateToInt32(link.toY * viewZoom / page.rec->zoom);
            page.links.push_back(kept);
        }
        if (!page.links.empty())
            page.linkRecord = std::uint32_t(next++);
    }
    for (PagePlan& page : plan.pages) {
        if (page.rec->annotations)
            page.annotationRecord = std::uint32_t(next++);
    }
    for (PagePlan& page : plan.pages) {
        page.firstText = std::uint32_t(next);
        if (page.rec->annotations)
            next += std::uint64_t(page.rec->annotations->count());
    }
    if (info)
        plan.infoRecord = std::uint32_t(next++);
    if (next > kMax16)
        return false;  // the record count

    // Offsets: the records follow the record list without gaps.
    plan.offsets.resize(next);
    std::uint64_t at = kHeaderSize + kListEntrySize * next;
    auto place = [&](std::uint64_t record, std::uint64_t size) {
        plan.offsets[record] = std::uint32_t(at);
        at += size;
        return at <= UINT32_MAX;
    };
    bool fits = place(0, 4 + kIndexEntrySize * pageCount);
    for (std::size_t i = 0; i < pages.size(); ++i)
        fits = fits && place(1 + i, kRowEntrySize * std::uint64_t(pages[i]->height));
    for (const PagePlan& page : plan.pages) {
        const PDBPageRecord& rec = *page.rec;
        for (int32_t j = 0; j < rec.imageRecordCount(); ++j) {
            const int32_t end =
                j + 1 < rec.imageRecordCount() ? rec.recordStarts[j + 1] : rec.height;
            std::uint64_t size = 0;
            for (int32_t r = rec.recordStarts[j]; r < end; ++r)
                size += rec.codedLengths[r];
            fits = fits && place(page.firstImage + j, size);
        }
    }
    for (const PagePlan& page : plan.pages) {
        if (page.linkRecord)
            fits = fits && place(page.linkRecord, kLinkSize * page.links.size());
    }
    for (const PagePlan& page : plan.pages) {
        if (page.annotationRecord) {
            fits = fits && place(page.annotationRecord,
                                 kAnnotationEntrySize * page.rec->annotations->count());
        }
    }
    for (const PagePlan& page : plan.pages) {
        if (!page.rec->annotations)
            continue;
        std::uint32_t record = page.firstText;
        for (const PdbAnnotation& a : *page.rec->annotations)
            fits = fits && place(record++, textLength(a.caption) + 1 + textLength(a.text) + 1);
    }
    if (info) {
        std::uint64_t size = 0;
        for (const std::u16string& text : *info)
            size += textLength(text) + 1;
        fits = fits && place(plan.infoRecord, size);
    }
    return fits;
}

// Buffered output into the database file that remembers its first failure.
class FileSink {
public:
    explicit FileSink(FileHandle file)
        : file_(file), buffer_(new (std::nothrow) std::uint8_t[kSinkBuffer]) {
        ok_ = isValidFile(file_) && buffer_ != nullptr;
    }
    ~FileSink() {
        if (isValidFile(file_))
            win::CloseHandle(file_);
    }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool ok() const { return ok_; }
    void fail() { ok_ = false; }

    void bytes(const void* data, std::size_t n) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        if (n >= kSinkBuffer) {
            // Large blocks go to the file directly, after what is buffered.
            flush();
            if (ok_ && FileWrite(file_, p, n) != n)
                ok_ = false;
            return;
        }
        while (ok_ && n > 0) {
            if (used_ == kSinkBuffer)
                flush();
            const std::size_t take = std::min(n, kSinkBuffer - used_);
            std::memcpy(buffer_.get() + used_, p, take);
            used_ += take;
            p += take;
            n -= take;
        }
    }
    void u8(std::uint8_t v) { bytes(&v, 1); }
    void u16(std::uint32_t v) {
        const std::uint8_t b[2] = {std::uint8_t(v >> 8), std::uint8_t(v)};
        bytes(b, 2);
    }
    void u32(std::uint32_t v) {
        const std::uint8_t b[4] = {std::uint8_t(v >> 24), std::uint8_t(v >> 16),
                                   std::uint8_t(v >> 8), std::uint8_t(v)};
        bytes(b, 4);
    }
    void text(std::u16string_view t) {
        const std::string narrow = pdbText(t);
        bytes(narrow.data(), narrow.size());
        u8(0);
    }

    // Writes what is buffered, puts it on the disk and closes the file;
    // whether everything was written.
    bool finish() {
        flush();
        if (ok_ && !FileFlush(file_))
            ok_ = false;
        const bool closed = win::CloseHandle(file_) != 0;
        file_ = win::INVALID_HANDLE_VALUE;
        return ok_ && closed;
    }

private:
    void flush() {
        if (ok_ && used_ > 0 && FileWrite(file_, buffer_.get(), used_) != used_)
            ok_ = false;
        used_ = 0;
    }

    FileHandle file_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t used_ = 0;
    bool ok_ = false;
};

void writeHeader(FileSink& out, const std::array<char, 32>& name, const FilePlan& plan) {
    out.bytes(name.data(), name.size());
    out.u16(0);  // attributes
    out.u16(0);  // version
    out.u32(kDate);
    out.u32(kDate);
    for (int i = 0; i < 4; ++i)
        out.u32(0);  // backup date, modification number, application and sort info
    out.bytes("READ", 4);
    out.bytes("READ", 4);
    out.u32(0);  // unique id seed
    out.u32(0);  // next record list
    out.u16(std::uint32_t(plan.offsets.size()));
    for (std::size_t i = 0; i < plan.offsets.size(); ++i) {
        out.u32(plan.offsets[i]);
        out.u8(0x40);
        // 0x6F, then the index past 0x8000 in 16 bits.
        out.u8(0x6F);
        out.u16((0x8000 + std::uint32_t(i)) & 0xFFFF);
    }
}

void writeIndex(FileSink& out, const FilePlan& plan) {
    out.u16(std::uint32_t(plan.pages.size()));
    out.u16(plan.infoRecord);
    std::uint32_t rowTable = 1;
    for (const PagePlan& page : plan.pages) {
        out.u16(std::uint32_t(page.rec->width));
        out.u16(std::uint32_t(page.rec->height));
        out.u16(std::uint32_t(page.rec->bitsPerPixel()));
        out.u16(rowTable++);
        out.u16(page.linkRecord);
        out.u16(page.annotationRecord);
    }
}

void writeRowTable(FileSink& out, const PagePlan& page) {
    const PDBPageRecord& rec = *page.rec;
    std::uint32_t record = page.firstImage - 1;
    std::uint32_t offset = 0;
    std::size_t nextStart = 0;
    for (int32_t r = 0; r < rec.height; ++r) {
        if (nextStart < rec.recordStarts.size() && rec.recordStarts[nextStart] == r) {
            ++record;
            ++nextStart;
            offset = 0;
        }
        out.u16(record);
        out.u16(offset);
        out.u16(rec.codedLengths[r]);
        offset += rec.codedLengths[r];
    }
}

// Writes the coded rows of a page: those kept in memory, else those of its
// spill file read back (and deleted); false when the file is missing or short
// or codes otherwise than when it was spilled.
bool writeImage(FileSink& out, const PDBPageRecord& rec, int32_t position,
                const SpillFolder& spill) {
    if (!rec.coded.empty()) {
        out.bytes(rec.coded.data(), rec.coded.size());
        return true;
    }
    std::unique_ptr<std::uint8_t[]> packed(new (std::nothrow) std::uint8_t[rec.packedSize]);
    const std::size_t rowBytes = rec.rowBytes();
    std::unique_ptr<std::uint8_t[]> coded(new (std::nothrow)
                                              std::uint8_t[compressedCapacity(rowBytes)]);
    if (!packed || !coded)
        return false;
    const bool read = spill.readPage(position, packed.get(), rec.packedSize);
    spill.removePage(position);
    if (!read)
        return false;
    for (int32_t r = 0; r < rec.height && out.ok(); ++r) {
        const std::size_t length =
            compressRecord(packed.get() + std::size_t(r) * rowBytes, rowBytes, coded.get());
        if (length != rec.codedLengths[r])
            return false;
        out.bytes(coded.get(), length);
    }
    return true;
}

void writeAnnotationList(FileSink& out, const PagePlan& page) {
    // Kept inside the page: moved left (up) to fit, to 0 when it cannot.
    auto fit = [](int64_t at, int64_t size, int64_t pageSize) {
        at = std::min(at, pageSize - size);
        return std::uint32_t(at <= 0 ? 0 : at);
    };
    std::uint32_t text = page.firstText;
    for (const PdbAnnotation& a : *page.rec->annotations) {
        out.u16(fit(a.x, a.width, page.rec->width) & 0xFFFF);
        out.u16(fit(a.y, a.height, page.rec->height) & 0xFFFF);
        out.u16(std::uint32_t(a.width) & 0xFFFF);
        out.u16(std::uint32_t(a.height) & 0xFFFF);
        out.u16(text++);
    }
}

bool writeRecords(FileSink& out, const std::array<char, 32>& name, const FilePlan& plan,
                  const PdbInfoTexts* info, const SpillFolder& spill) {
    writeHeader(out, name, plan);
    writeIndex(out, plan);
    for (const PagePlan& page : plan.pages)
        writeRowTable(out, page);
    int32_t position = 1;
    for (const PagePlan& page : plan.pages) {
        if (!out.ok() || !writeImage(out, *page.rec, position++, spill))
            return false;
    }
    for (const PagePlan& page : plan.pages) {
        for (const PdbLink& link : page.links) {
            for (int32_t v : {link.x, link.y, link.x1, link.y1, link.toPage, link.toX, link.toY})
                out.u32(std::uint32_t(v));
        }
    }
    for (const PagePlan& page : plan.pages) {
        if (page.annotationRecord)
            writeAnnotationList(out, page);
    }
    for (const PagePlan& page : plan.pages) {
        if (!page.rec->annotations)
            continue;
        for (const PdbAnnotation& a : *page.rec->annotations) {
            out.text(a.caption);
            out.text(a.text);
        }
    }
    if (info) {
        for (const std::u16string& text : *info)
            out.text(text);
    }
    return out.ok();
}

// A file already at the name may be replaced when it could be written
// itself: a read-only file, or a folder, stays.
bool replaceable(std::u16string_view fileName) {
    const FileHandle existing = FileOpen(fileName, kFileWrite);
    if (isValidFile(existing)) {
        FileClose(existing);
        return true;
    }
    return win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
}

// A new file beside the named one, "NAME.PID.RANDOM.tmp", locked while this
// process writes it; new random parts are tried while the name is taken.
// New files of exports that were killed go first. INVALID_HANDLE_VALUE when
// none can be made.
FileHandle createBeside(std::u16string_view fileName, std::u16string& newName) {
    std::string target;
    if (!nativeFileName(fileName, target))
        return win::INVALID_HANDLE_VALUE;
    std::replace(target.begin(), target.end(), '\\', '/');
    removeAbandonedNewFiles(target);
    const std::string prefix = newFilePrefix(target);
    for (;;) {
        newName = WideFromUtf8(prefix + randomHexTag() + ".tmp");
        const FileHandle file = FileOpen(newName, kFileWrite | kFileNew);
        if (isValidFile(file)) {
            FileLock(file);
            return file;
        }
        if (win::GetLastError() != win::ERROR_FILE_EXISTS)
            return file;
    }
}

}  // namespace

std::string pdbText(std::u16string_view text) {
    std::string out;
    out.reserve(textLength(text));
    for (char16_t c : text) {
        if (c == 0)
            break;
        if (c == 13)
            c = 10;
        out.push_back(c < 256 ? char(c) : '?');
    }
    return out;
}

bool writePdbFile(std::u16string_view fileName, const std::array<char, 32>& name,
                  const std::vector<const PDBPageRecord*>& pages, const PdbInfoTexts* info,
                  const SpillFolder& spill) {
    if (pages.empty())
        return false;
    FilePlan plan;
    try {
        if (!planFile(pages, info, plan))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The database goes into a new file beside the named one, which it
    // replaces only once it is whole and on the disk: a failed export leaves
    // an earlier file at the name as it was. A link at the name is followed,
    // so that the file it leads to is the one replaced, keeping its
    // permissions, as writing into it did.
    const std::u16string target = FileFinalName(fileName);
    if (!replaceable(target))
        return false;
    std::u16string newName;
    FileHandle file = createBeside(target, newName);
    if (!isValidFile(file))
        return false;
    FileSink out(file);
    bool written;
    try {
        written = writeRecords(out, name, plan, info, spill);
    } catch (const std::bad_alloc&) {
        written = false;
    }
    if (!written)
        out.fail();
    if (!out.finish() || !FileReplace(newName, target)) {
        FileDelete(newName);
        return false;
    }
    return true;
}

}  // namespace vistrel
