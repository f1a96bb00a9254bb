// The font half of the graphics stand-in: system faces found through
// fontconfig, faces added from files, all read and drawn with FreeType, with
// no display. Font objects live in the same handle table as the other
// drawing objects; a device context holds a default font from its creation.
//
// Faces are TrueType and OpenType (TrueType or CFF outlines) faces only.
// Outlines are rendered unhinted and anti-aliased, and advances are the
// unhinted advances rounded to whole pixels, so results do not depend on
// FreeType's hinting settings.
#pragma once

#include <cstdint>
#include <thread>

#include "platform/gdi/gdi.h"

namespace win {

using LPARAM = std::intptr_t;
using WPARAM = std::uintptr_t;
using LRESULT = std::intptr_t;

constexpr int LF_FACESIZE = 32;

struct LOGFONTA {
    LONG lfHeight;       // < 0: em size in pixels; > 0: cell height (ascent + descent)
    LONG lfWidth;        // not used: glyphs keep their proportions
    LONG lfEscapement;   // baseline angle, tenths of a degree, counter-clockwise
    LONG lfOrientation;  // not used: glyphs turn with the baseline
    LONG lfWeight;       // 0 counts as 400
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;  // family | TMPF_* bits (TMPF_FIXED_PITCH set means variable pitch)
    BYTE tmCharSet;
};

// What the enumeration reports of a face: the text metrics in the face's
// design units (an em of ntmSizeEM), and the design sizes themselves.
struct NEWTEXTMETRICA : TEXTMETRICA {
    DWORD ntmFlags;
    UINT ntmSizeEM;
    UINT ntmCellHeight;
    UINT ntmAvgWidth;
};

struct SIZE {
    LONG cx;
    LONG cy;
};

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;

constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0;
constexpr BYTE FF_ROMAN = 16;
constexpr BYTE FF_SWISS = 32;
constexpr BYTE FF_MODERN = 48;
constexpr BYTE FF_SCRIPT = 64;
constexpr BYTE FF_DECORATIVE = 80;

constexpr BYTE TMPF_FIXED_PITCH = 1;
constexpr BYTE TMPF_VECTOR = 2;
constexpr BYTE TMPF_TRUETYPE = 4;

constexpr DWORD NTM_ITALIC = 0x01;
constexpr DWORD NTM_BOLD = 0x20;
constexpr DWORD NTM_REGULAR = 0x40;

constexpr DWORD TRUETYPE_FONTTYPE = 4;

// Background modes. Text is always drawn over what is there; OPAQUE is only
// remembered.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr HWND HWND_BROADCAST = 0xFFFF;
constexpr UINT WM_FONTCHANGE = 0x001D;

// Answer 0 ends the enumeration.
using FONTENUMPROCA = int (*)(const LOGFONTA* font, const NEWTEXTMETRICA* metrics, DWORD fontType,
                              LPARAM data);

// With a family: one call per style (weight, italic) of the family the name
// stands for, in the ANSI character set only. Without one (null or empty):
// one call per family. Answers the callback's last answer (1 when it was
// never called).
int EnumFontFamiliesA(HDC hdc, const char* family, FONTENUMPROCA proc, LPARAM data);

// Null when no face at all can be found for the request.
HFONT CreateFontIndirectA(const LOGFONTA* font);

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics);
// cx: the sum of the glyphs' advances; cy: the cell height.
BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size);
// Only plain calls: no options and no spacing array (the rectangle is
// ignored). (x, y) is the top left of the text's cell.
BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text,
                 UINT count, const int* dx);
COLORREF SetTextColor(HDC hdc, COLORREF color);
int SetBkMode(HDC hdc, int mode);

// Faces added from a file join the process's own table (not the user's font
// configuration) and are found before the system's faces, by their family
// names and by the file's name without its extension. Answers the number
// of faces added, 0 when the file holds no usable face.
int AddFontResourceA(const char* path);
BOOL RemoveFontResourceA(const char* path);

// The font-change broadcast has nobody to reach: answers 0.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Beyond Win32: reads fontconfig's default configuration and its font caches
// on a thread of its own, so that a program whose toolkit lays out text with
// that configuration finds it read at its first text while it started up
// meanwhile. The configuration becomes the default only when none is yet (a
// program that read one first keeps it); the stand-in's own faces are no part
// of it. The object waits for its thread when it goes.
class FontConfigurationPreload {
public:
    FontConfigurationPreload();
    ~FontConfigurationPreload();
    FontConfigurationPreload(const FontConfigurationPreload&) = delete;
    FontConfigurationPreload& operator=(const FontConfigurationPreload&) = delete;

private:
    std::thread thread_;
};

// Beyond Win32: lists the system faces the font calls choose from on a
// thread of its own, which the first font created or enumerated would list
// otherwise; a font call meanwhile waits for the list. The object waits for
// its thread when it goes.
class FontListPreload {
public:
    FontListPreload();
    ~FontListPreload();
    FontListPreload(const FontListPreload&) = delete;
    FontListPreload& operator=(const FontListPreload&) = delete;

private:
    std::thread thread_;
};

}  // namespace win
