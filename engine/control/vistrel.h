// Vistrel: the engine's one automation object (coclass Vistrel, dual
// interface IVistrel, events through the connection point of
// _IVistrelEvents). It owns the open document and what is derived from it
// (catalog, Palm page store, the off-screen page bitmap and its page
// matrix), keeps the current view as a State node, turns the view's quality
// and memory levels into engine settings, and reports progress and view
// changes to its host as events.
//
// Everything runs on the host's one thread; events are fired synchronously
// from inside the call that causes them, so a sink may call back. Calls that
// would pull the document or the bitmap from under a running render are
// refused (render, open, writePDB) or put off until the render ends (close).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/control/tree_node.h"
#include "engine/core/ref.h"
#include "engine/export/pdb_page_store.h"
#include "engine/object/pdf_object.h"
#include "engine/render/content/progress_sink.h"
#include "platform/com/connection_point.h"
#include "platform/gdi/gdi.h"
#include "typelib/vistrel_typelib.h"

namespace vistrel {

class FileInputStream;
class KeptImageRows;
class PDBPageStore;
class PdfCatalog;
class PdfDocument;
class PdfPage;

class Vistrel : public ProgressSink,
                public win::IConnectionPointContainer,
                public VISTRELLib::IVistrel {
public:
    using BSTR = VISTRELLib::BSTR;
    using HRESULT = win::HRESULT;
    using LONG = win::LONG;
    using ITreeNode = VISTRELLib::ITreeNode;

    // --- IVistrel: the document.
    // S_OK; S_FALSE when the file is no readable document (also for an
    // encryption this reader does not know) or its catalog does not load;
    // E_ACCESSDENIED when the password does not open an encrypted file.
    HRESULT open(BSTR filename, BSTR password) override;
    HRESULT close() override;
    HRESULT get_pages(LONG* pVal) override;
    HRESULT get_filename(BSTR* pVal) override;
    HRESULT get_writeMode(VISTRELLib::BigPDBWriteMode* pVal) override;
    HRESULT put_writeMode(VISTRELLib::BigPDBWriteMode newVal) override;

    // --- The view, rendering and drawing.
    HRESULT get_State(ITreeNode** pVal) override;
    HRESULT put_State(ITreeNode* pVal) override;
    HRESULT render() override;
    HRESULT draw(LONG hdc, LONG x, LONG y, LONG width, LONG height, LONG offsetX,
                 LONG offsetY) override;
    HRESULT get_width(LONG* pVal) override;
    HRESULT get_height(LONG* pVal) override;
    HRESULT get_actualWidth(LONG* pVal) override;
    HRESULT get_actualHeight(LONG* pVal) override;
    HRESULT setVisibleRect(LONG width, LONG height) override;
    HRESULT mouseClick(LONG x, LONG y) override;

    // --- Image output of the page last rendered.
    HRESULT writeJPG(BSTR filename) override;
    HRESULT get_JPG(win::VARIANT* pVal) override;
    HRESULT get_PNG(win::VARIANT* pVal) override;

    // --- The document trees. get: "TOC", "LINKS", "ANNOTATIONS", "FONTINFO"
    // and "TEXT" are built afresh (S_FALSE, null, when the tree would have
    // no kid), any other name reads a tree stored with put (S_FALSE, null,
    // when there is none); S_FALSE with the result untouched when no
    // document is open. The host owns the root. A null name is the empty
    // one. put stores a copy of the tree into the open file at once:
    // E_ACCESSDENIED for the four built-in names that are read-only,
    // E_NOTIMPL for "ANNOTATIONS", S_FALSE for a null node, an empty name,
    // no document, a failed write, or while a render runs.
    HRESULT get_root(BSTR name, ITreeNode** pVal) override;
    HRESULT put_root(BSTR name, ITreeNode* pVal) override;

    // --- The Palm export: every State node under pRoot becomes two page
    // records of a Palm database, its view and its 160 x 160 overview (kids
    // follow their parent). The view is kept and restored. S_OK when the
    // file was written, or with writeMode NotWrite at the record limit;
    // E_NOTIMPL for Split at the limit; S_FALSE for no document, no root, a
    // root without kids, a page that cannot be rendered, converted or
    // spilled, a file that cannot be written, a write mode of 0 or below,
    // and while a render or another export runs.
    HRESULT writePDB(BSTR filename, ITreeNode* pRoot) override;

    // --- Document and security information. info: S_FALSE, record
    // untouched, without a document, its /Info or a record. SecurityInfo:
    // E_POINTER for a null record, S_FALSE without a document. The text
    // forms: E_POINTER for a null slot; infoInStr puts a new text into the
    // slot, securityInfoInStr replaces (frees) the slot's text.
    HRESULT get_info(VISTRELLib::DocInfo* pVal) override;
    HRESULT get_infoInStr(BSTR* pVal) override;
    HRESULT get_SecurityInfo(VISTRELLib::SecurityInfo* pVal) override;
    HRESULT get_securityInfoInStr(BSTR* pVal) override;

    // --- IDispatch, over the type library's member table. Members whose
    // arguments are records answer E_NOTIMPL.
    HRESULT GetTypeInfoCount(win::UINT* count) override;
    HRESULT GetTypeInfo(win::UINT index, win::LCID locale, win::ITypeInfo** info) override;
    HRESULT GetIDsOfNames(win::REFIID iid, win::LPOLESTR* names, win::UINT count, win::LCID locale,
                          win::DISPID* ids) override;
    HRESULT Invoke(win::DISPID member, win::REFIID iid, win::LCID locale, win::WORD flags,
                   win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                   win::UINT* argumentError) override;

    // --- IConnectionPointContainer: the one point, for _IVistrelEvents.
    HRESULT EnumConnectionPoints(win::IEnumConnectionPoints** points) override;
    HRESULT FindConnectionPoint(win::REFIID iid, win::IConnectionPoint** point) override;

    // None when the object could not be set up (its State node could not be
    // made), so that creating it fails.
    win::IUnknown* interfaceFor(win::REFIID iid);

    // --- ProgressSink: events 1, 3 and 2.
    void startProgressIndicator() override;
    void stopProgressIndicator() override;
    void setProgressIndicator(std::uint16_t percentage) override;

    // --- The engine's side.

    // Jumps to a destination (an explicit array, a name or a string of the
    // open document): changes the State and fires the events of its kind.
    // False when there is no document or the object is no destination of it.
    bool goToDestination(PdfObject* destination);
    // Page space to bitmap pixels for the State's page and zoom; left as it
    // is when the page or its box cannot be had.
    void computePageMatrix();

    // The record lists of the State's page that the Palm export takes over
    // (the "LINKS" and "ANNOTATIONS" trees read the same), each in /Annots
    // order; null when no entry qualifies, the page has no /Annots array or
    // no document is open.
    //
    // collectPageLinks: the Link annotations whose destination (the /D of a
    // GoTo /A, else /Dest) names a page of the document: the /Rect corners
    // through the page matrix, recomputed for the State first (x, y from the
    // first corner, x1, y1 from the second, not ordered), toPage its 1-based
    // number, toX, toY the left and top of an XYZ destination through the
    // same matrix (0 for other kinds and unset values).
    std::unique_ptr<PdbLinkList> collectPageLinks();
    // buildPageAnnotations: the Text annotations up to the first without a
    // /Rect: the box of the /Rect numbers truncated to integers through the
    // page matrix as it stands (the last render's or collectPageLinks'),
    // with the /T and /Contents texts (empty when absent).
    std::unique_ptr<PdbAnnotationList> buildPageAnnotations();

    // The export's page loop over the kids of root (see writePDB): 1 when
    // every kid was exported, 0 when root has no kids or a page could not be
    // rendered, converted or spilled, otherwise the write mode that ended it
    // at the record limit. Kids that are not State nodes are skipped; a kid's
    // own kids follow its two records, and their loop's result ends this one
    // unless it is 1.
    std::int32_t writePdbPages(PDBPageStore& store, ITreeNode* root);

    TreeNode& stateNode() const { return *state_.get(); }
    const Matrix& pageMatrix() const { return pageMatrix_; }
    bool viewChanged() const { return viewChanged_; }
    bool eventsOn() const { return eventsOn_; }
    const std::u16string& fontFolder() const { return fontFolder_; }
    PDBPageStore* pageStore() const { return pageStore_.get(); }
    PdfCatalog* catalog() const { return catalog_.get(); }
    PdfDict* infoDictionary() const { return info_.get(); }
    win::HDC memoryDc() const { return memoryDc_; }

protected:
    Vistrel();
    ~Vistrel() override;

private:
    // Fires an event to every advised sink while the switch is on; the
    // arguments are given first to last.
    void fire(win::DISPID event, std::initializer_list<win::VARIANT> arguments = {});
    void fireLong(win::DISPID event, LONG value);

    // Stores a new view record, firing the events of what changed and
    // applying the presets of changed levels.
    void applyView(const VISTRELLib::DocState& view);
    void applyPresets(std::int32_t memoryUsage, std::int32_t quality);

    // The page's width or height in points after rotation.
    HRESULT actualSize(LONG* pVal, bool width) const;
    // The State's page object, or null.
    Ref<PdfPage> statePage() const;
    // Makes (or reuses, at the same size) the page bitmap and clears it to
    // white; false, with no page bitmap left, when it cannot be made.
    bool createPageBitmap(std::int32_t width, std::int32_t height);
    void deleteSpareBitmap();
    // Converts the rendered page bitmap to a device format through the page
    // store.
    void convertPageBitmap(std::int32_t width, std::int32_t height, std::int32_t page, double zoom,
                           std::uint16_t format);
    // Collects the words of a page again once they were dropped for those of
    // the pages rendered since (PdfPage::textLinesDropped): the page drawn
    // once more as its last render drew it, with the same page matrix on a
    // device of the same size, onto a scratch bitmap that is thrown away.
    // The glyphs a font draws decide where its next words stand, so the
    // drawing is what gives the same words. Nothing while a render runs (it
    // holds the fonts).
    void recaptureText(PdfPage& page);
    bool hasPageBitmap() const { return bool(pageBitmap_); }
    // Hands each row of the page bitmap, top first, as red, green, blue bytes
    // to `row`, stopping at the first row it refuses; false when the pixels
    // cannot be read or a row was refused.
    bool forEachPageRow(const std::function<bool(const std::uint8_t*)>& row) const;
    // The page as JPEG or PNG bytes in a new byte array.
    HRESULT encodePage(win::VARIANT* pVal, bool png) const;
    void closeDocument();
    // A page store named after the open document, or null.
    std::unique_ptr<PDBPageStore> newPageStore() const;

    // The export's steps (vistrel_export.cpp). A result of 1 goes on;
    // anything else ends the page loop with that result.
    std::int32_t exportPages(PDBPageStore& store, ITreeNode* root, std::int32_t depth);
    std::int32_t exportView(PDBPageStore& store, ITreeNode& kid, std::int32_t depth);
    // The view's page and its overview, rendered and spilled.
    std::int32_t exportViewPages(PDBPageStore& store, const VISTRELLib::DocState& view);
    std::int32_t checkRecordLimit(PDBPageStore& store, bool afterView);
    std::int32_t stopExport(std::int32_t result);
    void fireSwitched(void (Vistrel::*event)());

    win::ConnectionPoint events_;
    win::ComPtr<TreeNode> state_;

    std::unique_ptr<PDBPageStore> pageStore_;
    std::unique_ptr<FileInputStream> stream_;
    std::unique_ptr<PdfDocument> document_;
    Ref<PdfDict> info_;
    std::unique_ptr<PdfCatalog> catalog_;

    std::int32_t bitmapWidth_ = 0;
    std::int32_t bitmapHeight_ = 0;
    win::HDC memoryDc_;
    win::HBITMAP pageBitmap_;
    win::HGDIOBJ previousBitmap_;
    // While an export runs, the page bitmap of the size before the last
    // change: a view and its overview take turns without making new ones.
    win::HBITMAP spareBitmap_;
    std::int32_t spareWidth_ = 0;
    std::int32_t spareHeight_ = 0;

    std::int32_t visibleWidth_ = 0;
    std::int32_t visibleHeight_ = 0;
    std::u16string fileName_;
    std::u16string fontFolder_;
    Matrix pageMatrix_;
    VISTRELLib::BigPDBWriteMode writeMode_ = VISTRELLib::BigPDBWriteMode::CutOdd;
    // The record limit is still to be announced in the running export.
    bool limitPending_ = true;
    bool viewChanged_ = true;
    bool eventsOn_ = false;
    // A render or an export is running; a close asked for meanwhile waits
    // for its end.
    bool rendering_ = false;
    bool exporting_ = false;
    // The words of the export's own renders are collected only when asked
    // for: the export reads none of them.
    bool deferText_ = false;
    // While an export runs: where the images of the page its end comes back
    // to are kept, and that page; where those of the other views are kept
    // from their render to their overview's.
    KeptImageRows* restoredImages_ = nullptr;
    KeptImageRows* viewImages_ = nullptr;
    std::int32_t restoredPage_ = 0;
    bool closePending_ = false;
};

}  // namespace vistrel
