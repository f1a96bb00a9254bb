// The control object's view: the State node, rendering into the off-screen
// page bitmap, drawing it into a host's device context, the page matrix,
// link hits and the jump to a destination.
#include <cmath>

#include "engine/constants/name_constants.h"
#include "engine/control/held_destinations.h"
#include "engine/control/page_geometry.h"
#include "engine/control/presets.h"
#include "engine/control/vistrel.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/export/pdb_page_store.h"
#include "engine/parser/pdf_document.h"
#include "engine/render/content/page_renderer.h"
#include "engine/render/raster/gdi_device.h"

namespace vistrel {

using namespace VISTRELLib;
using win::S_FALSE;
using win::S_OK;

namespace {

win::VARIANT longValue(win::LONG value) {
    win::VARIANT v{};
    v.vt = win::VT_I4;
    v.lVal = value;
    return v;
}

win::VARIANT doubleValue(double value) {
    win::VARIANT v{};
    v.vt = win::VT_R8;
    v.dblVal = value;
    return v;
}

// Paints a rectangle of the bitmap selected into a device context white.
void fillWhite(win::HDC dc, const win::RECT& area) {
    win::HBRUSH white = win::CreateSolidBrush(0xFFFFFF);
    win::FillRect(dc, &area, white);
    win::DeleteObject(white);
}

}  // namespace

Ref<PdfPage> Vistrel::statePage() const {
    return catalog_ ? catalog_->getPage(state_->state().page) : nullptr;
}

// ---------------------------------------------------------------------------
// The State

HRESULT Vistrel::get_State(ITreeNode** pVal) {
    if (!pVal)
        return win::E_POINTER;
    *pVal = nullptr;
    state_->setName(state_->defaultName());
    win::ComPtr<TreeNode> copy = TreeNode::create();
    if (!copy || !copy->copyFrom(state_.get()))
        return win::E_OUTOFMEMORY;
    *pVal = copy.detach();
    return S_OK;
}

HRESULT Vistrel::put_State(ITreeNode* node) {
    if (!node)
        return win::E_POINTER;
    TreeNodeType type = TreeNodeType::State;
    if (node->get_type(&type) != S_OK)
        return S_FALSE;
    DocState view = state_->state();
    switch (type) {
        case TreeNodeType::Annotation:
            return win::E_NOTIMPL;
        case TreeNodeType::TOC: {
            LONG id = 0;
            node->get_ID(&id);
            PdfObject* destination = id ? heldDestinations().find(id) : nullptr;
            if (!destination)
                return S_FALSE;
            // The table's hold may go while the jump's events run.
            ObjectRef held = ObjectRef::share(destination);
            return goToDestination(held.get()) ? S_OK : S_FALSE;
        }
        case TreeNodeType::State:
            if (node->get_State(&view) != S_OK)
                return S_FALSE;
            break;
        case TreeNodeType::Link: {
            PageLink link{};
            if (node->get_Link(&link) != S_OK)
                return S_FALSE;
            view.page = link.toPage;
            view.x = link.toX;
            view.y = link.toY;
            break;
        }
        default:
            return S_FALSE;
    }
    applyView(view);
    return S_OK;
}

void Vistrel::applyView(const DocState& view) {
    const DocState old = state_->state();
    state_->setState(view);
    if (old.memoryUsage != view.memoryUsage) {
        viewChanged_ = true;
        applyMemoryPreset(view.memoryUsage, view.quality, view.memoryUsage);
    }
    if (old.quality != view.quality) {
        viewChanged_ = true;
        applyQualityPreset(view.quality);
    }
    if (old.page != view.page) {
        viewChanged_ = true;
        fireLong(VistrelEventsDispid::changePage, view.page);
    }
    if (old.zoom != view.zoom) {
        viewChanged_ = true;
        fire(VistrelEventsDispid::changeZoom, {doubleValue(view.zoom)});
    }
    if (old.x != view.x || old.y != view.y)
        fire(VistrelEventsDispid::changeOffset, {longValue(view.x), longValue(view.y)});
    // Any put renders again, an identical view too, except that a device
    // format added to a view that had none reuses the bitmap: the next render
    // only converts it.
    if (!(old.PalmFormat == VISTRELLib::PalmFormat::NotPalm &&
          view.PalmFormat != VISTRELLib::PalmFormat::NotPalm))
        viewChanged_ = true;
}

// ---------------------------------------------------------------------------
// Rendering

HRESULT Vistrel::render() {
    // A sink may call back from a progress event: the device is in use.
    if (rendering_ || !catalog_)
        return S_FALSE;
    const DocState view = state_->state();
    if (!(view.zoom > 0) || view.page < 1 || view.page > catalog_->getPageCount())
        return S_FALSE;
    const auto format = std::uint16_t(view.PalmFormat);
    if (!viewChanged_) {
        if (view.PalmFormat != VISTRELLib::PalmFormat::NotPalm && hasPageBitmap() && pageStore_) {
            convertPageBitmap(bitmapWidth_, bitmapHeight_, view.page, view.zoom, format);
        }
        return S_OK;
    }
    Ref<PdfPage> page = catalog_->getPage(view.page);
    PageGeometry geometry;
    std::int32_t width = 0, height = 0;
    if (!page || !readPageGeometry(*page, view.zoom, geometry) ||
        !pageBitmapSize(geometry, kMaxBitmapSide, kMaxBitmapPixels, width, height))
        return S_FALSE;
    if (!createPageBitmap(width, height))
        return S_FALSE;
    GdiDevice device(memoryDc_, IntPoint{width, height});
    pageMatrix_ = vistrel::pageMatrix(geometry, view.zoom);
    const Matrix matrix = pageMatrix_;
    // Cleared before the content runs, so that a view put meanwhile by a
    // sink renders on the next call.
    viewChanged_ = false;
    rendering_ = true;
    renderPage(*page, device, &matrix, this, 0, deferText_ ? PageText::Defer : PageText::Collect);
    rendering_ = false;
    if (view.PalmFormat != VISTRELLib::PalmFormat::NotPalm && pageStore_)
        convertPageBitmap(width, height, view.page, view.zoom, format);
    // An export closes at its own end.
    if (closePending_ && !exporting_)
        closeDocument();
    return S_OK;
}

bool Vistrel::createPageBitmap(std::int32_t width, std::int32_t height) {
    win::HDC screen = win::GetDC(0);
    if (!screen)
        return false;
    if (!memoryDc_)
        memoryDc_ = win::CreateCompatibleDC(screen);
    if (!memoryDc_) {
        win::ReleaseDC(0, screen);
        return false;
    }
    bool kept = pageBitmap_ && width == bitmapWidth_ && height == bitmapHeight_;
    if (!kept) {
        win::HBITMAP bitmap = nullptr;
        if (pageBitmap_) {
            win::SelectObject(memoryDc_, previousBitmap_);
            previousBitmap_ = nullptr;
            if (exporting_) {
                // The bitmap waits as the spare; a spare of the size wanted
                // is taken back.
                if (spareBitmap_ && spareWidth_ == width && spareHeight_ == height) {
                    bitmap = spareBitmap_;
                    spareBitmap_ = nullptr;
                    kept = true;
                }
                deleteSpareBitmap();
                spareBitmap_ = pageBitmap_;
                spareWidth_ = bitmapWidth_;
                spareHeight_ = bitmapHeight_;
            } else {
                win::DeleteObject(pageBitmap_);
            }
            pageBitmap_ = nullptr;
        }
        if (!bitmap) {
            // A section of the screen's 32 bits, rows from the top: glyphs
            // are blended straight into its pixels.
            win::BITMAPINFO info{};
            info.bmiHeader = {
                sizeof(win::BITMAPINFOHEADER), width, -height, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
            void* bits = nullptr;
            bitmap =
                win::CreateDIBSection(memoryDc_, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
            if (!bitmap) {
                win::ReleaseDC(0, screen);
                return false;
            }
        }
        bitmapWidth_ = width;
        bitmapHeight_ = height;
        previousBitmap_ = win::SelectObject(memoryDc_, bitmap);
        pageBitmap_ = bitmap;
    }
    win::ReleaseDC(0, screen);
    win::SelectClipRgn(memoryDc_, nullptr);
    // A kept bitmap (this one or the export's spare) was all white before
    // the last page was drawn into it: only what that page changed is
    // painted white again.
    win::RECT stale{0, 0, width, height};
    if (kept)
        win::GetBitmapChange(pageBitmap_, &stale, 0);
    fillWhite(memoryDc_, stale);
    win::GetBitmapChange(pageBitmap_, &stale, win::DCB_RESET);
    return true;
}

void Vistrel::deleteSpareBitmap() {
    if (spareBitmap_)
        win::DeleteObject(spareBitmap_);
    spareBitmap_ = nullptr;
    spareWidth_ = 0;
    spareHeight_ = 0;
}

void Vistrel::convertPageBitmap(std::int32_t width, std::int32_t height, std::int32_t page,
                                double zoom, std::uint16_t format) {
    // The bitmap was all white before the page was drawn (createPageBitmap):
    // outside what the drawing changed it still is.
    win::RECT drawn{};
    const bool known = win::GetBitmapChange(pageBitmap_, &drawn, 0) != 0;
    pageStore_->convertRenderedPage(memoryDc_, width, height, page, zoom, format,
                                    known ? &drawn : nullptr);
    // The conversion may paint its picture back through the section's bits.
    const win::RECT all{0, 0, width, height};
    win::AddBitmapChange(pageBitmap_, &all);
}

void Vistrel::recaptureText(PdfPage& page) {
    if (rendering_ || !page.textLinesDropped())
        return;
    const TextCapture capture = page.textCapture();
    win::HDC screen = win::GetDC(0);
    if (!screen)
        return;
    win::HDC dc = win::CreateCompatibleDC(screen);
    win::HBITMAP bitmap =
        dc ? win::CreateCompatibleBitmap(screen, capture.width, capture.height) : nullptr;
    win::ReleaseDC(0, screen);
    if (bitmap) {
        const win::HGDIOBJ previous = win::SelectObject(dc, bitmap);
        fillWhite(dc, win::RECT{0, 0, capture.width, capture.height});
        {
            GdiDevice device(dc, IntPoint{capture.width, capture.height});
            rendering_ = true;
            renderPage(page, device, &capture.pageMatrix, nullptr, 0);
            rendering_ = false;
        }
        win::SelectObject(dc, previous);
        win::DeleteObject(bitmap);
    }
    if (dc)
        win::DeleteDC(dc);
}

void Vistrel::computePageMatrix() {
    Ref<PdfPage> page = statePage();
    const double zoom = state_->state().zoom;
    PageGeometry geometry;
    if (page && readPageGeometry(*page, zoom, geometry))
        pageMatrix_ = vistrel::pageMatrix(geometry, zoom);
}

// ---------------------------------------------------------------------------
// Drawing and sizes

HRESULT Vistrel::draw(LONG hdc, LONG x, LONG y, LONG width, LONG height, LONG offsetX,
                      LONG offsetY) {
    if (!hasPageBitmap())
        return S_FALSE;
    const win::HDC target = win::HDC::fromValue(std::uint32_t(hdc));
    return win::BitBlt(target, x, y, width, height, memoryDc_, offsetX, offsetY, win::SRCCOPY)
               ? S_OK
               : S_FALSE;
}

HRESULT Vistrel::get_width(LONG* pVal) {
    if (!pVal)
        return win::E_POINTER;
    *pVal = bitmapWidth_;
    return S_OK;
}

HRESULT Vistrel::get_height(LONG* pVal) {
    if (!pVal)
        return win::E_POINTER;
    *pVal = bitmapHeight_;
    return S_OK;
}

HRESULT Vistrel::get_actualWidth(LONG* pVal) {
    return actualSize(pVal, true);
}

HRESULT Vistrel::get_actualHeight(LONG* pVal) {
    return actualSize(pVal, false);
}

HRESULT Vistrel::actualSize(LONG* pVal, bool width) const {
    if (!pVal)
        return win::E_POINTER;
    Ref<PdfPage> page = statePage();
    std::int32_t w = 0, h = 0;
    if (!page || !getPageBoxes(page.get(), w, h))
        return S_FALSE;
    *pVal = width ? w : h;
    return S_OK;
}

HRESULT Vistrel::setVisibleRect(LONG width, LONG height) {
    if (width < 0 || height < 0)
        return S_FALSE;
    visibleWidth_ = width;
    visibleHeight_ = height;
    return S_OK;
}

// ---------------------------------------------------------------------------
// Links and destinations

HRESULT Vistrel::mouseClick(LONG x, LONG y) {
    if (!document_)
        return S_FALSE;
    Ref<PdfPage> page = statePage();
    PdfArray* annots = page ? asArray(page->get(names::Annots)) : nullptr;
    if (!annots)
        return S_FALSE;
    // The array stays while jumps change the view.
    ObjectRef held = ObjectRef::share(annots);
    for (int32_t i = 0; i < annots->count(); ++i) {
        PdfAnnotation* link = asAnnotation(annots->at(i));
        if (!link || link->subtypeCode() != PdfAnnotation::kLink)
            continue;
        PdfArray* rect = asRectangle(link->get(names::Rect));
        if (!rect || rect->count() != 4)
            continue;
        double corners[4];
        for (int32_t k = 0; k < 4; ++k) {
            PdfNumber* n = asNumber(rect->at(k));
            corners[k] = n ? n->realValue() : std::nan("");
        }
        double ax, ay, bx, by;
        transformPoint(pageMatrix_, corners[0], corners[1], ax, ay);
        transformPoint(pageMatrix_, corners[2], corners[3], bx, by);
        const bool hit = std::fmin(ax, bx) <= x && x < std::fmax(ax, bx) &&
                         std::fmin(ay, by) <= y && y < std::fmax(ay, by);
        if (!hit)
            continue;
        ObjectRef keep = ObjectRef::share(link);
        PdfObject* destination = nullptr;
        Ref<PdfAction> action = asAction(link->get(names::A));
        if (action && action->actionKind() == PdfAction::kGoTo) {
            destination = action->get(names::D);
        } else {
            destination = link->get(names::Dest);
        }
        if (destination && goToDestination(destination))
            break;
    }
    return S_OK;
}

bool Vistrel::goToDestination(PdfObject* object) {
    if (!document_ || !catalog_ || !catalog_->isLoaded() || !object)
        return false;
    Ref<Destination> destination = catalog_->readDestination(object);
    if (!destination)
        return false;
    // A page that cannot be told is no jump, but no failure either.
    PdfObject* pageRef = destination->page();
    if (!pageRef)
        return true;
    Ref<PdfPage> page = catalog_->getPageIndex(pageRef);
    const std::int32_t number = catalog_->lastPageNumber();
    if (!page || catalog_->getPage(number).get() != page.get())
        return true;

    DocState view = state_->state();
    if (number != view.page) {
        view.page = number;
        state_->setState(view);
        fireLong(VistrelEventsDispid::changePage, number);
        viewChanged_ = true;
    }

    enum class Mode { Position, Window, Width, Height, Rectangle };
    Mode mode = Mode::Position;
    double left = -1, top = -1;
    const double l = destination->left(), t = destination->top();
    switch (destination->fitType()) {
        case kFitXYZ:
            if (l >= 0)
                left = l;
            if (t >= 0)
                top = t;
            break;
        case kFitR:
            if (l >= 0)
                left = l;
            if (t >= 0)
                top = t;
            mode = Mode::Rectangle;
            break;
        case kFitWhole:
        case kFitB:
            mode = Mode::Window;
            break;
        case kFitH:
        case kFitBH:
            top = roundToLong(t);
            mode = Mode::Width;
            break;
        case kFitV:
        case kFitBV:
            left = roundToLong(l);
            mode = Mode::Height;
            break;
        default:
            return false;
    }

    const double zoom = destination->zoom();
    view = state_->state();
    if (zoom > 0 && zoom != view.zoom) {
        fire(VistrelEventsDispid::changeZoom, {doubleValue(zoom)});
        view = state_->state();
        view.zoom = zoom;
        state_->setState(view);
        viewChanged_ = true;
    }

    // Fit modes take their point from the page at zoom 1.
    const double keptZoom = state_->state().zoom;
    if (mode != Mode::Position) {
        view = state_->state();
        view.zoom = 1.0;
        state_->setState(view);
    }
    computePageMatrix();
    const double x0 = left > 0 ? left : 0, y0 = top > 0 ? top : 0;
    if (x0 != 0 || y0 != 0) {
        double mx, my;
        transformPoint(pageMatrix_, x0, y0, mx, my);
        left = mx != 0 ? mx : -1;
        top = my != 0 ? my : -1;
    } else if (mode == Mode::Position) {
        // A position at the page's origin: the view keeps its position.
        left = top = -1;
    }
    if (mode != Mode::Position) {
        view = state_->state();
        view.zoom = keptZoom;
        state_->setState(view);
    }

    view = state_->state();
    if (left < 0 && top < 0) {
        left = view.x;
        top = view.y;
        if (mode != Mode::Position) {
            left /= keptZoom;
            top /= keptZoom;
        }
    } else {
        if (left < 0)
            left = 0;
        if (top < 0)
            top = 0;
    }

    switch (mode) {
        case Mode::Window:
            fire(VistrelEventsDispid::fitWindow);
            break;
        case Mode::Width:
            fireLong(VistrelEventsDispid::fitWidth, roundToLong(top));
            break;
        case Mode::Height:
            fireLong(VistrelEventsDispid::fitHeight, roundToLong(left));
            break;
        case Mode::Rectangle:
            fire(VistrelEventsDispid::fitRectangle,
                 {longValue(roundToLong(left)), longValue(roundToLong(top)),
                  longValue(roundToLong(std::fabs(destination->left() - destination->right()))),
                  longValue(roundToLong(std::fabs(destination->bottom() - destination->top())))});
            break;
        case Mode::Position: {
            const std::int32_t x = roundToLong(left), y = roundToLong(top);
            if (x == view.x && y == view.y)
                break;
            if (bitmapHeight_ == 0)
                render();
            view = state_->state();
            view.x = x;
            view.y = y;
            state_->setState(view);
            fire(VistrelEventsDispid::changeOffset, {longValue(x), longValue(y)});
            break;
        }
    }
    return true;
}

}  // namespace vistrel
