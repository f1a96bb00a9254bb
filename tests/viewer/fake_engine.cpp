// The fake engine library: its classes, module object and exports.
#include "tests/viewer/fake_engine.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/com/connection_point.h"
#include "platform/com/server_module.h"

namespace fake {
namespace {

using namespace win;
using namespace VISTRELLib;
namespace Id = VistrelDispid;

std::u16string textOf(BSTR text) {
    return text ? std::u16string(text, SysStringLen(text)) : u"(null)";
}

HRESULT giveText(const std::u16string& text, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), UINT(text.size()));
    return S_OK;
}

// A tree node with a name, a view-state text, a link text and kids.
class FakeNode : public ITreeNode {
public:
    explicit FakeNode(std::u16string name) : name_(std::move(name)) {}

    void addLink(const ComPtr<ITreeNode>& kid) { kids_.push_back(kid); }
    void setLink(std::u16string link) { link_ = std::move(link); }

    HRESULT get_type(TreeNodeType* v) override {
        *v = TreeNodeType::State;
        return S_OK;
    }
    HRESULT get_name(BSTR* v) override { return giveText(name_, v); }
    HRESULT put_name(BSTR v) override {
        name_ = textOf(v);
        return S_OK;
    }
    HRESULT get_stateInStr(BSTR* v) override { return giveText(state_, v); }
    HRESULT put_stateInStr(BSTR v) override {
        state_ = textOf(v);
        if (view_)
            view_->put_stateInStr(v);
        return S_OK;
    }
    // A node given out as the engine's State: its view-state text is the
    // engine's view, so a change reaches the view without a put.
    void showView(const ComPtr<ITreeNode>& view) { view_ = view; }
    HRESULT get_kids(LONG* v) override {
        *v = LONG(kids_.size());
        return S_OK;
    }
    HRESULT get_root(ITreeNode**) override { return E_NOTIMPL; }
    HRESULT get_parent(ITreeNode**) override { return E_NOTIMPL; }
    HRESULT get_next(ITreeNode**) override { return E_NOTIMPL; }
    HRESULT get_previous(ITreeNode**) override { return E_NOTIMPL; }
    HRESULT get_kid(LONG index, ITreeNode** v) override {
        *v = nullptr;
        if (index < 1 || size_t(index) > kids_.size())
            return S_FALSE;
        *v = ComPtr<ITreeNode>(kids_[size_t(index) - 1]).detach();
        return S_OK;
    }
    HRESULT addKid(ITreeNode* kid) override {
        if (!kid)
            return S_FALSE;
        kids_.emplace_back(kid);
        return S_OK;
    }
    HRESULT insertKid(ITreeNode*, LONG) override { return E_NOTIMPL; }
    HRESULT removeKid(LONG) override { return E_NOTIMPL; }
    HRESULT removeKids() override {
        kids_.clear();
        return S_OK;
    }
    HRESULT get_ID(LONG*) override { return E_NOTIMPL; }
    HRESULT get_State(DocState*) override { return E_NOTIMPL; }
    HRESULT get_WordInfo(WordInfo*) override { return E_NOTIMPL; }
    HRESULT get_wordInfoInStr(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_State(DocState) override { return E_NOTIMPL; }
    HRESULT get_Link(PageLink*) override { return E_NOTIMPL; }
    HRESULT get_linkInStr(BSTR* v) override { return giveText(link_, v); }
    HRESULT get_Annotation(PageAnnotation*) override { return E_NOTIMPL; }
    HRESULT get_annotationInStr(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_FontInfo(FontInfo*) override { return E_NOTIMPL; }
    HRESULT get_fontInfoInStr(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    IUnknown* interfaceFor(REFIID iid) {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ITreeNode)
            return static_cast<ITreeNode*>(this);
        return nullptr;
    }

private:
    std::u16string name_;
    std::u16string state_ = u"0,0,1,1.000000,4,4,0";
    std::u16string link_;
    std::vector<ComPtr<ITreeNode>> kids_;
    ComPtr<ITreeNode> view_;
};

ComModule module;

ComPtr<ITreeNode> makeNode(const std::u16string& name) {
    return ComPtr<ITreeNode>(ComObject<FakeNode>::create(module, name).get());
}

std::u16string stateTextOf(ITreeNode* node) {
    BSTR text = nullptr;
    node->get_stateInStr(&text);
    std::u16string state = textOf(text);
    SysFreeString(text);
    return state;
}

// The links of every page: two that overlap from 40,40 to 60,60, the
// first leading to page 3 at 7,8, the second to page 2 at 0,0.
ComPtr<ITreeNode> links() {
    auto root = ComObject<FakeNode>::create(module, u"LINKS");
    for (const char16_t* text : {u"10,10,60,60,3,7,8", u"100,100,40,40,2,0,0"}) {
        auto link = ComObject<FakeNode>::create(module, u"link");
        link->setLink(text);
        root->addLink(ComPtr<ITreeNode>(link.get()));
    }
    return ComPtr<ITreeNode>(root.get());
}

std::u16string nameOf(ITreeNode* node) {
    if (!node)
        return u"(none)";
    BSTR name = nullptr;
    node->get_name(&name);
    std::u16string text = textOf(name);
    SysFreeString(name);
    return text;
}

// The node's name and, in brackets, its kids': "root[a,b[c]]".
std::u16string treeOf(ITreeNode* node) {
    std::u16string text = nameOf(node);
    LONG count = 0;
    node->get_kids(&count);
    for (LONG i = 1; i <= count; ++i) {
        ComPtr<ITreeNode> kid;
        node->get_kid(i, kid.put());
        text += (i == 1 ? u"[" : u",") + treeOf(kid.get());
    }
    return count > 0 ? text + u"]" : text;
}

std::u16string number(long long n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

class FakeEngine : public IVistrel, public IConnectionPointContainer, public IFakeEngine {
public:
    FakeEngine() : state_(makeNode(u"Page 1--100%")) {}

    // IVistrel
    HRESULT open(BSTR filename, BSTR password) override {
        log(u"open " + textOf(filename) + u"|" + textOf(password));
        HRESULT hr = result(Id::open);
        filename_ = hr == S_OK ? textOf(filename) : u"";
        return hr;
    }
    HRESULT close() override {
        log(u"close");
        filename_.clear();
        return result(Id::close);
    }
    HRESULT get_root(BSTR name, ITreeNode** v) override {
        log(u"root " + textOf(name));
        *v = nullptr;
        HRESULT hr = result(Id::root);
        if (hr != S_OK)
            return hr;
        if (textOf(name) == u"LINKS") {
            *v = links().detach();
            return S_OK;
        }
        if (textOf(name) != u"TOC" && textOf(name) != u"BookMarks")
            return S_FALSE;
        *v = makeNode(textOf(name)).detach();
        return S_OK;
    }
    HRESULT put_root(BSTR name, ITreeNode* v) override {
        log(u"root put " + textOf(name) + u" " + (v ? treeOf(v) : u"(none)"));
        return result(Id::root);
    }
    HRESULT get_State(ITreeNode** v) override {
        log(u"State");
        *v = nullptr;
        HRESULT hr = result(Id::State);
        if (SUCCEEDED(hr)) {
            // A node of its own, as the engine gives, showing the view.
            auto copy = ComObject<FakeNode>::create(module, nameOf(state_.get()));
            BSTR text = SysAllocString(stateTextOf(state_.get()).c_str());
            copy->put_stateInStr(text);
            SysFreeString(text);
            copy->showView(state_);
            *v = ComPtr<ITreeNode>(copy.get()).detach();
        }
        return hr;
    }
    HRESULT put_State(ITreeNode* v) override {
        log(u"State put " + nameOf(v));
        HRESULT hr = result(Id::State);
        if (hr == S_OK && v) {
            BSTR text = SysAllocString(stateTextOf(v).c_str());
            state_->put_stateInStr(text);
            SysFreeString(text);
        }
        return hr;
    }
    HRESULT render() override {
        log(u"render");
        // A render reports its progress, as the engine's does.
        fireEvent(VistrelEventsDispid::startProgressIndicator, {});
        VARIANT percent;
        percent.vt = VT_I2;
        percent.iVal = 50;
        fireEvent(VistrelEventsDispid::setProgressIndicator, {percent});
        fireEvent(VistrelEventsDispid::stopProgressIndicator, {});
        return result(Id::render);
    }
    HRESULT draw(LONG hdc, LONG x, LONG y, LONG width, LONG height, LONG offsetX,
                 LONG offsetY) override {
        log(u"draw " + number(hdc) + u"," + number(x) + u"," + number(y) + u"," + number(width) +
            u"," + number(height) + u"," + number(offsetX) + u"," + number(offsetY));
        return result(Id::draw);
    }
    HRESULT get_width(LONG* v) override { return answer(Id::width, width_, v); }
    HRESULT get_height(LONG* v) override { return answer(Id::height, height_, v); }
    HRESULT get_pages(LONG* v) override { return answer(Id::pages, kPages, v); }
    HRESULT setVisibleRect(LONG width, LONG height) override {
        log(u"setVisibleRect " + number(width) + u"," + number(height));
        return result(Id::setVisibleRect);
    }
    HRESULT get_filename(BSTR* v) override {
        giveText(filename_, v);
        return result(Id::filename);
    }
    HRESULT writePDB(BSTR filename, ITreeNode* root) override {
        log(u"writePDB " + textOf(filename) + u" " + (root ? treeOf(root) : u"(none)"));
        return result(Id::writePDB);
    }
    HRESULT mouseClick(LONG, LONG) override { return E_NOTIMPL; }
    HRESULT writeJPG(BSTR) override { return E_NOTIMPL; }
    HRESULT get_JPG(VARIANT*) override { return E_NOTIMPL; }
    HRESULT get_info(DocInfo*) override { return E_NOTIMPL; }
    HRESULT get_infoInStr(BSTR* v) override {
        giveText(kInfo, v);
        return result(Id::infoInStr);
    }
    HRESULT get_PNG(VARIANT*) override { return E_NOTIMPL; }
    HRESULT get_actualWidth(LONG* v) override { return answer(Id::actualWidth, actualWidth_, v); }
    HRESULT get_actualHeight(LONG* v) override {
        return answer(Id::actualHeight, actualHeight_, v);
    }
    HRESULT get_SecurityInfo(SecurityInfo*) override { return E_NOTIMPL; }
    HRESULT get_securityInfoInStr(BSTR* v) override {
        giveText(kSecurityInfo, v);
        return result(Id::securityInfoInStr);
    }
    HRESULT get_writeMode(BigPDBWriteMode* v) override {
        *v = writeMode_;
        return S_OK;
    }
    HRESULT put_writeMode(BigPDBWriteMode v) override {
        log(u"writeMode " + number(LONG(v)));
        writeMode_ = v;
        return result(Id::writeMode);
    }

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispatchIdsOfNames(kVistrelMembers, iid, names, count, ids);
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IConnectionPointContainer
    HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        return events_.find(iid, point);
    }

    // IFakeEngine
    HRESULT setResult(DISPID member, HRESULT hr) override {
        results_[member] = hr;
        return S_OK;
    }
    HRESULT fire(DISPID member, const VARIANT* arguments, UINT count) override {
        fireEvent(member, std::vector<VARIANT>(arguments, arguments + count));
        return S_OK;
    }
    HRESULT takeCalls(BSTR* calls) override {
        HRESULT hr = giveText(calls_, calls);
        calls_.clear();
        return hr;
    }
    HRESULT sinkCount(LONG* count) override {
        *count = LONG(events_.connectionCount());
        return S_OK;
    }
    HRESULT setPageSize(LONG width, LONG height) override {
        width_ = width;
        height_ = height;
        return S_OK;
    }
    HRESULT setActualSize(LONG width, LONG height) override {
        actualWidth_ = width;
        actualHeight_ = height;
        return S_OK;
    }

    IUnknown* interfaceFor(REFIID iid) {
        if (iid == IID_IUnknown || iid == IID_IDispatch)
            return static_cast<IVistrel*>(this);
        if (iid == IID_IVistrel && !std::getenv(kWithoutIVistrel))
            return static_cast<IVistrel*>(this);
        if (iid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        if (iid == IID_IFakeEngine)
            return static_cast<IFakeEngine*>(this);
        return nullptr;
    }

private:
    HRESULT result(DISPID member) const {
        auto it = results_.find(member);
        return it == results_.end() ? S_OK : it->second;
    }
    HRESULT answer(DISPID member, LONG value, LONG* out) {
        *out = value;
        return result(member);
    }
    void log(const std::u16string& line) { calls_ += line + u"\n"; }
    // Copies of the arguments, given in declaration order, fired last first.
    void fireEvent(DISPID member, std::vector<VARIANT> arguments) {
        std::vector<VARIANT> lastFirst(arguments.rbegin(), arguments.rend());
        for (VARIANT& v : lastFirst) {
            VARIANT copy;
            VariantInit(&copy);
            VariantCopy(&copy, &v);
            v = copy;
        }
        events_.fire(member, lastFirst.data(), UINT(lastFirst.size()));
    }

    ConnectionPoint events_{*this, DIID__IVistrelEvents};
    ComPtr<ITreeNode> state_;
    std::u16string filename_;
    std::u16string calls_;
    std::map<DISPID, HRESULT> results_;
    BigPDBWriteMode writeMode_ = BigPDBWriteMode::CutOdd;
    LONG width_ = kWidth, height_ = kHeight;
    LONG actualWidth_ = kActualWidth, actualHeight_ = kActualHeight;
};

const ClassEntry classes[] = {{&CLSID_Vistrel, &ClassFactory<FakeEngine>::getClassObject,
                               u"Fake Vistrel Class", u"VistrelLib.Vistrel.1",
                               u"VistrelLib.Vistrel"}};

}  // namespace
}  // namespace fake

namespace win {

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return fake::module.getClassObject(fake::classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() {
    return fake::module.canUnloadNow();
}
HRESULT DllRegisterServer() {
    return fake::module.registerServer(fake::classes, nullptr);
}
HRESULT DllUnregisterServer() {
    return fake::module.unregisterServer(fake::classes, nullptr);
}

}  // namespace win
