// Regions and the clip region of a device context.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_objects.h"

namespace win {

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto r = std::make_unique<RegionObject>();
    // Corners may come in any order.
    r->set = RectSet::fromRect(std::min(left, right), std::min(top, bottom), std::max(left, right),
                               std::max(top, bottom));
    return HRGN::fromValue(HandleTable::instance().add(std::move(r)));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    RegionObject* d = findRegion(dest);
    RegionObject* a = findRegion(src1);
    if (!d || !a)
        return ERROR;
    if (mode == RGN_COPY) {
        d->set = a->set;
        return d->set.complexity();
    }
    RegionObject* b = findRegion(src2);
    if (!b)
        return ERROR;
    RectSet::Op op;
    switch (mode) {
        case RGN_AND:
            op = RectSet::Op::And;
            break;
        case RGN_OR:
            op = RectSet::Op::Or;
            break;
        case RGN_XOR:
            op = RectSet::Op::Xor;
            break;
        case RGN_DIFF:
            op = RectSet::Op::Diff;
            break;
        default:
            return ERROR;
    }
    d->set = RectSet::combine(a->set, b->set, op);
    return d->set.complexity();
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    RegionObject* r = findRegion(rgn);
    return r && r->set.contains(x, y) ? TRUE : FALSE;
}

int GetRgnBox(HRGN rgn, RECT* box) {
    RegionObject* r = findRegion(rgn);
    if (!r || !box)
        return ERROR;
    *box = r->set.bounds();
    return r->set.complexity();
}

DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data) {
    RegionObject* r = findRegion(rgn);
    if (!r)
        return 0;
    std::vector<RECT> rects = r->set.rects();
    DWORD needed = DWORD(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!data)
        return needed;
    if (count < needed)
        return 0;
    RGNDATAHEADER h{};
    h.dwSize = sizeof(RGNDATAHEADER);
    h.iType = RDH_RECTANGLES;
    h.nCount = DWORD(rects.size());
    h.nRgnSize = DWORD(rects.size() * sizeof(RECT));
    h.rcBound = r->set.bounds();
    auto* out = reinterpret_cast<std::uint8_t*>(data);
    std::memcpy(out, &h, sizeof h);
    if (!rects.empty()) {
        std::memcpy(out + sizeof h, rects.data(), rects.size() * sizeof(RECT));
    }
    return count;
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data) {
    // Only untransformed data is read; malformed data is refused.
    if (xform || !data || count < sizeof(RGNDATAHEADER))
        return nullptr;
    RGNDATAHEADER h;
    std::memcpy(&h, data, sizeof h);
    if (h.dwSize != sizeof(RGNDATAHEADER) || h.iType != RDH_RECTANGLES)
        return nullptr;
    if (h.nCount > (count - sizeof h) / sizeof(RECT))
        return nullptr;
    const auto* p = reinterpret_cast<const std::uint8_t*>(data) + sizeof h;
    RectSet set;
    for (DWORD i = 0; i < h.nCount; ++i) {
        RECT rc;
        std::memcpy(&rc, p + i * sizeof(RECT), sizeof rc);
        set = RectSet::combine(set, RectSet::fromRect(rc.left, rc.top, rc.right, rc.bottom),
                               RectSet::Op::Or);
    }
    auto r = std::make_unique<RegionObject>();
    r->set = std::move(set);
    return HRGN::fromValue(HandleTable::instance().add(std::move(r)));
}

int GetClipRgn(HDC hdc, HRGN rgn) {
    DcObject* dc = findDc(hdc);
    RegionObject* r = findRegion(rgn);
    if (!dc || !r)
        return -1;
    if (!dc->clip)
        return 0;
    r->set = *dc->clip;
    return 1;
}

int SelectClipRgn(HDC hdc, HRGN rgn) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return ERROR;
    if (!rgn) {
        dc->clip.reset();
        return SIMPLEREGION;
    }
    RegionObject* r = findRegion(rgn);
    if (!r)
        return ERROR;
    dc->clip = r->set;
    return r->set.complexity();
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return ERROR;
    RectSet rect = RectSet::fromRect(left, top, right, bottom);
    if (!dc->clip) {
        // Without a clip region the whole surface is the current clip.
        BitmapObject* bm = findBitmap(dc->bitmap);
        RectSet surface = bm ? RectSet::fromRect(0, 0, bm->width, bm->height) : RectSet();
        dc->clip = RectSet::combine(surface, rect, RectSet::Op::And);
    } else {
        dc->clip = RectSet::combine(*dc->clip, rect, RectSet::Op::And);
    }
    return dc->clip->complexity();
}

int GetClipBox(HDC hdc, RECT* rect) {
    DcObject* dc = findDc(hdc);
    BitmapObject* bm = dc ? findBitmap(dc->bitmap) : nullptr;
    if (!bm || !rect)
        return ERROR;
    *rect = RECT{0, 0, bm->width, bm->height};
    if (!dc->clip)
        return SIMPLEREGION;
    // The clip's bands within the bitmap: one rectangle when they are
    // adjacent and hold the same single interval.
    RECT box{};
    int kind = NULLREGION;
    int lastBottom = 0;
    for (const RectSet::Band& band : dc->clip->bands()) {
        const int top = std::max(band.top, 0), bottom = std::min(band.bottom, bm->height);
        if (top >= bottom)
            continue;
        int spans = 0;
        RECT row{};
        for (const RectSet::Span& span : band.spans) {
            const int left = std::max(span.left, 0), right = std::min(span.right, bm->width);
            if (left >= right)
                continue;
            row = unionRect(row, RECT{left, top, right, bottom});
            ++spans;
        }
        if (spans == 0)
            continue;
        if (kind == NULLREGION) {
            kind = spans == 1 ? SIMPLEREGION : COMPLEXREGION;
        } else if (spans > 1 || top != lastBottom || row.left != box.left ||
                   row.right != box.right) {
            kind = COMPLEXREGION;
        }
        box = unionRect(box, row);
        lastBottom = bottom;
    }
    *rect = box;
    return kind;
}

namespace {

bool emptyRect(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

UINT SetBoundsRect(HDC hdc, const RECT* rect, UINT flags) {
    DcObject* dc = findDc(hdc);
    if (!dc)
        return 0;
    const UINT before =
        (dc->boundsEnabled ? DCB_ENABLE : DCB_DISABLE) | (emptyRect(dc->bounds) ? DCB_RESET : DCB_SET);
    if (flags & DCB_RESET)
        dc->bounds = RECT{};
    if ((flags & DCB_ACCUMULATE) && rect)
        dc->bounds = unionRect(dc->bounds, *rect);
    if (flags & DCB_ENABLE)
        dc->boundsEnabled = true;
    if (flags & DCB_DISABLE)
        dc->boundsEnabled = false;
    return before;
}

UINT GetBoundsRect(HDC hdc, RECT* rect, UINT flags) {
    DcObject* dc = findDc(hdc);
    if (!dc || !rect)
        return 0;
    const bool empty = emptyRect(dc->bounds);
    *rect = empty ? RECT{} : dc->bounds;
    if (flags & DCB_RESET)
        dc->bounds = RECT{};
    return empty ? DCB_RESET : DCB_SET;
}

}  // namespace win
