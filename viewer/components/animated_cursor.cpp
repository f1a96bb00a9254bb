#include "viewer/components/animated_cursor.h"

#include <algorithm>
#include <cstring>

#include "viewer/components/colour_reduction.h"
#include "viewer/components/graphic_errors.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

// More frames than this are refused, whatever the header claims.
constexpr std::uint32_t kMaxFrames = 4096;
constexpr std::size_t kMaxInfoText = 255;

bool isId(ByteSpan id, const char* text) {
    return std::memcmp(id.data(), text, 4) == 0;
}

struct Chunk {
    ByteSpan id;
    ByteSpan body;
};

// The next chunk of r; sizes are rounded up to an even count, and a body
// past the data refuses the file.
Chunk nextChunk(ByteReader& r) {
    Chunk c;
    c.id = r.take(4);
    std::uint32_t size = r.le32();
    c.body = r.take(size);
    if ((size & 1) && !r.atEnd())
        r.skip(1);
    return c;
}

std::string infoText(ByteSpan body) {
    std::size_t n = std::min(body.size(), kMaxInfoText);
    std::size_t end = 0;
    while (end < n && body[end] != 0)
        ++end;
    return std::string(body.begin(), body.begin() + std::ptrdiff_t(end));
}

}  // namespace

void AnimatedCursorImage::clear() {
    header_ = {};
    frames_.clear();
    title_.clear();
    creator_.clear();
    colours_ = 0;
}

void AnimatedCursorImage::loadFromFile(const std::string& path) {
    Bytes file = readFileBytes(path);
    loadFromBytes(file);
}

void AnimatedCursorImage::readData(ByteSpan data) {
    ByteReader r(data);
    std::uint32_t n = r.le32();
    loadFromBytes(r.take(n));
}

Bytes AnimatedCursorImage::saveToBytes() const {
    notImplemented();
}

void AnimatedCursorImage::loadFromBytes(ByteSpan file) {
    clear();
    ByteReader r(file);
    if (!isId(r.take(4), "RIFF"))
        throw StreamReadError();
    std::uint32_t riffSize = r.le32();
    if (!isId(r.take(4), "ACON") || riffSize < 4)
        throw StreamReadError();
    // Chunks run to the end the RIFF header gives, or of the data if sooner.
    ByteReader chunks(file.subspan(12, std::min<std::size_t>(riffSize - 4, file.size() - 12)));

    AniHeader header;
    std::vector<IconFrame> frames;
    std::string title, creator;
    int colours = 0;
    while (chunks.remaining() >= 8) {
        Chunk c = nextChunk(chunks);
        if (isId(c.id, "anih")) {
            if (c.body.size() < 36)
                throw StreamReadError();
            std::uint32_t v[9];
            for (int i = 0; i < 9; ++i)
                v[i] = le32At(c.body, std::size_t(4) * i);
            header = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
            if (!(header.flags & 1) || header.steps == 0)
                throw StreamReadError();
            // Each frame needs an icon chunk of 8 bytes at least.
            if (header.frames > kMaxFrames || header.frames > chunks.remaining() / 8)
                throw StreamReadError();
            frames.clear();
            for (std::uint32_t i = 0; i < header.frames; ++i) {
                IconFrame f;
                f.index = int(i);
                f.rate = int(std::min<std::uint32_t>(header.rate, 0x7FFFFFFF));
                frames.push_back(std::move(f));
            }
        } else if (isId(c.id, "rate")) {
            std::size_t n = std::min<std::size_t>({c.body.size() / 4, header.steps, frames.size()});
            for (std::size_t i = 0; i < n; ++i)
                frames[i].rate = int(std::min<std::uint32_t>(le32At(c.body, 4 * i), 0x7FFFFFFF));
        } else if (isId(c.id, "seq ")) {
            std::size_t n = std::min<std::size_t>({c.body.size() / 4, header.steps, frames.size()});
            for (std::size_t i = 0; i < n; ++i) {
                std::uint32_t index = le32At(c.body, 4 * i);
                if (index >= header.frames)
                    throw StreamReadError();
                frames[i].index = int(index);
            }
        } else if (isId(c.id, "LIST") && c.body.size() >= 4) {
            ByteReader list(c.body);
            ByteSpan type = list.take(4);
            if (isId(type, "fram")) {
                int n = 0;
                while (list.remaining() >= 8) {
                    Chunk sub = nextChunk(list);
                    if (!isId(sub.id, "icon"))
                        continue;
                    IconFrame loaded;
                    bool ok = sub.body.size() >= 6;
                    int type = ok ? le16At(sub.body, 2) : 0;
                    if (ok && (type == 1 || type == 2)) {
                        Bytes image(sub.body.begin(), sub.body.end());
                        image[2] = 1;
                        image[3] = 0;
                        try {
                            loaded.icon.load(image);
                        } catch (const InvalidGraphic&) {
                            ok = false;
                        }
                    } else {
                        ok = false;
                    }
                    if (ok) {
                        loaded.isIcon = type == 1;
                        if (type == 2) {
                            const IconEntry& last = loaded.icon.entries().back();
                            loaded.hotX = last.planes;
                            loaded.hotY = last.bitCount;
                        } else {
                            loaded.hotX = loaded.icon.width() / 2;
                            loaded.hotY = loaded.icon.height() / 2;
                        }
                        colours = std::max(colours, loaded.icon.colourCount());
                        bool given = false;
                        for (IconFrame& f : frames) {
                            if (f.index != n)
                                continue;
                            f.icon = loaded.icon;
                            f.isIcon = loaded.isIcon;
                            f.hotX = loaded.hotX;
                            f.hotY = loaded.hotY;
                            given = true;
                        }
                        if (!given) {
                            loaded.index = n;
                            loaded.rate = int(std::min<std::uint32_t>(header.rate, 0x7FFFFFFF));
                            frames.push_back(std::move(loaded));
                        }
                    }
                    ++n;
                }
            } else if (isId(type, "INFO")) {
                while (list.remaining() >= 8) {
                    Chunk sub = nextChunk(list);
                    if (isId(sub.id, "INAM"))
                        title = infoText(sub.body);
                    else if (isId(sub.id, "IART"))
                        creator = infoText(sub.body);
                }
            }
        }
    }
    std::erase_if(frames, [](const IconFrame& f) { return f.icon.empty(); });
    if (frames.empty())
        throw StreamReadError();
    header.steps = std::uint32_t(frames.size());
    header_ = header;
    frames_ = std::move(frames);
    title_ = std::move(title);
    creator_ = std::move(creator);
    colours_ = colours;
}

void AnimatedCursorImage::assign(const AnimatedCursorImage& other) {
    if (&other == this)
        return;
    header_ = other.header_;
    title_ = other.title_;
    creator_ = other.creator_;
    colours_ = other.colours_;
    frames_ = other.frames_;
}

void AnimatedCursorImage::assignTo(Bitmap& dst) const {
    if (frames_.empty()) {
        dst = Bitmap();
        return;
    }
    const Icon& icon = frames_.front().icon;
    Bitmap b(icon.width(), icon.height(), 24);
    fillBitmap(b, kColourWhite);
    icon.drawOn(b, 0, 0, b.width(), b.height());
    dst = std::move(b);
}

Bitmap AnimatedCursorImage::strip(Colour background, bool vertical, bool reduce) const {
    if (frames_.empty())
        return Bitmap();
    int w = frames_.front().icon.width(), h = frames_.front().icon.height();
    int n = int(frames_.size());
    Bitmap b(vertical ? w : w * n, vertical ? h * n : h, 24);
    fillBitmap(b, isRgbColour(background) ? background : kColourWhite);
    for (int i = 0; i < n; ++i)
        frames_[std::size_t(i)].icon.drawOn(b, vertical ? 0 : i * w, vertical ? i * h : 0, w, h);
    if (reduce)
        return convertForColours(b, std::max(colours_, 16));
    return b;
}

}  // namespace brevant
