#include "platform/gdi/font_catalog.h"

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <tuple>

#include "platform/gdi/gdi_font.h"

namespace win::font {

namespace {

// Files handed to the font table come from documents: refuse sizes no font
// program has, and read at most this many faces of a collection.
constexpr off_t kMaxFontFile = 64 << 20;
constexpr long kMaxFacesPerFile = 64;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = lower(c);
    return r;
}

// The bytes of a regular file of 1 to kMaxFontFile bytes; null for any
// other file or when it cannot be read whole.
Bytes readFontFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::shared_ptr<std::vector<std::uint8_t>> data;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        status.st_size <= kMaxFontFile) {
        data = std::make_shared<std::vector<std::uint8_t>>(std::size_t(status.st_size));
        for (std::size_t done = 0; data && done < data->size();) {
            const ssize_t n = ::read(fd, data->data() + done, data->size() - done);
            if (n > 0)
                done += std::size_t(n);
            else if (!(n < 0 && errno == EINTR))
                data.reset();
        }
    }
    ::close(fd);
    return data;
}

// The file's name without its folder and extension.
std::string fileStem(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name.substr(0, LF_FACESIZE - 1);
}

void sortStyles(FaceList& faces) {
    std::stable_sort(faces.begin(), faces.end(), [](const auto& a, const auto& b) {
        return std::make_tuple(a->info.italic, a->info.weight) <
               std::make_tuple(b->info.italic, b->info.weight);
    });
}

// Faces of a pool that answer to `name`: by their file's name, else by
// their legacy family, else by their typographic family.
FaceList facesNamed(const FaceList& pool, std::string_view name) {
    FaceList tiers[3];
    for (const auto& e : pool) {
        if (!e->stem.empty() && sameName(e->stem, name))
            tiers[0].push_back(e);
        else if (sameName(e->info.family, name))
            tiers[1].push_back(e);
        else if (!e->info.typographicFamily.empty() && sameName(e->info.typographicFamily, name))
            tiers[2].push_back(e);
    }
    for (FaceList& r : tiers) {
        if (!r.empty()) {
            sortStyles(r);
            return r;
        }
    }
    return {};
}

std::shared_ptr<FaceEntry> makeEntry(std::shared_ptr<Face> face, std::string path, long index) {
    auto e = std::make_shared<FaceEntry>();
    e->path = std::move(path);
    e->index = index;
    e->info = face->info();
    e->face = std::move(face);
    return e;
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::shared_ptr<FaceEntry> chooseStyle(const FaceList& faces, int weight, bool italic) {
    std::shared_ptr<FaceEntry> best;
    std::pair<bool, int> bestScore;
    for (const auto& e : faces) {
        std::pair<bool, int> score{e->info.italic != italic, std::abs(e->info.weight - weight)};
        if (!best || score < bestScore) {
            best = e;
            bestScore = score;
        }
    }
    return best;
}

std::shared_ptr<Face> FaceEntry::open() {
    if (!face)
        face = Face::open(path, index);
    return face;
}

struct Catalog::Config {
    FcConfig* config = nullptr;
    ~Config() {
        if (config)
            FcConfigDestroy(config);
    }
};

namespace {

// Kept until the last static destructors run, like the handle table: fonts
// released while a program or library ends still reach it.
Catalog* theCatalog = nullptr;

__attribute__((destructor(101))) void destroyCatalog() {
    delete theCatalog;
    theCatalog = nullptr;
}

}  // namespace

Catalog& Catalog::instance() {
    if (!theCatalog)
        theCatalog = new Catalog;
    return *theCatalog;
}

Catalog::~Catalog() = default;

const FaceList& Catalog::system() {
    listSystem();
    return system_;
}

void Catalog::listSystem() {
    std::call_once(systemListed_, [this] { readSystemFaces(); });
}

void Catalog::readSystemFaces() {
    // A listing an error broke off is run again from the start.
    system_.clear();
    config_ = std::make_unique<Config>();
    config_->config = FcInitLoadConfigAndFonts();
    if (!config_->config)
        return;

    std::vector<std::pair<std::string, int>> files;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FONTFORMAT, nullptr);
    if (FcFontSet* set = FcFontList(config_->config, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* file = nullptr;
            FcChar8* format = nullptr;
            int index = 0;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
                continue;
            if (FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch) {
                std::string_view f(reinterpret_cast<const char*>(format));
                if (f != "TrueType" && f != "CFF")
                    continue;
            }
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
            files.emplace_back(reinterpret_cast<const char*>(file), index);
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);

    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    // The faces are read through a library of the listing's own, as it may
    // run on a thread while others open faces; each is closed once read.
    const std::shared_ptr<FreeType> library = FreeType::create();
    for (const auto& [file, index] : files) {
        std::optional<FaceInfo> info = Face::readInfo(file, index, library);
        if (info && !info->family.empty()) {
            // The face is opened when a font uses it.
            auto e = std::make_shared<FaceEntry>();
            e->path = file;
            e->index = index;
            e->info = std::move(*info);
            system_.push_back(std::move(e));
        }
    }
    std::stable_sort(system_.begin(), system_.end(), [](const auto& a, const auto& b) {
        return lowered(a->info.family) < lowered(b->info.family);
    });
}

// Families fontconfig puts in place of a name as strong as the name itself:
// the metric-compatible aliases, not the generic fallbacks.
std::vector<std::string> Catalog::aliases(std::string_view name) {
    std::vector<std::string> r;
    system();
    if (!config_ || !config_->config)
        return r;
    FcPattern* pattern = FcPatternCreate();
    std::string n(name);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(n.c_str()));
    if (FcConfigSubstitute(config_->config, pattern, FcMatchPattern)) {
        for (int i = 0;; ++i) {
            FcValue value;
            FcValueBinding binding;
            if (FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) != FcResultMatch)
                break;
            if (binding == FcValueBindingWeak || value.type != FcTypeString)
                break;
            std::string family(reinterpret_cast<const char*>(value.u.s));
            if (!sameName(family, name))
                r.push_back(std::move(family));
        }
    }
    FcPatternDestroy(pattern);
    return r;
}

FaceList Catalog::family(std::string_view name) {
    if (name.empty())
        return {};
    FaceList added;
    for (const Added& a : added_)
        added.insert(added.end(), a.faces.begin(), a.faces.end());
    FaceList r = facesNamed(added, name);
    if (!r.empty())
        return r;
    r = facesNamed(system(), name);
    if (!r.empty())
        return r;
    // The engine maps the Dingbats of documents to "Wingdings"; the URW
    // Dingbats face has the symbols they ask for.
    if (sameName(name, "Wingdings")) {
        r = facesNamed(system_, "D050000L");
        if (!r.empty())
            return r;
    }
    for (const std::string& alias : aliases(name)) {
        r = facesNamed(system_, alias);
        if (!r.empty())
            return r;
    }
    return {};
}

FaceList Catalog::substitute(int pitchAndFamily) {
    const FaceList& sys = system();
    if (sys.empty() || !config_->config)
        return {};
    const char* generic = "sans-serif";
    if ((pitchAndFamily & 0xF0) == FF_ROMAN)
        generic = "serif";
    else if ((pitchAndFamily & 0xF0) == FF_MODERN || (pitchAndFamily & 3) == FIXED_PITCH)
        generic = "monospace";
    FaceList& r = substitutes_[generic];
    if (!r.empty())
        return r;
    std::map<std::pair<std::string, long>, std::shared_ptr<FaceEntry>> byFile;
    for (const auto& e : sys)
        byFile.emplace(std::make_pair(e->path, e->index), e);

    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    FcConfigSubstitute(config_->config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    if (FcFontSet* set = FcFontSort(config_->config, pattern, FcFalse, nullptr, &result)) {
        for (int i = 0; i < set->nfont && r.empty(); ++i) {
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
                continue;
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
            auto it = byFile.find({reinterpret_cast<const char*>(file), index});
            if (it != byFile.end())
                r = facesNamed(sys, it->second->info.family);
        }
        FcFontSetDestroy(set);
    }
    FcPatternDestroy(pattern);
    if (r.empty())
        r = facesNamed(sys, sys.front()->info.family);
    return r;
}

std::vector<FaceList> Catalog::families() {
    std::map<std::string, std::string> names;  // lower-cased -> as written
    for (const Added& a : added_) {
        for (const auto& e : a.faces)
            names.emplace(lowered(e->info.family), e->info.family);
    }
    for (const auto& e : system())
        names.emplace(lowered(e->info.family), e->info.family);
    std::vector<FaceList> r;
    for (const auto& [key, name] : names) {
        FaceList f = family(name);
        if (!f.empty())
            r.push_back(std::move(f));
    }
    return r;
}

int Catalog::add(const std::string& path) {
    if (path.empty())
        return 0;
    for (Added& a : added_) {
        if (a.path == path) {
            ++a.uses;
            return int(a.faces.size());
        }
    }
    Bytes bytes = readFontFile(path);
    if (!bytes)
        return 0;

    Added added{path, 1, {}};
    std::string stem = fileStem(path);
    long count = std::min(Face::countFaces(bytes), kMaxFacesPerFile);
    for (long i = 0; i < count; ++i) {
        if (std::shared_ptr<Face> face = Face::open(bytes, i)) {
            auto e = makeEntry(std::move(face), path, i);
            e->stem = stem;
            // Programs embedded in documents often have no names at all.
            if (e->info.family.empty())
                e->info.family = stem;
            added.faces.push_back(std::move(e));
        }
    }
    if (added.faces.empty())
        return 0;
    added_.push_back(std::move(added));
    return int(added_.back().faces.size());
}

bool Catalog::remove(const std::string& path) {
    for (auto it = added_.begin(); it != added_.end(); ++it) {
        if (it->path == path) {
            if (--it->uses <= 0)
                added_.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace win::font
