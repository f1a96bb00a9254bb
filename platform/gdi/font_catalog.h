// The faces the font calls can choose from: the system's, listed once
// through fontconfig, and the process's own, added from files. Names are
// resolved here: face names compared without regard to case, added faces
// first, then the system's, then fontconfig's aliases. Internal to the
// stand-in.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/font_face.h"

namespace win::font {

struct FaceEntry {
    std::string path;
    long index = 0;
    FaceInfo info;
    // An added face also answers to its file's name without the extension.
    std::string stem;
    // An added face stays open from the start; a system face is opened on
    // first use and then kept open.
    std::shared_ptr<Face> face;

    std::shared_ptr<Face> open();
};

using FaceList = std::vector<std::shared_ptr<FaceEntry>>;

class Catalog {
public:
    static Catalog& instance();
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;
    ~Catalog();

    // Faces of the family a face name stands for, sorted by italic and
    // weight; empty when the name stands for none.
    FaceList family(std::string_view name);
    // Faces of the family fontconfig offers in place of an unknown face,
    // by the generic family of `pitchAndFamily`.
    FaceList substitute(int pitchAndFamily);
    // Every family, one list each, sorted by name.
    std::vector<FaceList> families();

    int add(const std::string& path);
    bool remove(const std::string& path);

    // Lists the system's faces now unless they are listed already; any
    // thread may call it, and a look-up on another thread meanwhile waits
    // for the list.
    void listSystem();

private:
    Catalog() = default;
    const FaceList& system();
    void readSystemFaces();
    std::vector<std::string> aliases(std::string_view name);

    struct Config;
    std::unique_ptr<Config> config_;
    std::once_flag systemListed_;
    FaceList system_;
    std::map<std::string, FaceList> substitutes_;  // by generic family
    struct Added {
        std::string path;
        int uses = 0;
        FaceList faces;
    };
    std::vector<Added> added_;
};

// The face of a list that suits a weight and italic request best: an
// italic match first, then the nearest weight.
std::shared_ptr<FaceEntry> chooseStyle(const FaceList& faces, int weight, bool italic);

// ASCII comparison without regard to case.
bool sameName(std::string_view a, std::string_view b);

}  // namespace win::font
