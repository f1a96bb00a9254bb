// GIF pictures (87a and 89a): several frames, the looping extension,
// transparency and comments; read from and written to the GIF file format.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer/components/bitmap.h"
#include "viewer/components/byte_io.h"

namespace brevant {

class AnimatedCursorImage;
class GifImage;
class Icon;

// Clipboard format name, file extension and the description of the format.
inline constexpr const char* kGifClipboardFormat = "GIF Image";
inline constexpr const char* kGifFileExtension = "gif";

// When set, damaged data is decoded as far as it goes and marks the frame
// corrupted instead of raising.
void setGifLoadCorrupted(bool on);
bool gifLoadCorrupted();

struct ColourTable {
    int count = 0;
    std::array<Rgb, 256> entries{};
    friend bool operator==(const ColourTable&, const ColourTable&) = default;
};

// The picture-wide part shared between copies of an image.
struct GifData {
    std::vector<std::string> comment;
    std::uint8_t aspectRatio = 0;
    int bitsPerPixel = 1;
    int colourResolution = 1;
    ColourTable colourTable;
};

// A frame's compressed image, shared between copies of the frame.
struct GifItem {
    Bytes data;  // minimum code size byte and data sub-blocks as in the file
    int width = 0, height = 0;
    std::uint8_t packed = 0;
    int bitsPerPixel = 8;
    ColourTable colourTable;
};

enum class GifExtensionKind { GraphicControl = 0, PlainText = 1, Application = 2, Comment = 3 };

struct GifExtension {
    GifExtensionKind kind = GifExtensionKind::Comment;
    Bytes fixed;                      // block size byte and its bytes
    std::vector<std::string> blocks;  // data sub-blocks
};

enum class ProgressStage { Starting, Running, Ending };
using ProgressHook =
    std::function<void(ProgressStage stage, int percent, const std::string& message)>;

class GifFrame {
public:
    explicit GifFrame(GifImage* owner);

    // The decoded bitmap, built on first request.
    const Bitmap& bitmap();
    bool hasBitmap() const { return bitmap_ != nullptr; }
    bool hasData() const { return item_ && !item_->data.empty(); }
    int width() const;
    int height() const;

    void reset();
    void assign(const GifFrame& src);
    void assign(GifImage& src);
    // Copies a bitmap into the frame; a transparent bitmap gives its colour.
    void assign(const Bitmap& src);
    // Draws the icon on magenta, which becomes the transparent colour.
    void assign(const Icon& src);
    void assignTo(Bitmap& dst);
    // Replaces the decoded bitmap only; the compressed data stay.
    void setDecodedBitmap(const Bitmap& bmp) { bitmap_ = std::make_unique<Bitmap>(bmp); }

    int left = 0, top = 0;
    Colour transparentColour = kColourNone;
    int delay = 0;  // milliseconds
    int disposal = 0;
    bool interlaced = false;
    bool localColourTable = false;
    bool greyScale = false;
    bool corrupted = false;

    const GifItem& item() const { return *item_; }
    const std::vector<GifExtension>& extensions() const { return extensions_; }
    // The texts of the frame's comment extensions.
    std::vector<std::string> comment() const;

private:
    friend class GifImage;
    void decode();
    void encode();
    void updateGraphicControl();

    GifImage* owner_;
    std::shared_ptr<GifItem> item_;
    std::unique_ptr<Bitmap> bitmap_;
    std::vector<GifExtension> extensions_;
};

class GifImage {
public:
    GifImage();
    GifImage(const GifImage&) = delete;
    GifImage& operator=(const GifImage&) = delete;
    ~GifImage();

    void clear();
    void assign(const GifImage& src);
    void assign(GifFrame& src);
    void assign(const Bitmap& src);
    void assign(const AnimatedCursorImage& src);
    void assignTo(GifImage& dst) const { dst.assign(*this); }
    // The current frame (the first when none is current) as a bitmap.
    void assignTo(Bitmap& dst);

    // Appends a frame made from a picture and makes it current; its index.
    int addFrame(const Bitmap& src);
    int addFrame(const Icon& src);
    int addFrame(GifFrame& src);

    bool equals(const GifImage& other) const { return data_ == other.data_; }
    bool empty() const;
    int width();
    int height();
    std::vector<Rgb> palette();
    // Transparent set and a frame with a transparent colour.
    bool isTransparent() const;
    // A GIF picture keeps its size: both raise 61099.
    [[noreturn]] void setWidth(int);
    [[noreturn]] void setHeight(int);

    // The GIF file in bytes; the first frame is decoded at once.
    void loadFromBytes(ByteSpan file);
    Bytes saveToBytes();
    // A picture property: a 4-byte length, then the GIF file; the first frame
    // is decoded at once unless decodeFirst is false.
    void readData(ByteSpan data, bool decodeFirst = true);
    Bytes writeData();

    int count() const { return int(frames_.size()); }
    GifFrame& frame(int i) { return *frames_.at(std::size_t(i)); }
    int frameIndex() const { return current_; }
    // Clamped to -1 .. count - 1.
    void setFrameIndex(int i);

    int version = 0;  // 0 unknown, 1 "87a", 2 "89a"
    int screenWidth = 0, screenHeight = 0;
    Colour backgroundColour = kColourNone;
    bool looping = false;
    int repeatCount = 1;
    bool transparent = true;

    const GifData& data() const { return *data_; }
    GifData& mutableData();
    std::vector<std::string>& comment() { return mutableData().comment; }

    std::function<void()> onChange;
    ProgressHook onProgress;

private:
    friend class GifFrame;
    void read(ByteSpan file, bool decodeFirst);
    void readFrame(ByteReader& r, GifFrame& frame);
    void changed();
    void progress(ProgressStage stage, int percent, const std::string& message = {});

    std::shared_ptr<GifData> data_;
    std::vector<std::unique_ptr<GifFrame>> frames_;
    int current_ = -1;
};

}  // namespace brevant
