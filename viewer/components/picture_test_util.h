// Access to the picture fixtures the build writes (GIF, icon, cursor and
// animated cursor files with the pixels the imaging library decodes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/components/byte_io.h"

namespace brevant::testing {

inline std::string picturePath(const std::string& name) {
    return std::string(BREVANT_PICTURE_DIR) + "/" + name;
}

inline Bytes pictureFile(const std::string& name) {
    return readFileBytes(picturePath(name));
}

// The first frame of a GIF fixture as the imaging library decodes it.
struct DecodedPixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // row by row
};

inline DecodedPixels decodedPixels(const std::string& gifName) {
    Bytes b = pictureFile(gifName.substr(0, gifName.size() - 4) + ".rgb");
    DecodedPixels d;
    d.width = le16At(b, 0);
    d.height = le16At(b, 2);
    d.rgb.assign(b.begin() + 4, b.end());
    return d;
}

}  // namespace brevant::testing
