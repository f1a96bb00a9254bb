// The row predictors of Flate and LZW data: TIFF predictor 2 and the PNG
// filters (predictors 10 to 15, each row opened by its own filter byte).
// The decoder hands its decompressed rows to a Predictor, which gives back
// the samples as they were before prediction.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/core/streams.h"

namespace vistrel {

class FilterParams;

class Predictor {
public:
    // Longest row, in bytes without the PNG filter byte, that is predicted:
    // parameters asking for more give no data at all.
    static constexpr std::size_t kMaxRowBytes = std::size_t(1) << 22;

    // The predictor /Predictor, /Colors, /BitsPerComponent and /Columns ask
    // for (defaults 1, 1, 8 and 1); null when they ask for none (predictor 1
    // or a number naming no predictor). Colours beyond 32, other component
    // sizes than 1, 2, 4, 8 and 16, fewer than one column or colour and rows
    // beyond kMaxRowBytes give a predictor that ends the data at once.
    static std::unique_ptr<Predictor> fromParameters(const FilterParams* params);

    Predictor(int predictor, int colors, int bitsPerComponent, int columns);
    Predictor(const Predictor&) = delete;
    Predictor& operator=(const Predictor&) = delete;

    // The next predicted byte, or kEndOfData. fill(buffer, n) hands the next
    // decompressed bytes (up to n) and returns how many came; fewer than asked
    // means the data has ended.
    template <class Fill>
    std::uint16_t nextByte(Fill&& fill) {
        if (index_ < available_ || nextRow(fill))
            return row_[index_++];
        return kEndOfData;
    }

    // Up to count predicted bytes into out; returns how many came.
    template <class Fill>
    std::size_t read(std::uint8_t* out, std::size_t count, Fill&& fill) {
        std::size_t n = 0;
        while (n < count && (index_ < available_ || nextRow(fill))) {
            const std::size_t take = std::min(available_ - index_, count - n);
            std::memcpy(out + n, row_ + index_, take);
            index_ += take;
            n += take;
        }
        return n;
    }

    // Whether the data has ended and every predicted byte has been handed out.
    bool drained() const { return ended_ && index_ >= available_; }

    std::size_t rowBytes() const { return rowBytes_; }

private:
    // Reads and predicts the next row; false when none is left.
    template <class Fill>
    bool nextRow(Fill& fill) {
        if (ended_ || !allocate())
            return false;
        // The row handed out last becomes the row above.
        raw_.swap(above_);
        const std::size_t want = rowBytes_ + (png_ ? 1 : 0);
        const std::size_t got = fill(raw_.get(), want);
        if (got < want)
            ended_ = true;
        return predictRow(got);
    }
    // Makes the row buffers on first use; false (and the data ended) when
    // memory runs out or the parameters were refused.
    bool allocate();
    // Turns the got bytes read into raw_ into the row to hand out; false
    // when it holds nothing to hand out or has a filter byte of no filter.
    bool predictRow(std::size_t got);
    void undoPng(std::uint8_t filter, std::uint8_t* row, std::size_t n) const;
    void undoTiff(std::uint8_t* row, std::size_t n) const;

    bool png_ = false;
    int colors_ = 1;
    int bits_ = 8;
    std::size_t samples_ = 0;  // samples in a row
    std::size_t rowBytes_ = 0;
    std::size_t pixelBytes_ = 1;  // the PNG filters' distance to the left byte
    // Filter byte (PNG) and row, as read and then predicted in place; the
    // previous row in the same layout (zero before the first row).
    std::unique_ptr<std::uint8_t[]> raw_;
    std::unique_ptr<std::uint8_t[]> above_;
    std::uint8_t* row_ = nullptr;  // the row being handed out
    std::size_t index_ = 0;
    std::size_t available_ = 0;
    bool ended_ = false;
};

}  // namespace vistrel
