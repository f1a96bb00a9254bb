// Animated cursors: RIFF "ACON" files with an "anih" header, optional "rate"
// and "seq " chunks, a "fram" list of icon or cursor images and "INFO" texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/components/bitmap.h"
#include "viewer/components/icon.h"

namespace brevant {

struct AniHeader {
    std::uint32_t size = 36;
    std::uint32_t frames = 0;
    std::uint32_t steps = 0;
    std::uint32_t width = 0, height = 0;
    std::uint32_t bitCount = 0, planes = 0;
    std::uint32_t rate = 0;   // default display rate in jiffies (1/60 s)
    std::uint32_t flags = 0;  // bit 0: the frames are icon or cursor images
};

struct IconFrame {
    Icon icon;
    bool isIcon = true;  // an icon image rather than a cursor
    int index = 0;
    int rate = 0;  // jiffies
    int hotX = 0, hotY = 0;
};

class AnimatedCursorImage {
public:
    // Reads a whole RIFF "ACON" file; StreamReadError when it is refused.
    void loadFromBytes(ByteSpan file);
    void loadFromFile(const std::string& path);
    // A stored property: a 32-bit byte count, then the file.
    void readData(ByteSpan data);
    // Animated cursors are not written: shows the not-implemented box.
    [[noreturn]] Bytes saveToBytes() const;

    int frameCount() const { return int(frames_.size()); }
    const Icon& frame(int i) const { return frames_.at(std::size_t(i)).icon; }
    int frameRate(int i) const { return frames_.at(std::size_t(i)).rate; }
    const IconFrame& iconFrame(int i) const { return frames_.at(std::size_t(i)); }

    const AniHeader& header() const { return header_; }
    const std::string& title() const { return title_; }
    const std::string& creator() const { return creator_; }
    // Colours of the frames' image data when read (the largest).
    int originalColours() const { return colours_; }

    void assign(const AnimatedCursorImage& other);
    // The first frame drawn on white.
    void assignTo(Bitmap& dst) const;
    // Every frame, at the size of the first, side by side (or one above the
    // other) on the background colour; with reduce, reduced to
    // max(originalColours, 16) colours.
    Bitmap strip(Colour background, bool vertical, bool reduce) const;

private:
    void clear();

    AniHeader header_;
    std::vector<IconFrame> frames_;
    std::string title_, creator_;
    int colours_ = 0;
};

}  // namespace brevant
