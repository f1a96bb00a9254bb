#include "engine/render/content/kept_image_rows.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <utility>

#include "engine/render/content/image_dict.h"
#include "engine/render/content/raster_image.h"

namespace vistrel {

namespace {

thread_local KeptImageRows* currentKeeper = nullptr;

// Buffers from this size on (the system's large page on x86-64) start at a
// multiple of it.
constexpr std::size_t kLargePage = std::size_t(1) << 21;

// A buffer for rows that the reading keeping them writes in full: a large
// one is mapped at once, in large pages where the system gives them, rather
// than by a fault on the first write of each small page. A system without
// the advice maps it on first write as before.
std::shared_ptr<std::uint8_t[]> newRowBuffer(std::size_t bytes) {
    if (bytes < kLargePage)
        return std::shared_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]);
    auto* rows = static_cast<std::uint8_t*>(
        ::operator new(bytes, std::align_val_t(kLargePage), std::nothrow));
    if (!rows)
        return nullptr;
    const auto page = std::size_t(::sysconf(_SC_PAGESIZE));
    ::madvise(rows, bytes & ~(kLargePage - 1), MADV_HUGEPAGE);
    ::madvise(rows, bytes & ~(page - 1), MADV_POPULATE_WRITE);
    return std::shared_ptr<std::uint8_t[]>(
        rows, [](std::uint8_t* p) { ::operator delete(p, std::align_val_t(kLargePage)); });
}

}  // namespace

KeptImageRows::KeptImageRows(std::size_t budget, bool keepsDrawings)
    : budget_(budget), keepsDrawings_(keepsDrawings) {}

KeptImageRows::~KeptImageRows() {
    for (Entry& entry : entries_)
        entry.image->dropKeptRows();
}

KeptImageRows::Scope::Scope(KeptImageRows& keeper) : previous_(currentKeeper) {
    currentKeeper = &keeper;
}

KeptImageRows::Scope::~Scope() {
    currentKeeper = previous_;
}

KeptImageRows* KeptImageRows::current() {
    return currentKeeper;
}

void KeptImageRows::makeRoom(std::size_t bytes) {
    while (!entries_.empty() && used_ > budget_ - bytes) {
        entries_.front().image->dropKeptRows();
        used_ -= entries_.front().memory.size;
        entries_.pop_front();
    }
}

KeptImageRows::Memory KeptImageRows::rowMemory(std::size_t bytes) {
    if (bytes == 0 || bytes > budget_)
        return {};
    Memory memory;
    if (spare_.size >= bytes) {
        memory = std::move(spare_);
        spare_ = {};
        makeRoom(memory.size);
        return memory;
    }
    spare_ = {};
    makeRoom(bytes);
    memory.bytes = newRowBuffer(bytes);
    memory.size = memory.bytes ? bytes : 0;
    return memory;
}

bool KeptImageRows::add(ImageXObject& image, Memory memory) {
    if (!memory.bytes || memory.size > budget_)
        return false;
    makeRoom(memory.size);
    used_ += memory.size;
    entries_.push_back({Ref<ImageXObject>::share(&image), std::move(memory)});
    return true;
}

void KeptImageRows::clear() {
    for (Entry& entry : entries_) {
        entry.image->dropKeptRows();
        // A buffer still read from stays with its reading.
        if (entry.memory.bytes.use_count() == 1 && entry.memory.size > spare_.size)
            spare_ = std::move(entry.memory);
    }
    entries_.clear();
    used_ = 0;
    drawings_.clear();
    drawingBytes_ = 0;
}

void KeptImageRows::keepDrawing(ImageXObject& image, const double* matrix,
                                const RasterImage& drawn) {
    if (!keepsDrawings_ || !drawn.isReady() || drawings_.size() >= kMaxDrawings ||
        drawing(image, matrix, drawn.rotationMode()))
        return;
    const std::size_t bytes = drawn.dibStride() * std::size_t(drawn.dibHeight());
    if (bytes > budget_ - drawingBytes_)
        return;
    std::unique_ptr<DrawableBase> copy = drawn.clone();
    auto* raster = dynamic_cast<RasterImage*>(copy.get());
    if (!raster)
        return;
    Drawing kept{Ref<ImageXObject>::share(&image), {},
                 std::unique_ptr<RasterImage>(static_cast<RasterImage*>(copy.release())), bytes};
    std::copy(matrix, matrix + 6, kept.matrix);
    drawings_.push_back(std::move(kept));
    drawingBytes_ += bytes;
}

const RasterImage* KeptImageRows::drawing(const ImageXObject& image, const double* matrix,
                                          std::int32_t rotationMode) const {
    for (const Drawing& kept : drawings_) {
        if (kept.image.get() == &image && kept.drawn->rotationMode() == rotationMode &&
            std::equal(matrix, matrix + 6, kept.matrix))
            return kept.drawn.get();
    }
    return nullptr;
}

}  // namespace vistrel
