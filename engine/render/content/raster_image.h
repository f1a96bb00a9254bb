// An image prepared for the page: rows of samples go in one at a time, are
// widened to 8 bits per component, converted from CMYK where needed, scaled
// to the image's size on the device and written into a DIB section that the
// device blits. Upright and quarter-turn placements are written straight
// into the DIB; other rotations are drawn upright and centred, or (rotation
// mode 3 and above) rasterised rotated through a second image and clipped to
// the image's parallelogram. An image can also be loaded from a picture file
// (BMP, JPEG, PNG or the number-text geometry).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/render/raster/image_view.h"
#include "platform/gdi/gdi.h"

namespace vistrel {

class InputStream;

// A picture file and its data (the rows of a number-text picture).
struct StreamPair {
    InputStream* image = nullptr;
    InputStream* data = nullptr;
};

class RasterImage : public ImageView {
public:
    // Orientation bits: which device edges are not 0, and drawn rotated.
    enum : std::int32_t {
        kEdgeA = 1,
        kEdgeB = 2,
        kEdgeC = 4,
        kEdgeD = 8,
        kRotated = 16,
        kUpright = kEdgeA | kEdgeD,
        kQuarterTurn = kEdgeB | kEdgeC
    };
    // Kinds of picture file.
    enum FileKind : std::int32_t { kBmp = 0, kJpeg = 1, kPng = 2, kNumberText = 3 };
    // Largest DIB side in pixels, and largest DIB in bytes.
    static constexpr std::int64_t kMaxDibSide = 32768;
    static constexpr std::int64_t kMaxDibBytes = std::int64_t{1} << 28;

    RasterImage();
    ~RasterImage() override;
    RasterImage(const RasterImage&) = delete;
    RasterImage& operator=(const RasterImage&) = delete;

    bool isReady() const { return dibBits_ != nullptr; }
    bool isUsable() const override { return isReady(); }
    // Blits the DIB with its corner at origin + position(); a rotated image
    // is rasterised into the bounding box first and clipped to its
    // parallelogram. False when there is no DIB.
    bool Draw(IntPoint origin, OutputDevice& device) override;
    // A deep copy: its own DIB and accumulators, no picture reader.
    std::unique_ptr<DrawableBase> clone() const override;

    // Prepares the DIB for a source of width x height samples of
    // `components` components (1, 3, or 4 for CMYK) of bitsPerComponent
    // bits (1, 2, 4 or 8) under the device matrix (a b c d e f; null: the
    // source size, upright). Returns the bytes a row buffer handed to putRow
    // must hold, or 0 when the image cannot be drawn.
    std::size_t begin(std::int32_t width, std::int32_t height, std::int32_t components,
                      std::int32_t bitsPerComponent, std::int32_t reserved, const double* matrix);
    // The next source row, top row first; the buffer is converted in place.
    bool putRow(std::uint8_t* row, std::size_t byteCount);
    // putRow converts the rows it is handed: samples below 8 bits are
    // widened, CMYK converted by the model of the quality settings.
    bool convertsRows() const { return bitsPerComponent_ < 8 || components_ == 4; }

    // Takes the pixels of `drawn`, an image of the same rows placed the same
    // way and drawn in full, instead of putting the rows; false (nothing
    // taken) when its DIB is not of this one's size and placement.
    bool copyPixelsFrom(const RasterImage& drawn);

    bool loadImageFile(InputStream& stream);
    bool readImageRows(InputStream& stream, const double* matrix);
    bool loadFromStreams(StreamPair& streams);

    // A stencil image (an image mask) paints the device's fill colour where
    // its samples are 0; set before begin.
    void setStencil(bool on) { stencil_ = on; }

    // ImageView.
    win::HBITMAP dibSection() const override { return dib_; }
    int dibWidth() const override { return dibWidth_; }
    int dibHeight() const override { return dibHeight_; }
    int bytesPerPixel() const override { return bytesPerPixel_; }
    std::size_t dibStride() const override { return dibStride_; }
    std::uint8_t* dibRow(int y) override { return dibBits_ + std::size_t(y) * dibStride_; }
    bool stencil() const override { return stencil_; }

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t components() const { return components_; }
    std::int32_t bitsPerComponent() const { return bitsPerComponent_; }
    std::int32_t orientation() const { return orientation_; }
    std::int32_t rotationMode() const { return rotationMode_; }
    std::int32_t fileKind() const { return fileKind_; }
    std::int32_t dstWidth() const { return dstWidth_; }
    std::int32_t dstHeight() const { return dstHeight_; }
    // The DIB's top-left corner relative to the drawing origin.
    IntPoint position() const { return position_; }

private:
    struct Cmyk;
    struct Column;

    bool createDib();
    void freeDib();
    // Writes a scaled row (blue, green, red or grey) at the cursor and moves
    // the cursor on; the row step.
    std::ptrdiff_t writeRow(const std::uint8_t* scaledRow);
    // Writes previous + (new - previous) * weight / 1024.
    std::ptrdiff_t writeBlendedRow(std::int32_t weight);
    // Widens the row to 8 bits per component and converts CMYK to RGB.
    void convertRow(std::uint8_t* row);
    // Fills columns_ for the row width and dstWidth_; false when out of
    // memory.
    bool planColumns();
    // Sets shrinkMagic_ and shrinkShift_ for the columns planned, which
    // take `shortest` to `longest` source pixels.
    void planShrinkVectors(std::int32_t shortest, std::int32_t longest);
    // Plans the shrinking of colour rows by taps (see shrinkByTaps) where
    // the processor has AVX2 and no output pixel takes more than 16
    // source pixels; false when out of memory.
    bool planShrinkTaps();
    // One converted row into rowAccumulator_, scaled to dstWidth_.
    void scaleRow(const std::uint8_t* row);
    template <int Components>
    void scaleRowOf(const std::uint8_t* row);
    // The shrinking of scaleRowOf for colour rows with 16-byte vectors, where
    // shrinkMagic_ is set.
    template <int Components>
    void shrinkColourRow(const std::uint8_t* row);
    // The shrinking of scaleRowOf for colour rows, two output pixels at a
    // time from the weights of their source pixels, where tapGroups_ is set.
    template <int Components>
    void shrinkByTaps(const std::uint8_t* row);
    // Advances the vertical error term.
    void advance(std::int32_t correction);
    void drawRotated(IntPoint origin, OutputDevice& device, RasterImage& box);

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t components_ = 0;
    std::int32_t bitsPerComponent_ = 0;
    std::size_t inBytesPerRow_ = 0;
    std::int32_t fileKind_ = -1;
    std::int32_t dibWidth_ = 0;
    std::int32_t dibHeight_ = 0;
    std::int32_t bytesPerPixel_ = 0;
    std::size_t dibStride_ = 0;
    std::uint8_t* dibBits_ = nullptr;
    std::unique_ptr<std::uint8_t[]> rowAccumulator_;
    std::unique_ptr<std::uint8_t[]> nextRowAccumulator_;
    // Shrinking rows: the weighted sums of the output row under way, in
    // units of 1/1024 of a byte.
    std::unique_ptr<std::uint32_t[]> rowSums_;
    // How each pixel of a scaled row is made from the source row (none when
    // the widths are equal): the same for every row.
    std::unique_ptr<Column[]> columns_;
    // Shrinking columns: ceil(2^55 / width), which divides a pixel's sum by
    // the width with a multiplication (0: too wide for it, divided).
    std::uint64_t xReciprocal_ = 0;
    // Shrinking colour columns with vectors: ceil(2^shift / width), which
    // divides a sum below 256 x width with a 32 x 32-bit multiplication
    // (0: the sums or weights do not fit the vectors' lanes).
    std::uint32_t shrinkMagic_ = 0;
    std::int32_t shrinkShift_ = 0;
    // Shrinking colour columns by taps: groups of four source pixels an
    // output pixel reads (0: not planned), the byte where each output pixel's
    // first one lies (one entry more, for an odd width), the weights of every
    // pair of output pixels as the vectors' lanes, the pairs read and written
    // in place and, for the rest, the end of the row copied into room to
    // read past it.
    std::int32_t tapGroups_ = 0;
    std::unique_ptr<std::int32_t[]> tapStarts_;
    std::unique_ptr<std::int16_t[]> tapWeights_;
    std::int32_t tapPairsInPlace_ = 0;
    std::unique_ptr<std::uint8_t[]> tapTail_;
    std::int32_t yScale_ = 0;
    // A, B, C, D, e', f': the device edges and the rounded origin.
    std::int64_t edge_[4] = {1, 0, 0, 1};
    IntPoint origin_;
    std::uint8_t* dibCursor_ = nullptr;
    std::int32_t rowsWritten_ = 0;
    IntPoint position_;
    std::int32_t rotationMode_ = 2;
    std::int32_t orientation_ = 0;
    std::int32_t dstWidth_ = 0;
    std::int32_t dstHeight_ = 0;
    std::ptrdiff_t pixelStep_ = 0;
    std::ptrdiff_t rowStep_ = 0;
    std::int32_t yAccumulator_ = 0;
    std::int32_t yError_ = 0;
    std::int32_t yErrorStep_ = 0;
    bool stencil_ = false;
    std::unique_ptr<InputStream> reader_;
    std::unique_ptr<Cmyk> cmyk_;
    win::HBITMAP dib_;
};

// The drawable the output devices make for NewImage: an empty RasterImage.
std::unique_ptr<DrawableBase> newRasterImage();

}  // namespace vistrel
