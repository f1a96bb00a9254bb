// Writes GIF files with the viewer components for the checks of
// check_written_gifs.py.
//
//   brevant_gif_tool resave IN.gif OUT.gif
//   brevant_gif_tool encode OUT.gif IN.bmp...
//
// encode makes one frame per bitmap; with several frames the picture loops
// 7 times, frame i waits (i + 1) * 100 ms, the first frame's colour at (0, 0)
// is transparent and the picture carries a comment.
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "viewer/components/gif_image.h"

namespace {

void writeFile(const char* path, const brevant::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace brevant;
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s resave IN OUT | encode OUT IN...\n", argv[0]);
        return 2;
    }
    try {
        std::string command = argv[1];
        GifImage gif;
        if (command == "resave") {
            gif.loadFromBytes(readFileBytes(argv[2]));
            writeFile(argv[3], gif.saveToBytes());
            return 0;
        }
        if (command != "encode")
            return 2;
        for (int i = 3; i < argc; ++i) {
            int index = gif.addFrame(readBmpFile(readFileBytes(argv[i])));
            if (argc > 4)
                gif.frame(index).delay = (index + 1) * 100;
        }
        if (argc > 4) {
            gif.looping = true;
            gif.repeatCount = 7;
            gif.frame(0).transparentColour = colourOf(gif.frame(0).bitmap().pixel(0, 0));
            gif.comment().push_back("written by the components");
        }
        writeFile(argv[2], gif.saveToBytes());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
