#include "engine/control/tree_node.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "engine/control/engine_module.h"
#include "engine/control/held_destinations.h"
#include "engine/control/record_text.h"
#include "platform/com/server_module.h"

namespace vistrel {

using namespace VISTRELLib;
using win::S_FALSE;
using win::S_OK;

namespace {

// Keys of the stored values.
constinit const WString kNameKey{u"name", WString::kConstant};
constinit const WString kXKey{u"x", WString::kConstant};
constinit const WString kYKey{u"y", WString::kConstant};
constinit const WString kPageKey{u"pagenum", WString::kConstant};
constinit const WString kZoomKey{u"zoom", WString::kConstant};
constinit const WString kMemoryKey{u"memory", WString::kConstant};
constinit const WString kQualityKey{u"quality", WString::kConstant};
constinit const WString kPalmKey{u"palm", WString::kConstant};

// The key of kid i: i in decimal.
WString kidKey(int32_t i) {
    WString key;
    key.fromInt(i);
    return key;
}

WString numberText(int32_t value) {
    WString text;
    text.fromInt(value);
    return text;
}

// zoom × 100 rounded half away from zero, within the 32-bit range.
int32_t zoomPercent(double zoom) {
    const double percent = zoom * 100.0;
    if (std::isnan(percent))
        return 0;
    const double rounded = percent > 0 ? std::trunc(percent + 0.5) : std::trunc(percent - 0.5);
    if (rounded >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (rounded <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return int32_t(rounded);
}

BSTR copyString(BSTR text) {
    return text ? win::SysAllocStringLen(text, win::SysStringLen(text)) : nullptr;
}

BSTR newString(const std::u16string& text) {
    return win::SysAllocStringLen(text.data(), win::UINT(text.size()));
}

void freeStrings(PageAnnotation& a) {
    win::SysFreeString(a.caption);
    win::SysFreeString(a.text);
    a.caption = a.text = nullptr;
}

void freeStrings(FontInfo& f) {
    win::SysFreeString(f.originalName);
    win::SysFreeString(f.usedName);
    win::SysFreeString(f.encoding);
    f.originalName = f.usedName = f.encoding = nullptr;
}

void freeStrings(WordInfo& w) {
    win::SysFreeString(w.fontFamily);
    win::SysFreeString(w.fontModificator);
    w.fontFamily = w.fontModificator = nullptr;
}

// The record with its own copies of the texts.
PageAnnotation copied(const PageAnnotation& a) {
    PageAnnotation c = a;
    c.caption = copyString(a.caption);
    c.text = copyString(a.text);
    return c;
}

FontInfo copied(const FontInfo& f) {
    FontInfo c = f;
    c.originalName = copyString(f.originalName);
    c.usedName = copyString(f.usedName);
    c.encoding = copyString(f.encoding);
    return c;
}

WordInfo copied(const WordInfo& w) {
    WordInfo c = w;
    c.fontFamily = copyString(w.fontFamily);
    c.fontModificator = copyString(w.fontModificator);
    return c;
}

// A record with texts takes the place of the node's own, whose texts go.
template <class Record>
void replace(Record& mine, const Record& record) {
    freeStrings(mine);
    mine = record;
}

// The record a source's getter hands out (its texts fresh copies) replaces
// the node's own when the getter answers S_OK.
template <class Record, class Getter>
void replaceIfGot(Record& mine, Getter get) {
    Record record{};
    if (get(&record) == S_OK)
        replace(mine, record);
}

}  // namespace

// ---------------------------------------------------------------------------
// Life

win::ComPtr<TreeNode> TreeNode::create() {
    auto made = win::ComObject<TreeNode>::create(engineModule());
    return win::ComPtr<TreeNode>(made.get());
}

TreeNode::TreeNode() {
    initState(1, 1.0, PalmFormat::NotPalm, 4, 4);
}

TreeNode::~TreeNode() {
    heldDestinations().release(destination_);
    releaseKids();
    clearRecords();
}

void TreeNode::releaseKids() {
    // The list is emptied first (its storage stays), so no released kid is
    // ever seen in it.
    const int32_t count = kids_.count();
    TreeNode** taken = kids_.data();
    kids_.clear();
    for (int32_t i = 0; i < count; ++i) {
        taken[i]->parent_ = nullptr;
        taken[i]->Release();
    }
}

void TreeNode::clearRecords() {
    freeStrings(annotation_);
    freeStrings(fontInfo_);
    freeStrings(wordInfo_);
    annotation_ = {};
    link_ = {};
    fontInfo_ = {};
    wordInfo_ = {};
}

void TreeNode::initState(int32_t page, double zoom, PalmFormat format, int32_t quality,
                         int32_t memoryUsage) {
    type_ = TreeNodeType::State;
    state_ = DocState{page, zoom, 0, 0, quality, memoryUsage, format};
    holdDestination(nullptr);
    clearRecords();
    parent_ = nullptr;
    index_ = 0;
    name_.assign(defaultName());
}

WString TreeNode::defaultName() const {
    return u"Page " + numberText(state_.page) + u"--" + numberText(zoomPercent(state_.zoom)) + u"%";
}

int32_t TreeNode::depth() const {
    int32_t levels = 0;
    for (const TreeNode* p = parent_; p; p = p->parent_)
        ++levels;
    return levels;
}

// ---------------------------------------------------------------------------
// Records and destination

void TreeNode::setAnnotation(const PageAnnotation& annotation) {
    replace(annotation_, copied(annotation));
}

void TreeNode::setFontInfo(const FontInfo& fontInfo) {
    replace(fontInfo_, copied(fontInfo));
}

void TreeNode::setWordInfo(const WordInfo& wordInfo) {
    replace(wordInfo_, copied(wordInfo));
}

void TreeNode::holdDestination(PdfObject* destination) {
    const int32_t old = destination_;
    destination_ = heldDestinations().hold(destination);
    heldDestinations().release(old);
}

PdfObject* TreeNode::destination() const {
    return heldDestinations().find(destination_);
}

// ---------------------------------------------------------------------------
// Copies and kids

bool TreeNode::copyFrom(ITreeNode* source) {
    return copyFrom(source, kMaxTreeDepth - depth());
}

bool TreeNode::copyFrom(ITreeNode* source, int32_t levels) {
    if (!source) {
        initState(1, 1.0, PalmFormat::NotPalm, 4, 4);
        return true;
    }
    TreeNodeType type = TreeNodeType::State;
    source->get_type(&type);
    type_ = type;
    switch (type) {
        case TreeNodeType::State:
            source->get_State(&state_);
            break;
        case TreeNodeType::TOC: {
            LONG id = 0;
            source->get_ID(&id);
            const int32_t old = destination_;
            destination_ = heldDestinations().holdAgain(id) ? id : 0;
            heldDestinations().release(old);
            break;
        }
        case TreeNodeType::Link:
            source->get_Link(&link_);
            break;
        case TreeNodeType::Annotation:
            replaceIfGot(annotation_, [&](PageAnnotation* r) { return source->get_Annotation(r); });
            break;
        case TreeNodeType::Font_Info:
            replaceIfGot(fontInfo_, [&](FontInfo* r) { return source->get_FontInfo(r); });
            break;
        case TreeNodeType::Word_Info:
            replaceIfGot(wordInfo_, [&](WordInfo* r) { return source->get_WordInfo(r); });
            break;
    }

    BSTR name = nullptr;
    if (source->get_name(&name) == S_OK && win::SysStringLen(name) > 0) {
        name_ = WString(name, int32_t(win::SysStringLen(name)));
    } else {
        name_.assign(defaultName());
    }
    win::SysFreeString(name);

    LONG count = 0;
    source->get_kids(&count);
    for (LONG i = 1; i <= count; ++i) {
        win::ComPtr<ITreeNode> kid;
        if (source->get_kid(i, kid.put()) != S_OK || !kid)
            break;
        if (levels <= 0 || !insertCopy(kid.get(), kids_.count(), levels - 1))
            return false;
    }
    return true;
}

bool TreeNode::insertCopy(ITreeNode* kid, int32_t position, int32_t levels) {
    if (levels < 0)
        return false;
    win::ComPtr<TreeNode> copy = create();
    if (!copy || !copy->copyFrom(kid, levels))
        return false;
    if (!insertOwned(copy.get(), position))
        return false;
    (void)copy.detach();  // the kid list holds that reference now
    return true;
}

bool TreeNode::insertOwned(TreeNode* kid, int32_t position) {
    const int32_t count = kids_.count();
    if (position < 0 || position > count || !kids_.append(kid))
        return false;
    TreeNode** slots = kids_.data();
    // NOLINTNEXTLINE(bugprone-sizeof-expression): the kids are an array of pointers
    const size_t bytes = sizeof(TreeNode*) * size_t(count - position);
    std::memmove(slots + position + 1, slots + position, bytes);
    slots[position] = kid;
    for (int32_t i = position; i <= count; ++i)
        slots[i]->index_ = i;
    kid->parent_ = this;
    return true;
}

// ---------------------------------------------------------------------------
// Storing

bool TreeNode::save(TreeWriter& writer) {
    for (int32_t i = 0; i < kids_.count(); ++i) {
        if (!writer.putNode(kidKey(i), *kids_[i]))
            return false;
    }
    WString zoom;
    if (!zoom.fromDouble(state_.zoom))
        return false;
    return writer.putString(kNameKey, name_) && writer.putString(kXKey, numberText(state_.x)) &&
           writer.putString(kYKey, numberText(state_.y)) &&
           writer.putString(kPageKey, numberText(state_.page)) &&
           writer.putString(kZoomKey, zoom) &&
           writer.putString(kMemoryKey, numberText(state_.memoryUsage)) &&
           writer.putString(kQualityKey, numberText(state_.quality)) &&
           writer.putString(kPalmKey, numberText(LONG(state_.PalmFormat)));
}

bool TreeNode::load(TreeReader& reader) {
    bool read = false;
    // Kids are read only while the tree stays within its depth, whatever
    // the reader allows.
    if (depth() < kMaxTreeDepth) {
        for (int32_t i = 0; i < std::numeric_limits<int32_t>::max(); ++i) {
            win::ComPtr<TreeNode> kid = create();
            if (!kid)
                break;
            kid->parent_ = this;  // for its depth while it loads
            kid->index_ = kids_.count();
            const bool loaded = reader.getNode(kidKey(i), *kid.get());
            kid->parent_ = nullptr;
            if (!loaded || !insertOwned(kid.get(), kids_.count()))
                break;
            (void)kid.detach();
            read = true;
        }
    }
    WString text;
    if (reader.getString(kNameKey, text)) {
        name_ = text;
        read = true;
    }
    LONG palm = LONG(state_.PalmFormat);
    struct IntegerValue {
        const WString& key;
        LONG* field;
    };
    const IntegerValue integers[] = {{kXKey, &state_.x},
                                     {kYKey, &state_.y},
                                     {kPageKey, &state_.page},
                                     {kMemoryKey, &state_.memoryUsage},
                                     {kQualityKey, &state_.quality},
                                     {kPalmKey, &palm}};
    for (const IntegerValue& value : integers) {
        if (reader.getString(value.key, text)) {
            *value.field = text.toInt(10);
            read = true;
        }
    }
    if (reader.getString(kZoomKey, text)) {
        state_.zoom = text.toDouble();
        read = true;
    }
    state_.PalmFormat = PalmFormat(palm);
    return read;
}

// ---------------------------------------------------------------------------
// ITreeNode

HRESULT TreeNode::get_type(TreeNodeType* pVal) {
    if (!pVal)
        return win::E_POINTER;
    *pVal = type_;
    return S_OK;
}

HRESULT TreeNode::get_name(BSTR* pVal) {
    if (!pVal)
        return win::E_POINTER;
    BSTR made = win::SysAllocStringLen(name_.chars(), win::UINT(name_.size()));
    if (!made)
        return win::E_OUTOFMEMORY;
    *pVal = made;
    return S_OK;
}

HRESULT TreeNode::put_name(BSTR newVal) {
    WString name = newVal ? WString(newVal, int32_t(win::SysStringLen(newVal))) : WString();
    return name_.assign(name) ? S_OK : win::E_OUTOFMEMORY;
}

HRESULT TreeNode::get_kids(LONG* pVal) {
    if (!pVal)
        return win::E_POINTER;
    *pVal = kids_.count();
    return S_OK;
}

namespace {

// *out := node with one reference (null stays null).
void handOut(TreeNode* node, ITreeNode** out) {
    *out = node;
    if (node)
        node->AddRef();
}

}  // namespace

HRESULT TreeNode::get_root(ITreeNode** pVal) {
    if (!pVal)
        return win::E_POINTER;
    TreeNode* top = this;
    while (top->parent_)
        top = top->parent_;
    handOut(top, pVal);
    return S_OK;
}

HRESULT TreeNode::get_parent(ITreeNode** pVal) {
    if (!pVal)
        return win::E_POINTER;
    handOut(parent_, pVal);
    return S_OK;
}

HRESULT TreeNode::get_next(ITreeNode** pVal) {
    if (!pVal)
        return win::E_POINTER;
    const bool has = parent_ && index_ >= 0 && index_ < parent_->kids_.count() - 1;
    handOut(has ? parent_->kids_[index_ + 1] : nullptr, pVal);
    return has ? S_OK : S_FALSE;
}

HRESULT TreeNode::get_previous(ITreeNode** pVal) {
    if (!pVal)
        return win::E_POINTER;
    const bool has = parent_ && index_ > 0 && index_ <= parent_->kids_.count();
    handOut(has ? parent_->kids_[index_ - 1] : nullptr, pVal);
    return has ? S_OK : S_FALSE;
}

HRESULT TreeNode::get_kid(LONG index, ITreeNode** pVal) {
    if (!pVal)
        return win::E_POINTER;
    const bool has = index >= 1 && index <= kids_.count();
    handOut(has ? kids_[index - 1] : nullptr, pVal);
    return has ? S_OK : S_FALSE;
}

HRESULT TreeNode::addKid(ITreeNode* kid) {
    if (!kid)
        return S_FALSE;
    return insertCopy(kid, kids_.count(), kMaxTreeDepth - depth() - 1) ? S_OK : S_FALSE;
}

HRESULT TreeNode::insertKid(ITreeNode* kid, LONG index) {
    if (!kid || index < 1 || index > kids_.count())
        return S_FALSE;
    return insertCopy(kid, index - 1, kMaxTreeDepth - depth() - 1) ? S_OK : S_FALSE;
}

HRESULT TreeNode::removeKid(LONG index) {
    const int32_t count = kids_.count();
    if (index < 1 || index > count)
        return S_FALSE;
    TreeNode** slots = kids_.data();
    TreeNode* removed = slots[index - 1];
    for (int32_t i = index; i < count; ++i) {
        slots[i - 1] = slots[i];
        slots[i - 1]->index_ = i - 1;
    }
    kids_.setSize(count - 1);
    removed->parent_ = nullptr;
    removed->Release();
    return S_OK;
}

HRESULT TreeNode::removeKids() {
    releaseKids();
    return S_OK;
}

HRESULT TreeNode::get_ID(LONG* pVal) {
    if (!pVal)
        return win::E_POINTER;
    if (type_ != TreeNodeType::TOC) {
        *pVal = 0;
        return S_FALSE;
    }
    *pVal = destination_;
    return S_OK;
}

namespace {

// The first answer of every typed getter: E_POINTER for a null pointer,
// S_FALSE for a node of another type (the caller's data untouched), else
// S_OK to go on.
HRESULT checkGetter(const void* out, TreeNodeType type, TreeNodeType owner) {
    if (!out)
        return win::E_POINTER;
    return type == owner ? S_OK : S_FALSE;
}

}  // namespace

HRESULT TreeNode::get_State(DocState* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::State);
    if (hr == S_OK)
        *pVal = state_;
    return hr;
}

HRESULT TreeNode::put_State(DocState newVal) {
    if (type_ != TreeNodeType::State)
        return S_FALSE;
    state_ = newVal;
    return S_OK;
}

HRESULT TreeNode::get_stateInStr(BSTR* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::State);
    return hr == S_OK ? newText(stateText(state_), pVal) : hr;
}

HRESULT TreeNode::put_stateInStr(BSTR newVal) {
    if (type_ != TreeNodeType::State)
        return S_FALSE;
    return readStateText({newVal, win::SysStringLen(newVal)}, state_) ? S_OK : S_FALSE;
}

HRESULT TreeNode::get_Link(PageLink* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Link);
    if (hr == S_OK)
        *pVal = link_;
    return hr;
}

HRESULT TreeNode::get_linkInStr(BSTR* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Link);
    return hr == S_OK ? newText(linkText(link_), pVal) : hr;
}

HRESULT TreeNode::get_Annotation(PageAnnotation* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Annotation);
    if (hr == S_OK) {
        // The caller's record may hold texts of an earlier call.
        freeStrings(*pVal);
        *pVal = copied(annotation_);
    }
    return hr;
}

HRESULT TreeNode::get_annotationInStr(BSTR* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Annotation);
    if (hr != S_OK)
        return hr;
    // Replaces the caller's string (freeing the one it held).
    BSTR made = newString(annotationText(annotation_));
    if (!made)
        return S_FALSE;
    win::SysFreeString(*pVal);
    *pVal = made;
    return S_OK;
}

HRESULT TreeNode::get_FontInfo(FontInfo* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Font_Info);
    if (hr == S_OK)
        *pVal = copied(fontInfo_);
    return hr;
}

HRESULT TreeNode::get_fontInfoInStr(BSTR* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Font_Info);
    return hr == S_OK ? newText(fontInfoText(fontInfo_), pVal) : hr;
}

HRESULT TreeNode::get_WordInfo(WordInfo* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Word_Info);
    if (hr == S_OK)
        *pVal = copied(wordInfo_);
    return hr;
}

HRESULT TreeNode::get_wordInfoInStr(BSTR* pVal) {
    const HRESULT hr = checkGetter(pVal, type_, TreeNodeType::Word_Info);
    return hr == S_OK ? newText(wordInfoText(wordInfo_), pVal) : hr;
}

// ---------------------------------------------------------------------------
// IDispatch

win::IUnknown* TreeNode::interfaceFor(win::REFIID iid) {
    if (iid == win::IID_IUnknown || iid == win::IID_IDispatch || iid == IID_ITreeNode)
        return static_cast<ITreeNode*>(this);
    return nullptr;
}

HRESULT TreeNode::GetTypeInfoCount(win::UINT* count) {
    return noTypeInfoCount(count);
}

HRESULT TreeNode::GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo** info) {
    return noTypeInfo(info);
}

HRESULT TreeNode::GetIDsOfNames(win::REFIID iid, win::LPOLESTR* names, win::UINT count, win::LCID,
                                win::DISPID* ids) {
    return dispatchIdsOfNames(kTreeNodeMembers, iid, names, count, ids);
}

HRESULT TreeNode::Invoke(win::DISPID member, win::REFIID iid, win::LCID, win::WORD flags,
                         win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO*,
                         win::UINT* argumentError) {
    if (iid != win::IID_NULL)
        return win::DISP_E_UNKNOWNINTERFACE;
    using Kind = DispatchCall::Kind;
    const DispatchCall call(flags, params, result, argumentError);
    HRESULT hr = S_OK;

    // A property get that gives a number, a text or a node.
    auto getLong = [&](auto getter) { return call.getLong(getter); };
    auto getText = [&](auto getter) { return call.getText(getter); };
    auto getNode = [&](auto getter) {
        ITreeNode* node = nullptr;
        hr = getter(&node);
        call.returnDispatch(node);
        return hr;
    };
    auto nodeArgument = [&](win::UINT position, win::ComPtr<ITreeNode>& node) {
        void* raw = nullptr;
        HRESULT bad = call.interfaceArgument(position, IID_ITreeNode, &raw);
        node = win::ComPtr<ITreeNode>::adopt(static_cast<ITreeNode*>(raw));
        return bad;
    };

    switch (member) {
        case TreeNodeDispid::type:
            return getLong([&](LONG* v) {
                TreeNodeType t{};
                HRESULT r = get_type(&t);
                *v = LONG(t);
                return r;
            });
        case TreeNodeDispid::name:
            if (call.isPut()) {
                if (HRESULT bad = call.expect(Kind::PropertyPut, 1); bad != S_OK)
                    return bad;
                BSTR text = nullptr;
                if (HRESULT bad = call.stringArgument(call.valuePosition(), &text); bad != S_OK)
                    return bad;
                return put_name(text);
            }
            return getText([&](BSTR* t) { return get_name(t); });
        case TreeNodeDispid::kids:
            return getLong([&](LONG* v) { return get_kids(v); });
        case TreeNodeDispid::root:
        case TreeNodeDispid::parent:
        case TreeNodeDispid::next:
        case TreeNodeDispid::previous:
            if (HRESULT bad = call.expect(Kind::PropertyGet, 0); bad != S_OK)
                return bad;
            return getNode([&](ITreeNode** n) {
                return member == TreeNodeDispid::root     ? get_root(n)
                       : member == TreeNodeDispid::parent ? get_parent(n)
                       : member == TreeNodeDispid::next   ? get_next(n)
                                                          : get_previous(n);
            });
        case TreeNodeDispid::kid: {
            if (HRESULT bad = call.expect(Kind::PropertyGet, 1); bad != S_OK)
                return bad;
            LONG index = 0;
            if (HRESULT bad = call.longArgument(0, &index); bad != S_OK)
                return bad;
            return getNode([&](ITreeNode** n) { return get_kid(index, n); });
        }
        case TreeNodeDispid::addKid:
        case TreeNodeDispid::insertKid: {
            const bool insert = member == TreeNodeDispid::insertKid;
            if (HRESULT bad = call.expect(Kind::Method, insert ? 2 : 1); bad != S_OK)
                return bad;
            win::ComPtr<ITreeNode> kid;
            if (HRESULT bad = nodeArgument(0, kid); bad != S_OK)
                return bad;
            if (!insert)
                return addKid(kid.get());
            LONG index = 0;
            if (HRESULT bad = call.longArgument(1, &index); bad != S_OK)
                return bad;
            return insertKid(kid.get(), index);
        }
        case TreeNodeDispid::removeKid: {
            if (HRESULT bad = call.expect(Kind::Method, 1); bad != S_OK)
                return bad;
            LONG index = 0;
            if (HRESULT bad = call.longArgument(0, &index); bad != S_OK)
                return bad;
            return removeKid(index);
        }
        case TreeNodeDispid::removeKids:
            if (HRESULT bad = call.expect(Kind::Method, 0); bad != S_OK)
                return bad;
            return removeKids();
        case TreeNodeDispid::ID:
            return getLong([&](LONG* v) { return get_ID(v); });
        case TreeNodeDispid::stateInStr:
            if (call.isPut()) {
                if (HRESULT bad = call.expect(Kind::PropertyPut, 1); bad != S_OK)
                    return bad;
                BSTR text = nullptr;
                if (HRESULT bad = call.stringArgument(call.valuePosition(), &text); bad != S_OK)
                    return bad;
                return put_stateInStr(text);
            }
            return getText([&](BSTR* t) { return get_stateInStr(t); });
        case TreeNodeDispid::linkInStr:
            return getText([&](BSTR* t) { return get_linkInStr(t); });
        case TreeNodeDispid::annotationInStr:
            return getText([&](BSTR* t) { return get_annotationInStr(t); });
        case TreeNodeDispid::fontInfoInStr:
            return getText([&](BSTR* t) { return get_fontInfoInStr(t); });
        case TreeNodeDispid::wordInfoInStr:
            return getText([&](BSTR* t) { return get_wordInfoInStr(t); });
        case TreeNodeDispid::State:
        case TreeNodeDispid::Link:
        case TreeNodeDispid::Annotation:
        case TreeNodeDispid::FontInfo:
        case TreeNodeDispid::WordInfo:
            // Records do not travel through late-bound calls.
            return win::E_NOTIMPL;
        default:
            return win::DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace vistrel
