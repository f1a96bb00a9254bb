#include "engine/font/gdi_truetype_renderer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/font/encoding_table.h"
#include "engine/font/font_encoding.h"
#include "engine/font/installed_font_map.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

using win::LOGFONTA;

// Metrics are measured on a font of this cell height.
constexpr double kMeasureHeight = 250.0;
// Programs larger than this are no font files (the system's font table
// refuses them too).
constexpr std::size_t kMaxProgramSize = std::size_t(64) << 20;

bool settingOn(const WString& key, bool fallback) {
    return readSettingSwitch(settingsStore().find(settings::FontSystem, key), fallback);
}

// The leading run of ASCII letters, digits and "+" of a key name: the face
// without the style suffixes (",bold", "-italic", ...).
WString leadingFace(const WString& name) {
    std::int32_t n = 0;
    while (n < name.size()) {
        const char16_t c = name.at(n);
        const bool kept = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'+';
        if (!kept)
            break;
        ++n;
    }
    return name.substr(0, n);
}

// The faces documents name that the system knows by other names; compared
// exactly.
void mapFaceName(WString& face) {
    static constexpr struct {
        const char16_t* asked;
        const char16_t* system;
    } kFaces[] = {
        {u"timesnewroman", u"Times New Roman"}, {u"times", u"Times New Roman"},
        {u"courier", u"Courier New"},           {u"couriernew", u"Courier New"},
        {u"zapfdingbats", u"Wingdings"},        {u"helvetica", u"Arial"},
    };
    for (const auto& f : kFaces) {
        if (face.equalsText(f.asked)) {
            face.assignText(f.system);
            return;
        }
    }
}

void setFaceName(LOGFONTA& lf, const std::string& face) {
    std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
    std::memcpy(lf.lfFaceName, face.data(), std::min<std::size_t>(face.size(), win::LF_FACESIZE - 1));
}

bool sameLogFont(const LOGFONTA& a, const LOGFONTA& b) {
    return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth &&
           a.lfEscapement == b.lfEscapement && a.lfOrientation == b.lfOrientation &&
           a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
           a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut &&
           a.lfCharSet == b.lfCharSet && a.lfOutPrecision == b.lfOutPrecision &&
           a.lfClipPrecision == b.lfClipPrecision && a.lfQuality == b.lfQuality &&
           a.lfPitchAndFamily == b.lfPitchAndFamily &&
           std::strncmp(a.lfFaceName, b.lfFaceName, win::LF_FACESIZE) == 0;
}

win::HDC contextOf(const OutputDevice* device) {
    return device ? win::HDC::fromValue(device->deviceHandle()) : nullptr;
}

// The ascent and descent of a system font in pixels; 0 when it cannot be
// measured.
struct FontCell {
    double ascent = 0.0;
    double descent = 0.0;
};

FontCell cellOf(win::HFONT font) {
    const win::HDC dc = font ? win::CreateCompatibleDC(nullptr) : win::HDC();
    if (!dc)
        return {};
    const win::HGDIOBJ previous = win::SelectObject(dc, font);
    win::TEXTMETRICA tm{};
    const bool measured = win::GetTextMetricsA(dc, &tm);
    win::SelectObject(dc, previous);
    win::DeleteDC(dc);
    return measured ? FontCell{double(tm.tmAscent), double(tm.tmDescent)} : FontCell{};
}

// --- The face search ---

struct FaceSearch {
    // The request.
    std::int32_t weight;
    std::int32_t italic;
    std::int32_t serif;
    std::int32_t monospace;
    double averageWidth;
    // The best face so far.
    bool strict;
    bool found = false;
    std::int32_t serifDifference = 2;
    std::int32_t pitchDifference = 2;
    double widthDifference = 88.0;
    std::int32_t italicDifference = 2;
    std::int32_t weightDifference = 2000;
    LOGFONTA font{};
    // Faces not to take: those of a document's program installed under the
    // name of another one.
    std::vector<std::string> excluded;
};

bool sameFaceName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool isExcluded(const FaceSearch& s, const LOGFONTA& lf) {
    const std::string_view face(lf.lfFaceName, strnlen(lf.lfFaceName, win::LF_FACESIZE));
    for (const std::string& name : s.excluded) {
        if (sameFaceName(face, name))
            return true;
    }
    return false;
}

void rateStrictly(FaceSearch& s, const LOGFONTA& lf) {
    const std::int32_t weight = std::abs(lf.lfWeight - s.weight);
    const std::int32_t italic = std::abs((lf.lfItalic != 0 ? 1 : 0) - s.italic);
    if (italic < s.italicDifference ||
        (italic == s.italicDifference && weight < s.weightDifference)) {
        s.found = true;
        s.italicDifference = italic;
        s.weightDifference = weight;
        s.font = lf;
    }
}

void rateLoosely(FaceSearch& s, const LOGFONTA& lf, const win::NEWTEXTMETRICA& tm,
                 win::DWORD fontType) {
    const std::int32_t family = lf.lfPitchAndFamily & 0xF0;
    if (lf.lfCharSet != win::ANSI_CHARSET ||
        std::memchr(lf.lfFaceName, '+', strnlen(lf.lfFaceName, win::LF_FACESIZE)) ||
        (family != win::FF_ROMAN && family != win::FF_SWISS && family != win::FF_MODERN &&
         family != win::FF_DECORATIVE)) {
        return;
    }
    const std::int32_t isSerif = family == win::FF_ROMAN || family == win::FF_DECORATIVE;
    const std::int32_t isFixed = family == win::FF_MODERN;
    const std::int32_t serif = std::abs(s.serif - isSerif);
    const std::int32_t pitch = std::abs(s.monospace - isFixed);
    double width = 88.0;
    if (s.averageWidth != 0.0) {
        double faceWidth = 0.0;
        if (fontType == win::TRUETYPE_FONTTYPE) {
            if (tm.ntmSizeEM != 0)
                faceWidth = double(tm.ntmAvgWidth) / tm.ntmSizeEM;
        } else if (tm.tmHeight != 0) {
            faceWidth = double(tm.tmAveCharWidth) / tm.tmHeight;
        }
        if (s.weight > lf.lfWeight && lf.lfWeight != 0)
            faceWidth += double(tm.tmOverhang) / lf.lfWeight;
        width = std::fabs(faceWidth - s.averageWidth);
    }
    const bool better =
        serif < s.serifDifference ||
        (serif == s.serifDifference &&
         (pitch < s.pitchDifference ||
          (pitch == s.pitchDifference && width < s.widthDifference)));
    if (better) {
        s.found = true;
        s.serifDifference = serif;
        s.pitchDifference = pitch;
        s.widthDifference = width;
        s.font = lf;
    }
}

int enumFontFamilyCallback(const LOGFONTA* font, const win::NEWTEXTMETRICA* metrics,
                           win::DWORD fontType, win::LPARAM data) {
    auto* search = reinterpret_cast<FaceSearch*>(data);  // NOLINT(performance-no-int-to-ptr)
    if (font && metrics && !isExcluded(*search, *font)) {
        if (search->strict)
            rateStrictly(*search, *font);
        else
            rateLoosely(*search, *font, *metrics, fontType);
    }
    return 1;
}

// --- Embedded programs ---

// The program's bytes; false when it cannot be read to its end or is no
// plausible font file.
bool readProgram(InputStream& program, std::vector<std::uint8_t>& bytes) {
    if (!program.open())
        return false;
    bool ok = true;
    std::uint8_t buffer[8192];
    for (;;) {
        const std::int64_t n = program.read(buffer, sizeof buffer);
        if (n < 0 || bytes.size() + std::size_t(n) > kMaxProgramSize) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    program.close();
    return ok && !bytes.empty();
}

bool fileHolds(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    std::vector<std::uint8_t> held(bytes.size() + 1);
    std::size_t total = 0;
    while (total < held.size()) {
        const ssize_t n = ::read(fd, held.data() + total, held.size() - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += std::size_t(n);
    }
    ::close(fd);
    return total == bytes.size() && std::memcmp(held.data(), bytes.data(), total) == 0;
}

// Creates the file (never one that exists) and writes the bytes; a file left
// half written is deleted.
bool writeNewFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    std::size_t total = 0;
    while (total < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + total, bytes.size() - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += std::size_t(n);
    }
    const bool closed = ::close(fd) == 0;
    if (total != bytes.size() || !closed) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

// The folder the process's private font folder is made in: the setting
// "DirToPlaceEmbeddedTT" when it is given, else the temporary folder.
std::string embeddedFontBase() {
    const SettingValue* dir =
        settingsStore().find(settings::FontSystem, settings::DirToPlaceEmbeddedTT);
    std::string base = dir ? readSettingText(dir, emptyWString()).toUtf8() : std::string();
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    for (char& c : base) {
        if (c == '\\')
            c = '/';
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base;
}

// One use fewer of an installed file; the last user withdraws it from the
// font table and deletes it.
void releaseInstalledFile(const WString& path) {
    InstalledFontMap* map = installedFontMap();
    if (!map)
        return;
    const std::int32_t count = map->count(path) - 1;
    map->setCount(path, count);
    if (count > 0)
        return;
    const std::string narrow = path.toUtf8();
    win::RemoveFontResourceA(narrow.c_str());
    win::SendMessageA(win::HWND_BROADCAST, win::WM_FONTCHANGE, 0, 0);
    ::unlink(narrow.c_str());
}

}  // namespace

std::uint32_t matrixClass(const Matrix& m) {
    // Read with the y axis up: upright text in device space has d < 0.
    const double a = m.a, b = -m.b, c = m.c, d = -m.d;
    const auto sign = [](double x) { return x > 0 ? 1 : -1; };
    std::uint32_t bits = 0;
    if (m.e != 0 || m.f != 0)
        bits |= kMatrixMoves;
    if (a * a + b * b != 1)
        bits |= kMatrixScalesX;
    if (c * c + d * d != 1)
        bits |= kMatrixScalesY;
    if (a == 0 && d == 0 && sign(b) != sign(c))
        bits |= kMatrixQuarterTurn;
    else if (b == 0 && c == 0 && a < 0 && d < 0)
        bits |= kMatrixHalfTurn;
    else if (b == 0 && c == 0 && sign(a) != sign(d))
        bits |= kMatrixMirror;
    else if (a == 0 && d == 0 && sign(b) == sign(c))
        bits |= kMatrixMirroredTurn;
    else if (!(b == 0 && (d == 0 || a * c == 0)))
        bits |= kMatrixSkew;
    return bits;
}

// The renderer's system font selected into the device's context for one
// call, in the renderer's text colour, and the context's own font put back
// afterwards: fonts that share a context never draw with each other's.
class GdiTrueTypeRenderer::Selection {
public:
    explicit Selection(GdiTrueTypeRenderer& font) : dc_(contextOf(font.device())) {
        if (!dc_)
            return;
        if (font.dirty_)
            font.selectGdiFont();
        if (!font.font_)
            return;
        previous_ = win::SelectObject(dc_, font.font_);
        win::SetBkMode(dc_, win::TRANSPARENT);
        win::SetTextColor(dc_, font.textColor_);
        ready_ = true;
    }
    ~Selection() {
        if (ready_ && previous_)
            win::SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    bool ready() const { return ready_; }
    win::HDC dc() const { return dc_; }

private:
    win::HDC dc_;
    win::HGDIOBJ previous_;
    bool ready_ = false;
};

// Construction: the face, then either the installed program or a system
// face chosen by name and style, the metrics, the encoding and the code map.
GdiTrueTypeRenderer::GdiTrueTypeRenderer(const TrueTypeFontDescription& description,
                                         OutputDevice* device)
    : FontRenderer(&description.widths(), device), face_(leadingFace(description.name())) {
    installed_ = description.program() && installEmbeddedTrueType(description);
    if (!installed_) {
        // The subset prefix goes ("ABCDEF+Arial"), then known names map to
        // the system's.
        const std::int32_t plus = face_.findChar(u'+');
        if (plus >= 0)
            face_ = face_.substr(plus + 1, face_.size() - plus - 1);
        mapFaceName(face_);
        if (!chooseSystemFont(description))
            return;
        logFont_.lfUnderline = description.isUnderline() ? 1 : 0;
        logFont_.lfStrikeOut = description.isStrikeout() ? 1 : 0;
        logFont_.lfWeight = description.weight();
        logFont_.lfItalic = description.isItalic() ? 1 : 0;
        requestedWeight_ = logFont_.lfWeight;
        requestedItalic_ = logFont_.lfItalic;
    }

    averageWidth_ = description.avgWidth;
    maximumWidth_ = description.maxWidth;
    setAscent(description.ascent);
    setDescent(description.descent);
    const bool noWidths = description.widths().count() == 0;
    const bool unknown = noWidths || averageWidth_ == 0 || maximumWidth_ == 0 ||
                         !(description.ascent > 0) || !(description.descent > 0);
    const SettingValue* exact =
        settingsStore().find(settings::FontSystem, settings::CalculateTTExactWidth);
    if (unknown && !(exact && !readSettingSwitch(exact, true))) {
        if (!measure(noWidths))
            return;
    }
    applyFallbackMetrics();
    buildEncoding(description);

    dirty_ = true;
    if (this->device()) {
        foreground()->SetRgb(0, 0, 0);
        background()->SetRgb(255, 255, 255);
        fillColorChanged();
    }
}

GdiTrueTypeRenderer::GdiTrueTypeRenderer(const GdiTrueTypeRenderer& source)
    : FontRenderer(&source.widths(), source.device()),
      logFont_(source.logFont_),
      dirty_(true),
      codeMap_(source.codeMap_),
      face_(source.face_),
      averageWidth_(source.averageWidth_),
      maximumWidth_(source.maximumWidth_),
      requestedItalic_(source.requestedItalic_),
      requestedWeight_(source.requestedWeight_),
      textColor_(source.textColor_) {
    setAscent(source.ascent());
    setDescent(source.descent());
    if (source.encoding())
        setEncoding(new FontEncoding(*source.encoding()));
    // The copy draws with the installed program as well: it counts as one
    // more user, so that the file stays while either lives.
    InstalledFontMap* map = installedFontMap();
    if (source.installed_ && map && map->setCount(source.filePath_, map->count(source.filePath_) + 1)) {
        installed_ = true;
        filePath_ = source.filePath_;
    }
}

GdiTrueTypeRenderer::~GdiTrueTypeRenderer() {
    deleteFont();
    if (installed_)
        releaseInstalledFile(filePath_);
}

void GdiTrueTypeRenderer::deleteFont() {
    if (font_)
        win::DeleteObject(font_);
    font_ = nullptr;
}

std::unique_ptr<DrawableBase> GdiTrueTypeRenderer::clone() const {
    return std::unique_ptr<DrawableBase>(new GdiTrueTypeRenderer(*this));
}

bool GdiTrueTypeRenderer::installEmbeddedTrueType(const TrueTypeFontDescription& description) {
    InputStream* program = description.program();
    InstalledFontMap* map = installedFontMap();
    // The file is named by the face as the font table knows it.
    const std::string face = face_.toUtf8().substr(0, win::LF_FACESIZE - 1);
    if (!program || !map || face.empty())
        return false;
    std::vector<std::uint8_t> bytes;
    if (!readProgram(*program, bytes))
        return false;
    const std::string folder = map->privateFolder(embeddedFontBase());
    if (folder.empty())
        return false;
    const std::string narrow = folder + "/" + face + ".ttf";
    const WString path = WString::fromUtf8(narrow);

    if (map->count(path) > 0) {
        // Installed already: shared only when it is the same program; another
        // program of the same name is left to the system faces.
        if (!fileHolds(narrow, bytes)) {
            shadowingFace_ = face;
            return false;
        }
    } else {
        if (!writeNewFile(narrow, bytes))
            return false;
        if (win::AddFontResourceA(narrow.c_str()) == 0) {
            ::unlink(narrow.c_str());
            return false;
        }
        win::SendMessageA(win::HWND_BROADCAST, win::WM_FONTCHANGE, 0, 0);
    }
    if (!map->setCount(path, map->count(path) + 1)) {
        if (map->count(path) == 0) {
            win::RemoveFontResourceA(narrow.c_str());
            ::unlink(narrow.c_str());
        }
        return false;
    }
    filePath_ = path;

    logFont_ = LOGFONTA{};
    logFont_.lfCharSet = win::DEFAULT_CHARSET;
    setFaceName(logFont_, face);
    logFont_.lfItalic = description.isItalic() ? 1 : 0;
    logFont_.lfUnderline = description.isUnderline() ? 1 : 0;
    logFont_.lfWeight = description.weight();
    logFont_.lfPitchAndFamily =
        std::uint8_t((description.isMonospace() ? win::FIXED_PITCH : win::VARIABLE_PITCH) |
                     (description.isSerif() ? win::FF_ROMAN : win::FF_SWISS));
    return true;
}

bool GdiTrueTypeRenderer::chooseSystemFont(const TrueTypeFontDescription& description) {
    const SettingValue* strict = settingsStore().find(settings::FontSystem, settings::StrictTTSubst);
    if (strict && !readSettingSwitch(strict, true)) {
        // A strict search first, then one over every family.
        settingsStore().save(settings::FontSystem, settings::StrictTTSubst);
        settingsStore().set(settings::FontSystem, settings::StrictTTSubst,
                            SettingValue::ofBoolean(true));
        const bool found = findSystemFont(description);
        settingsStore().restore(settings::FontSystem, settings::StrictTTSubst);
        return found || findSystemFont(description);
    }
    // A strict try leaves the font to the outline fonts when they stand in
    // for TrueType ones.
    if (settingOn(settings::SubstTTWithT1, false))
        return false;
    return findSystemFont(description);
}

bool GdiTrueTypeRenderer::findSystemFont(const TrueTypeFontDescription& description) {
    FaceSearch search;
    search.weight = description.weight();
    search.italic = description.isItalic() ? 1 : 0;
    search.serif = description.isSerif() ? 1 : 0;
    search.monospace = description.isMonospace() ? 1 : 0;
    search.averageWidth = description.avgWidth;
    search.strict = settingOn(settings::StrictTTSubst, true);
    const std::string family = search.strict ? face_.toUtf8() : std::string();

    const win::HDC dc = win::CreateCompatibleDC(nullptr);
    if (!dc)
        return false;
    if (!shadowingFace_.empty()) {
        // The faces the system finds by the name of the other program are
        // that program's.
        search.excluded.push_back(shadowingFace_);
        win::EnumFontFamiliesA(
            dc, shadowingFace_.c_str(),
            [](const LOGFONTA* font, const win::NEWTEXTMETRICA*, win::DWORD, win::LPARAM data) {
                auto* names =
                    reinterpret_cast<std::vector<std::string>*>(data);  // NOLINT(performance-no-int-to-ptr)
                if (font)
                    names->emplace_back(font->lfFaceName, strnlen(font->lfFaceName, win::LF_FACESIZE));
                return 1;
            },
            reinterpret_cast<win::LPARAM>(&search.excluded));
    }
    win::EnumFontFamiliesA(dc, search.strict ? family.c_str() : nullptr, enumFontFamilyCallback,
                           reinterpret_cast<win::LPARAM>(&search));
    win::DeleteDC(dc);
    if (search.found)
        logFont_ = search.font;
    return search.found;
}

bool GdiTrueTypeRenderer::measure(bool measureWidths) {
    const win::HDC dc = win::CreateCompatibleDC(nullptr);
    if (!dc)
        return false;
    logFont_.lfHeight = win::LONG(kMeasureHeight);
    logFont_.lfWidth = 0;
    const win::HFONT font = win::CreateFontIndirectA(&logFont_);
    const win::HGDIOBJ previous = font ? win::SelectObject(dc, font) : win::HGDIOBJ();
    win::TEXTMETRICA tm{};
    const bool measured = font && win::GetTextMetricsA(dc, &tm);
    if (measured) {
        if (averageWidth_ == 0)
            averageWidth_ = tm.tmAveCharWidth / kMeasureHeight;
        if (maximumWidth_ == 0)
            maximumWidth_ = tm.tmMaxCharWidth / kMeasureHeight;
        if (ascent() < 0)
            setAscent(tm.tmAscent / kMeasureHeight);
        if (descent() < 0)
            setDescent(tm.tmDescent / kMeasureHeight);
        if (measureWidths) {
            // The codes as raw bytes: the code map does not exist yet.
            DoubleArray& widths = widthsForUpdate();
            for (int code = 0; code < 256; ++code) {
                const char byte = char(code);
                win::SIZE size{};
                win::GetTextExtentPoint32A(dc, &byte, 1, &size);
                widths.append(size.cx / kMeasureHeight + 0.04);
            }
        }
    }
    if (font) {
        win::SelectObject(dc, previous);
        win::DeleteObject(font);
    }
    win::DeleteDC(dc);
    return measured;
}

void GdiTrueTypeRenderer::applyFallbackMetrics() {
    if (averageWidth_ == 0) {
        double sum = 0.0;
        std::int32_t n = 0;
        for (const double w : widths()) {
            if (w > 0) {
                sum += w;
                ++n;
            }
        }
        if (n > 0)
            averageWidth_ = sum / n;
    }
    if (maximumWidth_ == 0 || maximumWidth_ < averageWidth_)
        maximumWidth_ = 2.0;
    const bool ascentKnown = ascent() > 0, descentKnown = descent() > 0;
    if (!ascentKnown && !descentKnown) {
        setAscent(0.8);
        setDescent(0.2);
    } else if (!descentKnown) {
        setDescent(1 - ascent());
    } else if (!ascentKnown) {
        setAscent(1 - descent());
    }
}

void GdiTrueTypeRenderer::buildEncoding(const TrueTypeFontDescription& description) {
    const WString& name = encodingTableByName(description.encodingName())
                              ? description.encodingName()
                              : static_cast<const WString&>(encodings::WinAnsiEncoding);
    auto* encoding = new FontEncoding(name, description.differences());
    if (encoding)
        setEncoding(encoding);
    for (int code = 0; code < 256; ++code)
        codeMap_[std::size_t(code)] = std::uint8_t(code);
    // A system face takes text in the ANSI code page; an installed program
    // is the document's own and takes the codes as they are.
    const EncodingTable* winAnsi = encodingTableByName(encodings::WinAnsiEncoding);
    if (installed_ || !encoding || !winAnsi)
        return;
    for (int code = 0; code < 256; ++code) {
        const WString& glyph = encoding->glyphName(code);
        const std::int32_t ansi = glyph.empty() ? -1 : winAnsi->indexOf(glyph);
        if (ansi >= 0)
            codeMap_[std::size_t(code)] = std::uint8_t(ansi);
    }
}

char GdiTrueTypeRenderer::byteOf(std::uint16_t code) const {
    return char(code < 256 ? codeMap_[code] : std::uint8_t(code));
}

void GdiTrueTypeRenderer::selectGdiFont() {
    const Matrix& t = textMatrix();
    const double s = fontSize();
    logFont_.lfHeight = -roundToInt32(s * std::hypot(t.c, t.d));
    logFont_.lfWidth = 0;
    const std::uint32_t bits = matrixClass(t);
    std::int32_t escapement = 0;
    if (bits & (kMatrixQuarterTurn | kMatrixHalfTurn)) {
        // The baseline's direction, counter-clockwise on the page (device y
        // grows downwards).
        const double length = std::hypot(t.a, t.b);
        if (length > 0) {
            double degrees = std::acos(std::clamp(t.a / length, -1.0, 1.0)) * 180 / std::numbers::pi;
            if (t.b > 0)
                degrees = 360 - degrees;
            escapement = roundToInt32(degrees * 10);
        }
    }
    logFont_.lfEscapement = logFont_.lfOrientation = escapement;
    // A skewed matrix is drawn with an italic font.
    logFont_.lfItalic = (bits & kMatrixSkew) ? 1 : requestedItalic_;
    if (!font_ || !sameLogFont(logFont_, fontLogFont_)) {
        deleteFont();
        font_ = win::CreateFontIndirectA(&logFont_);
        fontLogFont_ = logFont_;
        const FontCell cell = cellOf(font_);
        fontAscent_ = cell.ascent;
        fontDescent_ = cell.descent;
    }
    // The system positions text by the top left of its cell: the font's
    // ascent above the baseline, across the baseline as the font is turned
    // (device y grows downwards).
    const double turn = escapement * std::numbers::pi / 1800;
    emTopX_ = -std::sin(turn) * fontAscent_;
    emTopY_ = -std::cos(turn) * fontAscent_;
    // Render modes 9, and 8 with a foreground colour, draw in that colour.
    std::uint32_t value = 0;
    if ((renderMode() == 9 || renderMode() == 8) && foreground() && foreground()->getValue(value))
        textColor_ = value;
    if (const win::HDC dc = contextOf(device()))
        win::SetTextColor(dc, textColor_);
    dirty_ = false;
}

bool GdiTrueTypeRenderer::attachDevice(OutputDevice* device, ContentInterpreter* interpreter) {
    if (!FontRenderer::attachDevice(device, interpreter))
        return false;
    fillColorChanged();
    return true;
}

bool GdiTrueTypeRenderer::showGlyph(std::uint16_t code) {
    if (!device())
        return false;
    if (renderMode() == 3 || renderMode() == 7)
        return FontRenderer::showGlyph(code);
    const char byte = byteOf(code);
    {
        Selection selection(*this);
        if (selection.ready()) {
            const Matrix& m = renderingMatrix();
            win::ExtTextOutA(selection.dc(), roundToInt32(m.e + emTopX_),
                             roundToInt32(m.f + emTopY_), 0, nullptr, &byte, 1, nullptr);
        }
    }
    return FontRenderer::showGlyph(code);
}

bool GdiTrueTypeRenderer::drawString(const WString& text, IntPoint point) {
    Selection selection(*this);
    if (!selection.ready())
        return false;
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (std::int32_t i = 0; i < text.size(); ++i)
        bytes.push_back(byteOf(text.at(i)));
    return win::ExtTextOutA(selection.dc(), point.x, point.y, 0, nullptr, bytes.data(),
                            win::UINT(bytes.size()), nullptr) != 0;
}

bool GdiTrueTypeRenderer::drawGlyph(std::uint16_t code, IntPoint point) {
    Selection selection(*this);
    if (!selection.ready())
        return false;
    const char byte = byteOf(code);
    return win::ExtTextOutA(selection.dc(), point.x, point.y, 0, nullptr, &byte, 1, nullptr) != 0;
}

// The extent of bytes in the renderer's own font; zero when the font cannot
// be selected or measured.
win::SIZE GdiTrueTypeRenderer::extentOf(const std::string& bytes) {
    Selection selection(*this);
    win::SIZE size{};
    if (!selection.ready() ||
        !win::GetTextExtentPoint32A(selection.dc(), bytes.data(), int(bytes.size()), &size)) {
        return win::SIZE{};
    }
    return size;
}

std::string GdiTrueTypeRenderer::bytesOf(const WString& text) const {
    std::string bytes;
    for (std::int32_t i = 0; i < text.size(); ++i)
        bytes.push_back(byteOf(text.at(i)));
    return bytes;
}

std::int32_t GdiTrueTypeRenderer::roundedWidth(std::uint16_t code) {
    return extentOf(std::string(1, byteOf(code))).cx;
}

std::int32_t GdiTrueTypeRenderer::glyphHeight(std::uint16_t code) {
    return extentOf(std::string(1, byteOf(code))).cy;
}

std::int32_t GdiTrueTypeRenderer::stringWidth(const WString& text) {
    return extentOf(bytesOf(text)).cx;
}

std::int32_t GdiTrueTypeRenderer::stringHeight(const WString& text) {
    return extentOf(bytesOf(text)).cy;
}

double GdiTrueTypeRenderer::programAdvance(std::uint16_t code) {
    Selection selection(*this);
    win::SIZE size{};
    const char byte = byteOf(code);
    if (!selection.ready() || deviceHeight() == 0 ||
        !win::GetTextExtentPoint32A(selection.dc(), &byte, 1, &size)) {
        return 0.0;
    }
    return double(size.cx) / deviceHeight();
}

void GdiTrueTypeRenderer::setCharHeight(double h) {
    dirty_ = true;
    FontRenderer::setCharHeight(h);
}

void GdiTrueTypeRenderer::refresh() {
    deleteFont();
    dirty_ = true;
}

void GdiTrueTypeRenderer::setForegroundFrom(const DeviceColor& color) {
    dirty_ = true;
    FontRenderer::setForegroundFrom(color);
}

void GdiTrueTypeRenderer::setHorizontalScale(double tz) {
    if (tz == horizontalScale())
        return;
    dirty_ = true;
    FontRenderer::setHorizontalScale(tz);
}

void GdiTrueTypeRenderer::setFontSize(double size) {
    if (size == fontSize())
        return;
    dirty_ = true;
    FontRenderer::setFontSize(size);
}

void GdiTrueTypeRenderer::setTextMatrix(const Matrix& tm, const Matrix* lm) {
    dirty_ = true;
    FontRenderer::setTextMatrix(tm, lm);
}

void GdiTrueTypeRenderer::setRenderMode(std::int32_t mode) {
    dirty_ = true;
    FontRenderer::setRenderMode(mode);
    if (device())
        fillColorChanged();
}

void GdiTrueTypeRenderer::description(WString& text) const {
    text.assignText(u"TrueType: ");
    text.append(WString::fromLatin1(
        std::string_view(logFont_.lfFaceName, strnlen(logFont_.lfFaceName, win::LF_FACESIZE))));
    text.appendText(u" ");
    if (logFont_.lfItalic)
        text.appendText(u"Italic ");
    if (logFont_.lfWeight > 400)
        text.appendText(u"Bold ");
    if (logFont_.lfUnderline)
        text.appendText(u"Underline");
    if (logFont_.lfStrikeOut)
        text.appendText(u"StrikeOut");
}

void GdiTrueTypeRenderer::fillColorChanged() {
    OutputDevice* dev = device();
    if (!dev)
        return;
    std::unique_ptr<DeviceColor> color = dev->NewColor();
    std::uint32_t value = 0;
    if (!color || !dev->GetFillColor(*color))
        return;
    dev->SetFillColor(*color);
    if (color->getValue(value))
        textColor_ = value;
    win::SetTextColor(contextOf(dev), textColor_);
}

const WString& GdiTrueTypeRenderer::defaultEncodingName() const {
    return encodings::WinAnsiEncoding;
}

}  // namespace vistrel
