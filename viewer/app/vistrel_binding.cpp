#include "viewer/app/vistrel_binding.h"

#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/com/com_client.h"
#include "platform/com/server_module.h"
#include "viewer/app/application.h"
#include "viewer/app/engine_error.h"

namespace brevant {
namespace {

using namespace win;
using namespace VISTRELLib;

// Counts the viewer's own COM objects (the event sinks).
ComModule& hostModule() {
    static ComModule module;
    return module;
}

constexpr HRESULT kBadParamCount = HRESULT(0x8002000Eu);

// A text handed to the engine as a BSTR, freed after the call.
class BstrArg {
public:
    explicit BstrArg(const QString& text)
        : text_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()),
                                  UINT(text.size()))) {}
    ~BstrArg() { SysFreeString(text_); }
    BstrArg(const BstrArg&) = delete;
    BstrArg& operator=(const BstrArg&) = delete;
    operator BSTR() const { return text_; }

private:
    BSTR text_;
};

// A BSTR the engine hands back, freed with this.
class BstrResult {
public:
    BstrResult() = default;
    ~BstrResult() { SysFreeString(text_); }
    BstrResult(const BstrResult&) = delete;
    BstrResult& operator=(const BstrResult&) = delete;
    BSTR* put() { return &text_; }
    QString text() const {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(text_),
                                  qsizetype(SysStringLen(text_)));
    }

private:
    BSTR text_ = nullptr;
};

template <class T>
HRESULT convert(const VARIANT& argument, T& value) {
    constexpr VARTYPE type = std::is_same_v<T, SHORT>  ? VT_I2
                             : std::is_same_v<T, LONG> ? VT_I4
                                                       : VT_R8;
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeType(&converted, &argument, 0, type);
    if (FAILED(hr))
        return hr;
    if constexpr (std::is_same_v<T, SHORT>) {
        value = converted.iVal;
    } else if constexpr (std::is_same_v<T, LONG>) {
        value = converted.lVal;
    } else {
        value = converted.dblVal;
    }
    return S_OK;
}

}  // namespace

// The sink advised on the engine's connection point for its events. It
// outlives its owner only while the engine still holds it; the owner
// detaches it when it disconnects, and later events are ignored.
class TVistrel::EventSink : public IDispatch {
public:
    explicit EventSink(TVistrel* owner) : owner_(owner) {}
    void detach() { owner_ = nullptr; }

    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispatchIdsOfNames(kVistrelEventMembers, iid, names, count, ids);
    }
    HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   UINT*) override {
        if (!owner_)
            return S_OK;
        // Dispatch arguments come last first.
        std::vector<VARIANT> arguments;
        if (params && params->rgvarg) {
            for (UINT i = params->cArgs; i > 0; --i)
                arguments.push_back(params->rgvarg[i - 1]);
        }
        return owner_->InvokeEvent(member, arguments);
    }

    IUnknown* interfaceFor(REFIID iid) {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IVistrelEvents)
            return this;
        return nullptr;
    }

private:
    TVistrel* owner_;
};

TVistrel::TVistrel(QObject* parent) : QObject(parent) {}

TVistrel::~TVistrel() {
    Disconnect();
}

void TVistrel::Connect() {
    if (engine_)
        return;
    void* raw = nullptr;
    checkResult(CoCreateInstance(CLSID_Vistrel, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                 IID_IUnknown, &raw));
    auto object = ComPtr<IUnknown>::adopt(static_cast<IUnknown*>(raw));
    connectEvents(object);
    ComPtr<IVistrel> engine;
    HRESULT hr = object.query(IID_IVistrel, engine);
    if (FAILED(hr)) {
        Disconnect();
        throw EngineError(hr);
    }
    engine_ = engine;
}

// Advises the sink when the object offers the event connection point; an
// object without one is used without events.
void TVistrel::connectEvents(const ComPtr<IUnknown>& object) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (FAILED(object.query(IID_IConnectionPointContainer, container)) ||
        FAILED(container->FindConnectionPoint(DIID__IVistrelEvents, point.put())))
        return;
    auto sink = ComObject<EventSink>::create(hostModule(), this);
    DWORD cookie = 0;
    if (!sink || FAILED(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie))) {
        if (sink)
            sink->detach();
        return;
    }
    eventPoint_ = point;
    eventCookie_ = cookie;
    sink_ = ComPtr<IDispatch>(sink.get());
}

void TVistrel::Disconnect() {
    if (eventPoint_)
        eventPoint_->Unadvise(eventCookie_);
    eventPoint_.reset();
    eventCookie_ = 0;
    if (sink_) {
        static_cast<EventSink*>(sink_.get())->detach();
        sink_.reset();
    }
    engine_.reset();
}

ComPtr<IVistrel> TVistrel::GetDefaultInterface() {
    if (!engine_)
        Connect();
    return engine_;
}

template <class Call>
HRESULT TVistrel::call(Call&& engineCall) {
    ComPtr<IVistrel> engine = GetDefaultInterface();
    // An error kept by an enclosing call stays with that call.
    std::exception_ptr outer = std::exchange(pendingError_, nullptr);
    ++callDepth_;
    HRESULT hr = engineCall(engine.get());
    --callDepth_;
    if (std::exception_ptr mine = std::exchange(pendingError_, outer))
        std::rethrow_exception(mine);
    return hr;
}

void TVistrel::keepError(const std::exception_ptr& error) {
    if (callDepth_ == 0) {
        handleException(error);
    } else if (!pendingError_) {
        pendingError_ = error;
    }
}

HRESULT TVistrel::open(const QString& fileName, const QString& password) {
    return call([&](IVistrel* e) { return e->open(BstrArg(fileName), BstrArg(password)); });
}

HRESULT TVistrel::close() {
    return call([](IVistrel* e) { return e->close(); });
}

ComPtr<ITreeNode> TVistrel::root(const QString& name) {
    ComPtr<ITreeNode> node;
    HRESULT hr = call([&](IVistrel* e) { return e->get_root(BstrArg(name), node.put()); });
    if (FAILED(hr))
        node.reset();
    return node;
}

HRESULT TVistrel::setRoot(const QString& name, ITreeNode* node) {
    return call([&](IVistrel* e) { return e->put_root(BstrArg(name), node); });
}

ComPtr<ITreeNode> TVistrel::State() {
    ComPtr<ITreeNode> node;
    checkResult(call([&](IVistrel* e) { return e->get_State(node.put()); }));
    return node;
}

void TVistrel::setState(ITreeNode* node) {
    checkResult(call([&](IVistrel* e) { return e->put_State(node); }));
}

HRESULT TVistrel::render() {
    return call([](IVistrel* e) { return e->render(); });
}

HRESULT TVistrel::draw(HDC dc, LONG x, LONG y, LONG width, LONG height, LONG offsetX,
                       LONG offsetY) {
    // The device context crosses the interface as its 32-bit handle number.
    return call([&](IVistrel* e) {
        return e->draw(LONG(dc.value), x, y, width, height, offsetX, offsetY);
    });
}

LONG TVistrel::width() {
    LONG value = 0;
    checkResult(call([&](IVistrel* e) { return e->get_width(&value); }));
    return value;
}

LONG TVistrel::height() {
    LONG value = 0;
    checkResult(call([&](IVistrel* e) { return e->get_height(&value); }));
    return value;
}

LONG TVistrel::pages() {
    LONG value = 0;
    checkResult(call([&](IVistrel* e) { return e->get_pages(&value); }));
    return value;
}

void TVistrel::setVisibleRect(LONG width, LONG height) {
    checkResult(call([&](IVistrel* e) { return e->setVisibleRect(width, height); }));
}

QString TVistrel::filename() {
    BstrResult text;
    checkResult(call([&](IVistrel* e) { return e->get_filename(text.put()); }));
    return text.text();
}

HRESULT TVistrel::writePDB(const QString& fileName, ITreeNode* root) {
    return call([&](IVistrel* e) { return e->writePDB(BstrArg(fileName), root); });
}

QString TVistrel::infoInStr() {
    BstrResult text;
    checkResult(call([&](IVistrel* e) { return e->get_infoInStr(text.put()); }));
    return text.text();
}

LONG TVistrel::actualWidth() {
    LONG value = 0;
    checkResult(call([&](IVistrel* e) { return e->get_actualWidth(&value); }));
    return value;
}

LONG TVistrel::actualHeight() {
    LONG value = 0;
    checkResult(call([&](IVistrel* e) { return e->get_actualHeight(&value); }));
    return value;
}

QString TVistrel::securityInfoInStr() {
    BstrResult text;
    checkResult(call([&](IVistrel* e) { return e->get_securityInfoInStr(text.put()); }));
    return text.text();
}

void TVistrel::setWriteMode(BigPDBWriteMode mode) {
    checkResult(call([&](IVistrel* e) { return e->put_writeMode(mode); }));
}

template <class... Args, class Handler>
HRESULT TVistrel::dispatch(const Handler& handler, std::span<const VARIANT> arguments) {
    if (!handler)
        return S_OK;
    if (arguments.size() < sizeof...(Args))
        return kBadParamCount;
    std::tuple<Args...> values;
    HRESULT hr = S_OK;
    size_t next = 0;
    std::apply(
        [&](auto&... value) {
            ((hr = SUCCEEDED(hr) ? convert(arguments[next++], value) : hr), ...);
        },
        values);
    if (FAILED(hr))
        return hr;
    try {
        std::apply([&](auto&... value) { handler(this, value...); }, values);
    } catch (...) {
        keepError(std::current_exception());
    }
    return S_OK;
}

HRESULT TVistrel::InvokeEvent(DISPID id, std::span<const VARIANT> arguments) {
    switch (id) {
        case VistrelEventsDispid::startProgressIndicator:
            return dispatch<>(OnstartProgressIndicator, arguments);
        case VistrelEventsDispid::setProgressIndicator:
            return dispatch<SHORT>(OnsetProgressIndicator, arguments);
        case VistrelEventsDispid::stopProgressIndicator:
            return dispatch<>(OnstopProgressIndicator, arguments);
        case VistrelEventsDispid::changePage:
            return dispatch<LONG>(OnchangePage, arguments);
        case VistrelEventsDispid::changeOffset:
            return dispatch<LONG, LONG>(OnchangeOffset, arguments);
        case VistrelEventsDispid::changeZoom:
            return dispatch<double>(OnchangeZoom, arguments);
        case VistrelEventsDispid::fitWindow:
            return dispatch<>(OnfitWindow, arguments);
        case VistrelEventsDispid::fitWidth:
            return dispatch<LONG>(OnfitWidth, arguments);
        case VistrelEventsDispid::fitHeight:
            return dispatch<LONG>(OnfitHeight, arguments);
        case VistrelEventsDispid::fitRectangle:
            return dispatch<LONG, LONG, LONG, LONG>(OnfitRectangle, arguments);
        case VistrelEventsDispid::pdbRecordsLimitExceeded:
            return dispatch<>(OnpdbRecordsLimitExceeded, arguments);
    }
    return S_OK;
}

QString nodeStateText(ITreeNode* node) {
    BstrResult text;
    checkResult(node->get_stateInStr(text.put()));
    return text.text();
}

void setNodeStateText(ITreeNode* node, const QString& text) {
    checkResult(node->put_stateInStr(BstrArg(text)));
}

QString nodeLinkText(ITreeNode* node) {
    BstrResult text;
    checkResult(node->get_linkInStr(text.put()));
    return text.text();
}

QString nodeAnnotationText(ITreeNode* node) {
    BstrResult text;
    checkResult(node->get_annotationInStr(text.put()));
    return text.text();
}

QString nodeFontInfoText(ITreeNode* node) {
    BstrResult text;
    checkResult(node->get_fontInfoInStr(text.put()));
    return text.text();
}

LONG nodeKids(ITreeNode* node) {
    LONG count = 0;
    checkResult(node->get_kids(&count));
    return count;
}

ComPtr<ITreeNode> nodeKid(ITreeNode* node, LONG index) {
    ComPtr<ITreeNode> kid;
    if (node->get_kid(index, kid.put()) != S_OK)
        kid.reset();
    return kid;
}

QString nodeName(ITreeNode* node) {
    BstrResult text;
    checkResult(node->get_name(text.put()));
    return text.text();
}

void setNodeName(ITreeNode* node, const QString& name) {
    checkResult(node->put_name(BstrArg(name)));
}

void nodeAddKid(ITreeNode* node, ITreeNode* kid) {
    checkResult(node->addKid(kid));
}

void nodeRemoveKids(ITreeNode* node) {
    checkResult(node->removeKids());
}

}  // namespace brevant
