// The control object: construction, the document (open, close), the small
// accessors, events and the late-bound interface.
#include "engine/control/vistrel.h"

#include <new>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/control/engine_startup.h"
#include "engine/control/held_destinations.h"
#include "engine/control/presets.h"
#include "engine/core/settings_store.h"
#include "engine/core/streams.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/export/pdb_page_store.h"
#include "engine/font/font_registry.h"
#include "engine/font/fonts_folder.h"
#include "engine/parser/pdf_document.h"

namespace vistrel {

using namespace VISTRELLib;
using win::S_FALSE;
using win::S_OK;

namespace {

constexpr std::size_t kFileBufferSize = 4096;

std::u16string textOf(BSTR text) {
    return text ? std::u16string(text, win::SysStringLen(text)) : std::u16string();
}

// The folder of the library file holding the engine, and "fonts/" in it.
std::u16string libraryFontFolder() {
    return std::u16string(engineFontsFolder().view());
}

// The database name of a document file: the name after the last folder
// separator ("/" or "\"), cut before its last ".".
std::u16string databaseName(const std::u16string& fileName) {
    const std::size_t slash = fileName.find_last_of(u"/\\");
    std::u16string name = slash == std::u16string::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = name.find_last_of(u'.');
    if (dot != std::u16string::npos)
        name.resize(dot);
    return name;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life

Vistrel::Vistrel()
    : events_(*static_cast<win::IConnectionPointContainer*>(this), DIID__IVistrelEvents),
      state_(TreeNode::create()),
      fontFolder_(libraryFontFolder()) {
    startEngine(WString(fontFolder_.c_str(), std::int32_t(fontFolder_.size())));
    if (state_) {
        const DocState& view = state_->state();
        applyPresets(view.memoryUsage, view.quality);
    }
    settingsStore().set(settings::Functionality, settings::EnableSearch,
                        SettingValue::ofBoolean(true));
}

Vistrel::~Vistrel() {
    state_.reset();
    if (memoryDc_) {
        if (pageBitmap_) {
            win::SelectObject(memoryDc_, previousBitmap_);
            win::DeleteObject(pageBitmap_);
        }
        deleteSpareBitmap();
        win::DeleteDC(memoryDc_);
    }
    rendering_ = false;
    close();
}

void Vistrel::applyPresets(std::int32_t memoryUsage, std::int32_t quality) {
    const DocState& view = state_->state();
    applyMemoryPreset(memoryUsage, view.quality, view.memoryUsage);
    applyQualityPreset(quality);
}

win::IUnknown* Vistrel::interfaceFor(win::REFIID iid) {
    if (!state_)
        return nullptr;
    if (iid == win::IID_IUnknown || iid == win::IID_IDispatch || iid == IID_IVistrel)
        return static_cast<IVistrel*>(this);
    if (iid == win::IID_IConnectionPointContainer)
        return static_cast<win::IConnectionPointContainer*>(this);
    return nullptr;
}

HRESULT Vistrel::EnumConnectionPoints(win::IEnumConnectionPoints** points) {
    if (points)
        *points = nullptr;
    return win::E_NOTIMPL;
}

HRESULT Vistrel::FindConnectionPoint(win::REFIID iid, win::IConnectionPoint** point) {
    return events_.find(iid, point);
}

// ---------------------------------------------------------------------------
// Events

void Vistrel::fire(win::DISPID event, std::initializer_list<win::VARIANT> arguments) {
    if (!eventsOn_)
        return;
    // Dispatch arguments travel last first.
    win::VARIANT reversed[4];
    win::UINT count = 0;
    for (auto it = arguments.end(); it != arguments.begin() && count < 4;)
        reversed[count++] = *--it;
    events_.fire(event, count ? reversed : nullptr, count);
}

void Vistrel::fireLong(win::DISPID event, LONG value) {
    win::VARIANT v{};
    v.vt = win::VT_I4;
    v.lVal = value;
    fire(event, {v});
}

void Vistrel::startProgressIndicator() {
    fire(VistrelEventsDispid::startProgressIndicator);
}

void Vistrel::stopProgressIndicator() {
    fire(VistrelEventsDispid::stopProgressIndicator);
}

void Vistrel::setProgressIndicator(std::uint16_t percentage) {
    win::VARIANT v{};
    v.vt = win::VT_I2;
    v.iVal = win::SHORT(percentage);
    fire(VistrelEventsDispid::setProgressIndicator, {v});
}

// ---------------------------------------------------------------------------
// The document

HRESULT Vistrel::open(BSTR filename, BSTR password) {
    if (rendering_ || exporting_)
        return S_FALSE;
    if (document_)
        close();
    const std::u16string name = textOf(filename);
    std::unique_ptr<FileInputStream> stream(new (std::nothrow)
                                                FileInputStream(name, kFileBufferSize));
    if (!stream)
        return S_FALSE;
    std::unique_ptr<PdfDocument> document(new (std::nothrow) PdfDocument(stream.get(), true));
    if (!document)
        return S_FALSE;
    PdfTrailer* trailer = document->trailer();
    if (trailer && asDict(trailer->get(names::Encrypt))) {
        const std::u16string given = textOf(password);
        const WString text(given.data(), int32_t(given.size()));
        if (!document->setupSecurity(&text)) {
            // Only a password that does not open the file is refused as such;
            // an encryption this reader does not know is a file it cannot read.
            return document->securityStatus() == SecurityStatus::kWrongPassword
                       ? win::E_ACCESSDENIED
                       : S_FALSE;
        }
    }
    if (!document->isValid() || !trailer)
        return S_FALSE;
    Ref<PdfDict> info;
    if (PdfRef* infoRef = getTrailerInfo(trailer))
        info = Ref<PdfDict>::share(asDict(infoRef));
    auto catalog = std::make_unique<PdfCatalog>(document.get());
    if (!catalog || !catalog->isLoaded())
        return S_FALSE;
    std::unique_ptr<PDBPageStore> store(new (std::nothrow) PDBPageStore(databaseName(name)));
    if (!store)
        return S_FALSE;

    stream_ = std::move(stream);
    document_ = std::move(document);
    info_ = std::move(info);
    catalog_ = std::move(catalog);
    pageStore_ = std::move(store);
    fileName_ = name;

    eventsOn_ = true;
    viewChanged_ = true;
    // A fresh view; the State node keeps its name.
    DocState view = state_->state();
    view.page = 1;
    view.zoom = 1.0;
    view.PalmFormat = VISTRELLib::PalmFormat::NotPalm;
    view.quality = 4;
    view.memoryUsage = 4;
    state_->setState(view);
    applyPresets(4, 4);
    view.x = 0;
    view.y = 0;
    state_->setState(view);
    return S_OK;
}

HRESULT Vistrel::close() {
    if (rendering_ || exporting_) {
        closePending_ = true;
        return S_OK;
    }
    closeDocument();
    return S_OK;
}

void Vistrel::closeDocument() {
    closePending_ = false;
    pageStore_.reset();
    info_ = nullptr;
    // Destinations that outline nodes hold into the document go with it, so
    // that a node kept longer names nothing instead of a freed document.
    if (document_) {
        const PdfDocument* closing = document_.get();
        heldDestinations().dropIf([closing](PdfObject* held) {
            if (held && held->kind() == kKindArray && static_cast<PdfArray*>(held)->count() > 0)
                held = static_cast<PdfArray*>(held)->at(0);
            return held && held->kind() == kKindRef &&
                   static_cast<PdfRef*>(held)->document() == closing;
        });
    }
    // The catalog lets go of the document's object graph while the document
    // is there; with its pages go the captured words, which held their
    // fonts until now. Then every font only the registry still holds goes,
    // the closed document's among them, while the objects their
    // descriptions hold can still reach their document. The document goes
    // before the stream it reads.
    catalog_.reset();
    if (FontRegistry* registry = fontRegistry())
        registry->purge(-1);
    document_.reset();
    stream_.reset();
    fileName_.clear();
}

std::unique_ptr<PDBPageStore> Vistrel::newPageStore() const {
    return std::unique_ptr<PDBPageStore>(new (std::nothrow) PDBPageStore(databaseName(fileName_)));
}

HRESULT Vistrel::get_pages(LONG* pVal) {
    if (!pVal)
        return win::E_POINTER;
    *pVal = catalog_ ? catalog_->getPageCount() : 0;
    return S_OK;
}

HRESULT Vistrel::get_filename(BSTR* pVal) {
    return pVal ? newText(fileName_, pVal) : win::E_POINTER;
}

HRESULT Vistrel::get_writeMode(BigPDBWriteMode* pVal) {
    if (!pVal)
        return win::E_POINTER;
    *pVal = writeMode_;
    return S_OK;
}

HRESULT Vistrel::put_writeMode(BigPDBWriteMode newVal) {
    writeMode_ = newVal;
    return S_OK;
}

// ---------------------------------------------------------------------------
// IDispatch

HRESULT Vistrel::GetTypeInfoCount(win::UINT* count) {
    return noTypeInfoCount(count);
}

HRESULT Vistrel::GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo** info) {
    return noTypeInfo(info);
}

HRESULT Vistrel::GetIDsOfNames(win::REFIID iid, win::LPOLESTR* names, win::UINT count, win::LCID,
                               win::DISPID* ids) {
    return dispatchIdsOfNames(kVistrelMembers, iid, names, count, ids);
}

HRESULT Vistrel::Invoke(win::DISPID member, win::REFIID iid, win::LCID, win::WORD flags,
                        win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO*,
                        win::UINT* argumentError) {
    if (iid != win::IID_NULL)
        return win::DISP_E_UNKNOWNINTERFACE;
    using Kind = DispatchCall::Kind;
    const DispatchCall call(flags, params, result, argumentError);

    auto getLong = [&](auto getter) { return call.getLong(getter); };
    auto getBytes = [&](auto getter) {
        if (HRESULT bad = call.expect(Kind::PropertyGet, 0); bad != S_OK)
            return bad;
        win::VARIANT value{};
        HRESULT hr = getter(&value);
        if (hr == S_OK)
            call.returnVariant(value);
        return hr;
    };
    // Method arguments: texts and numbers by position.
    auto strings = [&](win::UINT n, BSTR* out) {
        for (win::UINT i = 0; i < n; ++i) {
            if (HRESULT bad = call.stringArgument(i, &out[i]); bad != S_OK)
                return bad;
        }
        return S_OK;
    };
    auto longs = [&](win::UINT n, LONG* out) {
        for (win::UINT i = 0; i < n; ++i) {
            if (HRESULT bad = call.longArgument(i, &out[i]); bad != S_OK)
                return bad;
        }
        return S_OK;
    };

    switch (member) {
        case VistrelDispid::open: {
            BSTR args[2] = {};
            if (HRESULT bad = call.expect(Kind::Method, 2); bad != S_OK)
                return bad;
            if (HRESULT bad = strings(2, args); bad != S_OK)
                return bad;
            return open(args[0], args[1]);
        }
        case VistrelDispid::close:
            if (HRESULT bad = call.expect(Kind::Method, 0); bad != S_OK)
                return bad;
            return close();
        case VistrelDispid::State: {
            if (call.isPut()) {
                if (HRESULT bad = call.expect(Kind::PropertyPut, 1); bad != S_OK)
                    return bad;
                void* raw = nullptr;
                if (HRESULT bad =
                        call.interfaceArgument(call.valuePosition(), IID_ITreeNode, &raw);
                    bad != S_OK)
                    return bad;
                auto node = win::ComPtr<ITreeNode>::adopt(static_cast<ITreeNode*>(raw));
                return put_State(node.get());
            }
            if (HRESULT bad = call.expect(Kind::PropertyGet, 0); bad != S_OK)
                return bad;
            ITreeNode* node = nullptr;
            HRESULT hr = get_State(&node);
            call.returnDispatch(node);
            return hr;
        }
        case VistrelDispid::render:
            if (HRESULT bad = call.expect(Kind::Method, 0); bad != S_OK)
                return bad;
            return render();
        case VistrelDispid::draw: {
            LONG args[7] = {};
            if (HRESULT bad = call.expect(Kind::Method, 7); bad != S_OK)
                return bad;
            if (HRESULT bad = longs(7, args); bad != S_OK)
                return bad;
            return draw(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
        }
        case VistrelDispid::width:
            return getLong([&](LONG* v) { return get_width(v); });
        case VistrelDispid::height:
            return getLong([&](LONG* v) { return get_height(v); });
        case VistrelDispid::pages:
            return getLong([&](LONG* v) { return get_pages(v); });
        case VistrelDispid::actualWidth:
            return getLong([&](LONG* v) { return get_actualWidth(v); });
        case VistrelDispid::actualHeight:
            return getLong([&](LONG* v) { return get_actualHeight(v); });
        case VistrelDispid::setVisibleRect:
        case VistrelDispid::mouseClick: {
            LONG args[2] = {};
            if (HRESULT bad = call.expect(Kind::Method, 2); bad != S_OK)
                return bad;
            if (HRESULT bad = longs(2, args); bad != S_OK)
                return bad;
            return member == VistrelDispid::setVisibleRect ? setVisibleRect(args[0], args[1])
                                                           : mouseClick(args[0], args[1]);
        }
        case VistrelDispid::filename:
            return call.getText([&](BSTR* t) { return get_filename(t); });
        case VistrelDispid::writeJPG: {
            BSTR name = nullptr;
            if (HRESULT bad = call.expect(Kind::Method, 1); bad != S_OK)
                return bad;
            if (HRESULT bad = strings(1, &name); bad != S_OK)
                return bad;
            return writeJPG(name);
        }
        case VistrelDispid::JPG:
            return getBytes([&](win::VARIANT* v) { return get_JPG(v); });
        case VistrelDispid::PNG:
            return getBytes([&](win::VARIANT* v) { return get_PNG(v); });
        case VistrelDispid::writeMode:
            if (call.isPut()) {
                if (HRESULT bad = call.expect(Kind::PropertyPut, 1); bad != S_OK)
                    return bad;
                LONG mode = 0;
                if (HRESULT bad = call.longArgument(call.valuePosition(), &mode); bad != S_OK)
                    return bad;
                return put_writeMode(BigPDBWriteMode(mode));
            }
            return getLong([&](LONG* v) {
                BigPDBWriteMode mode{};
                HRESULT hr = get_writeMode(&mode);
                *v = LONG(mode);
                return hr;
            });
        case VistrelDispid::writePDB: {
            if (HRESULT bad = call.expect(Kind::Method, 2); bad != S_OK)
                return bad;
            BSTR name = nullptr;
            if (HRESULT bad = strings(1, &name); bad != S_OK)
                return bad;
            void* raw = nullptr;
            if (HRESULT bad = call.interfaceArgument(1, IID_ITreeNode, &raw); bad != S_OK)
                return bad;
            auto node = win::ComPtr<ITreeNode>::adopt(static_cast<ITreeNode*>(raw));
            return writePDB(name, node.get());
        }
        case VistrelDispid::root: {
            BSTR name = nullptr;
            if (call.isPut()) {
                if (HRESULT bad = call.expect(Kind::PropertyPut, 2); bad != S_OK)
                    return bad;
                if (HRESULT bad = strings(1, &name); bad != S_OK)
                    return bad;
                void* raw = nullptr;
                if (HRESULT bad = call.interfaceArgument(1, IID_ITreeNode, &raw); bad != S_OK)
                    return bad;
                auto node = win::ComPtr<ITreeNode>::adopt(static_cast<ITreeNode*>(raw));
                return put_root(name, node.get());
            }
            if (HRESULT bad = call.expect(Kind::PropertyGet, 1); bad != S_OK)
                return bad;
            if (HRESULT bad = strings(1, &name); bad != S_OK)
                return bad;
            ITreeNode* node = nullptr;
            HRESULT hr = get_root(name, &node);
            call.returnDispatch(node);
            return hr;
        }
        case VistrelDispid::infoInStr:
            return call.getText([&](BSTR* t) { return get_infoInStr(t); });
        case VistrelDispid::securityInfoInStr:
            return call.getText([&](BSTR* t) { return get_securityInfoInStr(t); });
        case VistrelDispid::info:
        case VistrelDispid::SecurityInfo:
            return win::E_NOTIMPL;
        default:
            return win::DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace vistrel
