// Font files handed to the font table: a document's embedded program is
// written to a file, added, selected by the file's name, measured and drawn
// (plain, and turned, bold, slanted and decorated), then removed.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/gdi/gdi_font.h"

using namespace win;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char path[] = "/tmp/vistrel-font-XXXXXX.ttf";
    int fd = mkstemps(path, 4);
    if (fd < 0)
        return 0;
    bool written = write(fd, data, size) == ssize_t(size);
    close(fd);
    if (written && AddFontResourceA(path) > 0) {
        const std::string face(path + 5, std::strlen(path) - 9);  // the file's name, no extension
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD colors[256];
        } info{};
        info.h = {sizeof(BITMAPINFOHEADER), 256, 96, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
        for (int i = 0; i < 256; ++i)
            info.colors[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
        HDC dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info),
                                          DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        EnumFontFamiliesA(
            dc, face.c_str(), [](const LOGFONTA*, const NEWTEXTMETRICA*, DWORD, LPARAM) { return 1; },
            0);
        char text[256];
        for (int i = 0; i < 256; ++i)
            text[i] = char(i);
        const struct {
            LONG height, escapement, weight;
            BYTE styled;
        } variants[] = {{-40, 0, FW_NORMAL, 0}, {30, 450, FW_BOLD, 1}, {-700, 2700, FW_BOLD, 1}};
        for (const auto& v : variants) {
            LOGFONTA lf{};
            lf.lfHeight = v.height;
            lf.lfEscapement = v.escapement;
            lf.lfWeight = v.weight;
            lf.lfItalic = lf.lfUnderline = lf.lfStrikeOut = v.styled;
            std::strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
            HFONT font = CreateFontIndirectA(&lf);
            HGDIOBJ oldFont = SelectObject(dc, font);
            TEXTMETRICA tm;
            GetTextMetricsA(dc, &tm);
            SIZE extent;
            GetTextExtentPoint32A(dc, text, 256, &extent);
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkMode(dc, TRANSPARENT);
            ExtTextOutA(dc, 0, 0, 0, nullptr, text, 256, nullptr);
            SelectObject(dc, oldFont);
            DeleteObject(font);
        }
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        RemoveFontResourceA(path);
    }
    unlink(path);
    return 0;
}
