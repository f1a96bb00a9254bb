// The connection point an object offers for one outgoing (event) interface.
// It lives inside its container object and shares that object's reference
// count. Advise takes the sink's interface for the event id and answers a
// cookie (the slot's number); Unadvise empties the slot, and a later Advise
// may reuse it.
#pragma once

#include <vector>

#include "platform/com/com_ptr.h"

namespace win {

class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& container, REFIID events)
        : container_(container), events_(events) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    ~ConnectionPoint() = default;  // releases every sink still advised

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return container_.AddRef(); }
    ULONG Release() override { return container_.Release(); }

    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    // CONNECT_E_CANNOTCONNECT when the sink does not answer the event id.
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    // CONNECT_E_NOCONNECTION for a cookie that names no advised sink.
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** connections) override;  // E_NOTIMPL

    // The container's FindConnectionPoint for this point's event id.
    HRESULT find(REFIID iid, IConnectionPoint** point);

    // Fires an event: every advised sink, in slot order, gets Invoke with the
    // event's id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD and the
    // arguments (last first, no named ones, no result). A reference to the
    // sink is held during its call, so a sink may unadvise itself or another
    // sink, advise a new one or call back into the object meanwhile; a slot
    // emptied before its turn is skipped. Invoke results are ignored. The
    // arguments are cleared after the last sink.
    void fire(DISPID member, VARIANTARG* argumentsLastFirst = nullptr, UINT count = 0);

    // Sinks advised now.
    size_t connectionCount() const;

private:
    IConnectionPointContainer& container_;
    IID events_;
    std::vector<ComPtr<IDispatch>> sinks_;
};

}  // namespace win
