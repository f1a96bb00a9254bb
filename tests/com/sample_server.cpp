// The sample class library: its class, module object and exports.
#include "platform/com/connection_point.h"
#include "platform/com/server_module.h"
#include "tests/com/sample_class.h"

namespace sample {
namespace {

using namespace win;

class Sample : public ISample, public IConnectionPointContainer {
public:
    HRESULT fire(LONG member, LONG x, LONG y) override {
        VARIANT arguments[2];
        arguments[0].vt = VT_I4;
        arguments[0].lVal = y;
        arguments[1].vt = VT_I4;
        arguments[1].lVal = x;
        events_.fire(member, arguments, 2);
        return S_OK;
    }
    HRESULT get_value(LONG* value) override {
        if (!value)
            return E_POINTER;
        *value = value_;
        return S_OK;
    }
    HRESULT put_value(LONG value) override {
        value_ = value;
        return S_OK;
    }

    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override {
        if (points)
            *points = nullptr;
        return E_NOTIMPL;
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        return events_.find(iid, point);
    }

    IUnknown* interfaceFor(REFIID iid) {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ISample)
            return static_cast<ISample*>(this);
        if (iid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }

private:
    ConnectionPoint events_{*this, DIID_SampleEvents};
    LONG value_ = 0;
};

ComModule module;

const ClassEntry classes[] = {{&CLSID_Sample, &ClassFactory<Sample>::getClassObject,
                               u"Sample Class", u"VistrelTest.Sample.1", u"VistrelTest.Sample"}};
const TypeLibRegistration typeLib = {&LIBID_Sample, 1, 0, u"Sample 1.0 Type Library"};

}  // namespace
}  // namespace sample

namespace win {

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return sample::module.getClassObject(sample::classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() {
    return sample::module.canUnloadNow();
}
HRESULT DllRegisterServer() {
    return sample::module.registerServer(sample::classes, &sample::typeLib);
}
HRESULT DllUnregisterServer() {
    return sample::module.unregisterServer(sample::classes, &sample::typeLib);
}

}  // namespace win
