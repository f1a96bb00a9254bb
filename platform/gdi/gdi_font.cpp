// Font objects, enumeration, text metrics, text output and the process's
// own font table.
#include "platform/gdi/gdi_font.h"

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <exception>
#include <set>
#include <system_error>
#include <utility>

#include "platform/gdi/font_catalog.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/scaled_font.h"

namespace win {

namespace {

// The font of a device context, made real on first use; null when no face
// can be found.
font::ScaledFont* scaledFont(const DcObject& dc) {
    FontObject* f = findFont(dc.font);
    if (!f)
        return nullptr;
    if (!f->scaled)
        f->scaled = font::ScaledFont::create(f->logfont);
    return f->scaled.get();
}

void copyFaceName(char (&dst)[LF_FACESIZE], std::string_view name) {
    std::memset(dst, 0, LF_FACESIZE);
    std::memcpy(dst, name.data(), std::min<std::size_t>(name.size(), LF_FACESIZE - 1));
}

// What the enumeration reports of a face: its logical font and its metrics
// in design units.
std::pair<LOGFONTA, NEWTEXTMETRICA> describe(const font::FaceEntry& e) {
    const font::FaceInfo& in = e.info;
    NEWTEXTMETRICA tm{};
    tm.tmAscent = in.ascent;
    tm.tmDescent = in.descent;
    tm.tmHeight = in.ascent + in.descent;
    tm.tmInternalLeading = tm.tmHeight - in.unitsPerEm;
    tm.tmExternalLeading = in.externalLeading;
    tm.tmAveCharWidth = in.averageWidth;
    tm.tmMaxCharWidth = in.maximumWidth;
    tm.tmWeight = in.weight;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = in.italic;
    tm.tmPitchAndFamily =
        BYTE(in.familyClass | (in.fixedPitch ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE);
    tm.tmCharSet = in.coversLatin1 ? ANSI_CHARSET : SYMBOL_CHARSET;
    tm.ntmFlags = (in.italic ? NTM_ITALIC : 0) | (in.weight >= FW_BOLD ? NTM_BOLD : 0);
    if (tm.ntmFlags == 0)
        tm.ntmFlags = NTM_REGULAR;
    tm.ntmSizeEM = UINT(in.unitsPerEm);
    tm.ntmCellHeight = UINT(tm.tmHeight);
    tm.ntmAvgWidth = UINT(in.averageWidth);

    LOGFONTA lf{};
    lf.lfHeight = tm.tmHeight;
    lf.lfWidth = tm.tmAveCharWidth;
    lf.lfWeight = in.weight;
    lf.lfItalic = in.italic;
    lf.lfCharSet = tm.tmCharSet;
    lf.lfPitchAndFamily = BYTE(in.familyClass | (in.fixedPitch ? FIXED_PITCH : VARIABLE_PITCH));
    copyFaceName(lf.lfFaceName, e.info.family);
    return {lf, tm};
}

}  // namespace

LOGFONTA defaultLogFont() {
    LOGFONTA lf{};
    lf.lfHeight = 16;
    lf.lfWeight = FW_NORMAL;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    return lf;
}

FontObject::FontObject(const LOGFONTA& lf) : GdiObject(HandleKind::Font), logfont(lf) {
    logfont.lfFaceName[LF_FACESIZE - 1] = 0;
}

FontObject::~FontObject() = default;

int EnumFontFamiliesA(HDC hdc, const char* family, FONTENUMPROCA proc, LPARAM data) {
    if (!findDc(hdc) || !proc)
        return 0;
    font::Catalog& catalog = font::Catalog::instance();
    std::vector<font::FaceList> families;
    if (family && *family) {
        families.push_back(
            catalog.family(std::string_view(family, strnlen(family, LF_FACESIZE - 1))));
    } else {
        families = catalog.families();
    }
    int answer = 1;
    for (const font::FaceList& faces : families) {
        if (faces.empty())
            continue;
        font::FaceList chosen;
        if (family && *family) {
            // Each style once.
            std::set<std::pair<bool, int>> seen;
            for (const auto& e : faces) {
                if (seen.insert({e->info.italic, e->info.weight}).second)
                    chosen.push_back(e);
            }
        } else {
            chosen.push_back(font::chooseStyle(faces, FW_NORMAL, false));
        }
        for (const auto& e : chosen) {
            auto [lf, tm] = describe(*e);
            answer = proc(&lf, &tm, TRUETYPE_FONTTYPE, data);
            if (answer == 0)
                return 0;
        }
    }
    return answer;
}

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
    if (!lf)
        return nullptr;
    auto f = std::make_unique<FontObject>(*lf);
    f->scaled = font::ScaledFont::create(f->logfont);
    if (!f->scaled)
        return nullptr;
    return HFONT::fromValue(HandleTable::instance().add(std::move(f)));
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics) {
    DcObject* dc = findDc(hdc);
    font::ScaledFont* f = dc ? scaledFont(*dc) : nullptr;
    if (!f || !metrics)
        return FALSE;
    *metrics = f->metrics();
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size) {
    DcObject* dc = findDc(hdc);
    font::ScaledFont* f = dc ? scaledFont(*dc) : nullptr;
    if (!f || !size || count < 0 || (count > 0 && !text))
        return FALSE;
    long long cx = 0;
    for (int i = 0; i < count; ++i)
        cx += f->advance(std::uint8_t(text[i]));
    size->cx = LONG(std::min<long long>(cx, 0x7FFFFFFF));
    size->cy = f->metrics().tmHeight;
    return TRUE;
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* /*rect*/, const char* text,
                 UINT count, const int* dx) {
    DcObject* dc = findDc(hdc);
    if (!dc || options != 0 || dx || (count > 0 && !text))
        return FALSE;
    font::ScaledFont* f = scaledFont(*dc);
    BitmapObject* bm = findBitmap(dc->bitmap);
    if (!f || !bm)
        return FALSE;
    const RECT touched =
        f->draw(*dc, *bm, x, y, reinterpret_cast<const std::uint8_t*>(text), count, dc->textColor);
    if (dc->boundsEnabled)
        dc->bounds = unionRect(dc->bounds, touched);
    return TRUE;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->textColor, color & 0xFFFFFF);
}

int SetBkMode(HDC hdc, int mode) {
    DcObject* dc = findDc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    return std::exchange(dc->bkMode, mode);
}

int AddFontResourceA(const char* path) {
    return path ? font::Catalog::instance().add(path) : 0;
}

BOOL RemoveFontResourceA(const char* path) {
    return path && font::Catalog::instance().remove(path) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

FontConfigurationPreload::FontConfigurationPreload() {
    try {
        // FcInit keeps a default configuration another thread set first.
        thread_ = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread to spare: the first text reads the configuration itself.
    }
}

FontConfigurationPreload::~FontConfigurationPreload() {
    if (thread_.joinable())
        thread_.join();
}

FontListPreload::FontListPreload() {
    font::Catalog& catalog = font::Catalog::instance();
    try {
        thread_ = std::thread([&catalog] {
            try {
                catalog.listSystem();
            } catch (const std::exception&) {
                // The first font call lists the faces itself.
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: the first font call lists the faces itself.
    }
}

FontListPreload::~FontListPreload() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace win
