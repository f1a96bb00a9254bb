#include "platform/com/connection_point.h"

#include <algorithm>

namespace win {

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = events_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    container_.AddRef();
    *container = &container_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    void* raw = nullptr;
    if (FAILED(sink->QueryInterface(events_, &raw)) || !raw)
        return CONNECT_E_CANNOTCONNECT;
    auto dispatch = ComPtr<IDispatch>::adopt(static_cast<IDispatch*>(raw));
    auto slot = std::find(sinks_.begin(), sinks_.end(), ComPtr<IDispatch>());
    if (slot == sinks_.end()) {
        if (sinks_.size() >= 0xFFFFFFFEu)
            return CONNECT_E_CANNOTCONNECT;
        slot = sinks_.insert(sinks_.end(), std::move(dispatch));
    } else {
        *slot = std::move(dispatch);
    }
    *cookie = DWORD(slot - sinks_.begin()) + 1;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1])
        return CONNECT_E_NOCONNECTION;
    // The slot is empty before the sink's last reference goes.
    ComPtr<IDispatch> gone = std::move(sinks_[cookie - 1]);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections)
        *connections = nullptr;
    return E_NOTIMPL;
}

HRESULT ConnectionPoint::find(REFIID iid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    if (iid != events_) {
        *point = nullptr;
        return CONNECT_E_NOCONNECTION;
    }
    AddRef();
    *point = this;
    return S_OK;
}

void ConnectionPoint::fire(DISPID member, VARIANTARG* argumentsLastFirst, UINT count) {
    DISPPARAMS params{argumentsLastFirst, nullptr, count, 0};
    // The list may change during a call: index it afresh each time.
    for (size_t i = 0; i < sinks_.size(); ++i) {
        ComPtr<IDispatch> sink = sinks_[i];
        if (!sink)
            continue;
        sink->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                     nullptr, nullptr);
    }
    for (UINT i = 0; i < count; ++i)
        VariantClear(&argumentsLastFirst[i]);
}

size_t ConnectionPoint::connectionCount() const {
    return size_t(std::count_if(sinks_.begin(), sinks_.end(), [](auto& s) { return bool(s); }));
}

}  // namespace win
