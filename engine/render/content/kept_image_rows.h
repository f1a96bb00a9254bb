// The rows of image XObjects kept between readings: while a KeptImageRows is
// the thread's current one, an image XObject read in full keeps its rows as
// the data gave them (before Decode and the colour conversion), and a later
// reading copies them instead of decoding the data again. The rows of all
// images together, with a spare buffer kept for the next image, stay within
// a budget: the image kept longest gives its rows up first. A keeper made to
// keep drawings also keeps, within the same budget again, a copy of each
// image drawn in full, with its device matrix, which a later drawing of the
// image under the same matrix takes instead of scaling the rows again. An
// image that is kept is held, so the document keeps the same object for it;
// the keeper must go before its document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "engine/core/ref.h"

namespace vistrel {

class ImageXObject;
class RasterImage;

class KeptImageRows {
public:
    // A buffer for rows and the bytes it holds.
    struct Memory {
        std::shared_ptr<std::uint8_t[]> bytes;
        std::size_t size = 0;
    };

    explicit KeptImageRows(std::size_t budget, bool keepsDrawings = false);
    // Every kept image gives its rows up.
    ~KeptImageRows();
    KeptImageRows(const KeptImageRows&) = delete;
    KeptImageRows& operator=(const KeptImageRows&) = delete;

    // Makes the keeper the thread's current one while it lives; the one
    // before comes back after it.
    class Scope {
    public:
        explicit Scope(KeptImageRows& keeper);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        KeptImageRows* previous_;
    };

    // The thread's current keeper, or null.
    static KeptImageRows* current();

    // A buffer of at least `bytes` bytes for an image's rows: the spare one
    // when it is large enough, else a new one, the images kept longest
    // giving theirs up until it fits. Empty when the rows exceed the budget
    // or memory runs out.
    Memory rowMemory(std::size_t bytes);
    // The image keeps its rows in `memory` from rowMemory; false (memory
    // not taken) when they exceed the budget.
    bool add(ImageXObject& image, Memory memory);
    // Every kept image gives its rows up; the largest of their buffers is
    // held as the spare. The drawings go too.
    void clear();

    // Drawings kept at most: each drawing is looked up among them all.
    static constexpr std::size_t kMaxDrawings = 256;

    bool keepsDrawings() const { return keepsDrawings_; }
    // Keeps a copy of `drawn`, the image drawn in full under the device
    // matrix (a b c d e f), unless the drawings would exceed the budget or
    // kMaxDrawings, or the keeper keeps none.
    void keepDrawing(ImageXObject& image, const double* matrix, const RasterImage& drawn);
    // The drawing of the image under exactly that matrix and rotation mode,
    // or null.
    const RasterImage* drawing(const ImageXObject& image, const double* matrix,
                               std::int32_t rotationMode) const;

    // The bytes of the kept images' buffers, and of the spare one.
    std::size_t bytesKept() const { return used_; }
    std::size_t spareBytes() const { return spare_.size; }

private:
    struct Entry {
        Ref<ImageXObject> image;
        Memory memory;
    };
    // The images kept longest give up their rows until `bytes` more fit.
    void makeRoom(std::size_t bytes);

    struct Drawing {
        Ref<ImageXObject> image;
        double matrix[6];
        std::unique_ptr<RasterImage> drawn;
        std::size_t bytes;
    };

    std::deque<Entry> entries_;
    Memory spare_;
    std::size_t used_ = 0;
    std::size_t budget_;
    bool keepsDrawings_;
    std::vector<Drawing> drawings_;
    std::size_t drawingBytes_ = 0;
};

}  // namespace vistrel
