// The control object's Palm export: every State node of the host's tree is
// rendered in its device format, converted into a page record with its links
// and annotations and spilled to the page store, then rendered once more at
// the zoom that fits a 160 x 160 screen and spilled as its overview. The
// store then writes the database.
#include <algorithm>

#include "engine/control/document_info.h"
#include "engine/control/vistrel.h"
#include "engine/core/streams.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/export/pdb_page_store.h"
#include "engine/render/content/kept_image_rows.h"

namespace vistrel {

using namespace VISTRELLib;
using win::S_FALSE;
using win::S_OK;

namespace {

// Records a database may hold before the host is asked what to do.
constexpr std::int32_t kRecordLimit = 255;
// The handheld's screen, in pixels each way.
constexpr double kScreenSide = 160.0;
// Renders that may bring an overview down to the screen's size.
constexpr int kOverviewPasses = 4;
// Most bytes of image rows kept for the renders of one page.
constexpr std::size_t kKeptImageBytes = std::size_t{64} << 20;

std::u16string textOf(BSTR text) {
    return text ? std::u16string(text, win::SysStringLen(text)) : std::u16string();
}

}  // namespace

HRESULT Vistrel::writePDB(BSTR filename, ITreeNode* pRoot) {
    // The page bitmap and the store are in use while a render or an export
    // runs (a sink may call back from their events).
    if (rendering_ || exporting_)
        return S_FALSE;
    if (!catalog_ || !catalog_->isLoaded() || !document_ || !pRoot || !pageStore_)
        return S_FALSE;
    // The database never replaces the open document.
    if (stream_ && stream_->isFile(textOf(filename)))
        return S_FALSE;
    std::unique_ptr<PDBPageStore> store = newPageStore();
    if (!store)
        return S_FALSE;
    pageStore_ = std::move(store);
    ITreeNode* raw = nullptr;
    if (get_State(&raw) != S_OK)
        return S_FALSE;
    auto kept = win::ComPtr<ITreeNode>::adopt(raw);

    eventsOn_ = false;
    limitPending_ = true;
    exporting_ = true;
    std::int32_t result = 0;
    {
        // The images of the page the view comes back to are decoded once for
        // the export's renders of that page and the render at its end, which
        // also takes those drawn the same size from the export's.
        KeptImageRows restoredImages(kKeptImageBytes, true), viewImages(kKeptImageBytes);
        restoredImages_ = &restoredImages;
        viewImages_ = &viewImages;
        restoredPage_ = state_->state().page;
        deferText_ = true;
        result = writePdbPages(*pageStore_, pRoot);
        deferText_ = false;
        restoredImages_ = nullptr;
        viewImages_ = nullptr;

        // The view comes back; the switch is still clear, so this fires
        // nothing.
        put_State(kept.get());
        kept.reset();
        KeptImageRows::Scope scope(restoredImages);
        render();
    }
    deleteSpareBitmap();
    eventsOn_ = true;
    exporting_ = false;

    HRESULT hr = S_FALSE;
    if (result == std::int32_t(BigPDBWriteMode::NotWrite)) {
        hr = S_OK;
    } else if (result == std::int32_t(BigPDBWriteMode::Split)) {
        hr = win::E_NOTIMPL;
    } else if (result > 0) {
        hr = pageStore_->write(textOf(filename)) ? S_OK : S_FALSE;
    }
    // A close asked for during the export waits for its end.
    if (closePending_) {
        closeDocument();
    } else {
        pageStore_ = newPageStore();
    }
    return hr;
}

std::int32_t Vistrel::writePdbPages(PDBPageStore& store, ITreeNode* root) {
    return exportPages(store, root, 0);
}

void Vistrel::fireSwitched(void (Vistrel::*event)()) {
    eventsOn_ = true;
    (this->*event)();
    eventsOn_ = false;
}

std::int32_t Vistrel::stopExport(std::int32_t result) {
    fireSwitched(&Vistrel::stopProgressIndicator);
    return result;
}

std::int32_t Vistrel::exportPages(PDBPageStore& store, ITreeNode* root, std::int32_t depth) {
    LONG count = 0;
    if (!root || root->get_kids(&count) != S_OK || count < 1)
        return 0;

    // The document information becomes the database's last record; a
    // document without it gets eight empty texts.
    PdbInfoTexts texts;
    DocInfo info{};
    if (get_info(&info) == S_OK) {
        const BSTR fields[] = {info.title,        info.subject,         info.author,
                               info.keywords,     info.creator,         info.producer,
                               info.creationDate, info.modificationDate};
        for (std::size_t i = 0; i < texts.size(); ++i)
            texts[i] = textOf(fields[i]);
        clearDocInfo(info);
    }
    store.setExtraBlock(texts);

    fireSwitched(&Vistrel::startProgressIndicator);
    for (LONG i = 1; i <= count; ++i) {
        ITreeNode* raw = nullptr;
        if (root->get_kid(i, &raw) == S_OK && raw) {
            auto kid = win::ComPtr<ITreeNode>::adopt(raw);
            const std::int32_t result = exportView(store, *kid.get(), depth);
            if (result != 1)
                return result;
        } else if (raw) {
            raw->Release();
        }
        eventsOn_ = true;
        setProgressIndicator(std::uint16_t(std::int64_t(i) * 100 / count));
        eventsOn_ = false;
    }
    return stopExport(1);
}

std::int32_t Vistrel::exportView(PDBPageStore& store, ITreeNode& kid, std::int32_t depth) {
    // Only State nodes are views; any other kid is passed over with its kids.
    TreeNodeType type = TreeNodeType::TOC;
    DocState view{};
    if (kid.get_type(&type) != S_OK || type != TreeNodeType::State || kid.get_State(&view) != S_OK)
        return 1;
    if (view.PalmFormat == VISTRELLib::PalmFormat::NotPalm)
        view.PalmFormat = VISTRELLib::PalmFormat::Color4;
    if (restoredImages_ && viewImages_) {
        // The overview draws the images the view drew: their rows are
        // decoded once for both.
        KeptImageRows::Scope scope(view.page == restoredPage_ ? *restoredImages_ : *viewImages_);
        const std::int32_t result = exportViewPages(store, view);
        viewImages_->clear();
        if (result != 1)
            return result;
    } else if (const std::int32_t result = exportViewPages(store, view); result != 1) {
        return result;
    }

    // The kid's own kids follow its two records; a tree deeper than a stored
    // one may be is cut there, so a host's cyclic tree cannot recurse without
    // end.
    LONG kids = 0;
    if (depth < kMaxTreeDepth && kid.get_kids(&kids) == S_OK && kids > 0)
        return exportPages(store, &kid, depth + 1);
    return 1;
}

std::int32_t Vistrel::exportViewPages(PDBPageStore& store, const DocState& view) {
    // The view with its links and annotations. The switch is clear while the
    // view is put, so no change events reach the host.
    applyView(view);
    viewChanged_ = true;
    eventsOn_ = true;
    if (render() != S_OK)
        return stopExport(0);
    if (store.spillPage(collectPageLinks(), buildPageAnnotations()) < 0)
        return stopExport(0);
    if (const std::int32_t stop = checkRecordLimit(store, true); stop != 1)
        return stop;

    // Its overview: the same page at the zoom that fits the device's screen.
    // A failed overview is a failed page too, as every link relies on each
    // view being followed by exactly one overview.
    if (bitmapWidth_ < 1 || bitmapHeight_ < 1)
        return stopExport(0);
    DocState overview = state_->state();
    overview.zoom = std::min(overview.zoom * kScreenSide / bitmapWidth_,
                             overview.zoom * kScreenSide / bitmapHeight_);
    state_->setState(overview);
    viewChanged_ = true;
    HRESULT rendered = render();
    // On a page of a few pixels the truncated bitmap makes that zoom too
    // large (a 3.84-point page at zoom 1 is 3 pixels wide, its overview 204):
    // it is brought down until the overview fits the screen.
    for (int pass = 0; pass < kOverviewPasses && rendered == S_OK &&
                       std::max(bitmapWidth_, bitmapHeight_) > kScreenSide;
         ++pass) {
        overview.zoom = overview.zoom * kScreenSide / std::max(bitmapWidth_, bitmapHeight_);
        state_->setState(overview);
        viewChanged_ = true;
        rendered = render();
    }
    eventsOn_ = false;
    if (rendered != S_OK || store.spillPage(nullptr, nullptr) < 0)
        return stopExport(0);
    return checkRecordLimit(store, false);
}

std::int32_t Vistrel::checkRecordLimit(PDBPageStore& store, bool afterView) {
    if (!limitPending_ || store.countRecords() <= kRecordLimit)
        return 1;
    // The host may change the write mode from its handler.
    eventsOn_ = true;
    fire(VistrelEventsDispid::pdbRecordsLimitExceeded);
    limitPending_ = false;
    if (writeMode_ == BigPDBWriteMode::CutOdd) {
        // After a view the page that crossed the limit goes (its overview is
        // not made yet); then whole views with their overviews.
        if (afterView)
            store.removeLastPage();
        while (store.countRecords() > kRecordLimit) {
            store.removeLastPage();
            store.removeLastPage();
        }
    }
    if (writeMode_ != BigPDBWriteMode::Normal) {
        stopProgressIndicator();
        eventsOn_ = false;
        return std::int32_t(writeMode_);
    }
    // After a view the switch stays set for the overview's render.
    eventsOn_ = afterView;
    return 1;
}

}  // namespace vistrel
