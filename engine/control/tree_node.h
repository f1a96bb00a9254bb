// TreeNode: the node of every tree the engine and its host exchange (the
// view state, the outline, links, annotations, fonts, words and the host's
// own stored trees). A node has a name, an ordered list of kids and one
// typed record; it is a COM object (coclass TreeNode, dual interface
// ITreeNode) and a Storable that stores itself into a document's private
// dictionary and reads itself back.
//
// The parent holds one reference on each kid; a kid's parent link is not a
// reference. Kids added through the interface are deep copies of the node
// given, so the host's node stays separate from the tree. No tree grows
// deeper than kMaxTreeDepth levels below its root: copies and loads that
// would are refused, so every walk over a tree is bounded.
#pragma once

#include <cstdint>

#include "engine/core/containers.h"
#include "engine/core/wstring.h"
#include "engine/doc/tree_writer.h"
#include "engine/object/pdf_object.h"
#include "platform/com/com_ptr.h"
#include "typelib/vistrel_typelib.h"

namespace vistrel {

// Levels a tree may have below its root.
inline constexpr int32_t kMaxTreeDepth = 256;

// The allocator of the kid arrays (grown by doubling).
inline constinit AllocatorHandle treeNodeKidsHandle{kAllocGeneral, 0};

class TreeNode : public Storable, public VISTRELLib::ITreeNode {
public:
    using BSTR = VISTRELLib::BSTR;
    using HRESULT = win::HRESULT;
    using LONG = win::LONG;
    using DocState = VISTRELLib::DocState;
    using PageLink = VISTRELLib::PageLink;
    using PageAnnotation = VISTRELLib::PageAnnotation;
    using FontInfo = VISTRELLib::FontInfo;
    using WordInfo = VISTRELLib::WordInfo;
    using TreeNodeType = VISTRELLib::TreeNodeType;
    using PalmFormat = VISTRELLib::PalmFormat;

    // A new node counted in the engine's module: a State node of page 1 at
    // zoom 1.0, quality 4, memory usage 4, named "Page 1--100%". Null when
    // memory runs out.
    static win::ComPtr<TreeNode> create();

    // --- Storable: kids under "0", "1", ..., then the name and the view.
    bool save(TreeWriter& writer) override;
    // Kids from key "0" until the first key that does not load, then the
    // values present; true when anything was read.
    bool load(TreeReader& reader) override;

    // --- ITreeNode
    HRESULT get_type(TreeNodeType* pVal) override;
    HRESULT get_name(BSTR* pVal) override;
    HRESULT put_name(BSTR newVal) override;
    HRESULT get_kids(LONG* pVal) override;
    HRESULT get_root(ITreeNode** pVal) override;
    HRESULT get_parent(ITreeNode** pVal) override;
    HRESULT get_next(ITreeNode** pVal) override;
    HRESULT get_previous(ITreeNode** pVal) override;
    HRESULT get_kid(LONG index, ITreeNode** pVal) override;
    HRESULT addKid(ITreeNode* kid) override;
    HRESULT insertKid(ITreeNode* kid, LONG index) override;
    HRESULT removeKid(LONG index) override;
    HRESULT removeKids() override;
    HRESULT get_ID(LONG* pVal) override;
    HRESULT get_State(DocState* pVal) override;
    HRESULT get_WordInfo(WordInfo* pVal) override;
    HRESULT get_wordInfoInStr(BSTR* pVal) override;
    HRESULT put_State(DocState newVal) override;
    HRESULT get_stateInStr(BSTR* pVal) override;
    HRESULT put_stateInStr(BSTR newVal) override;
    HRESULT get_Link(PageLink* pVal) override;
    HRESULT get_linkInStr(BSTR* pVal) override;
    HRESULT get_Annotation(PageAnnotation* pVal) override;
    HRESULT get_annotationInStr(BSTR* pVal) override;
    HRESULT get_FontInfo(FontInfo* pVal) override;
    HRESULT get_fontInfoInStr(BSTR* pVal) override;

    // --- IDispatch, over the type library's member table. Members whose
    // arguments are records answer E_NOTIMPL.
    HRESULT GetTypeInfoCount(win::UINT* count) override;
    HRESULT GetTypeInfo(win::UINT index, win::LCID locale, win::ITypeInfo** info) override;
    HRESULT GetIDsOfNames(win::REFIID iid, win::LPOLESTR* names, win::UINT count, win::LCID locale,
                          win::DISPID* ids) override;
    HRESULT Invoke(win::DISPID member, win::REFIID iid, win::LCID locale, win::WORD flags,
                   win::DISPPARAMS* params, win::VARIANT* result, win::EXCEPINFO* exception,
                   win::UINT* argumentError) override;

    win::IUnknown* interfaceFor(win::REFIID iid);

    // --- The engine's side.

    // Makes the node a State node with that view at position 0,0 and the
    // default name; the other records are cleared, a held destination is let
    // go, and the parent link and index are cleared (meant for nodes that
    // are in no tree: new nodes, roots and the builders' working nodes). The
    // kids stay.
    void initState(int32_t page, double zoom, PalmFormat format, int32_t quality,
                   int32_t memoryUsage);
    // "Page " page "--" zoom in percent (rounded half away from zero) "%".
    WString defaultName() const;
    // Fills a fresh node with a deep copy of source (its type, its record,
    // its destination, its name or the default name for an empty one, and
    // its kids in order); a null source gives a default State node. False
    // when the copy would grow the tree beyond kMaxTreeDepth or memory ran
    // out: the node is then partly filled.
    bool copyFrom(ITreeNode* source);

    TreeNodeType type() const { return type_; }
    // The record builders choose the type of their working nodes.
    void setType(TreeNodeType type) { type_ = type; }
    const WString& name() const { return name_; }
    bool setName(const WString& name) { return name_.assign(name); }

    const DocState& state() const { return state_; }
    void setState(const DocState& state) { state_ = state; }
    const PageLink& link() const { return link_; }
    void setLink(const PageLink& link) { link_ = link; }
    // The setters below copy the record's texts; the node frees its own.
    const PageAnnotation& annotation() const { return annotation_; }
    void setAnnotation(const PageAnnotation& annotation);
    const FontInfo& fontInfo() const { return fontInfo_; }
    void setFontInfo(const FontInfo& fontInfo);
    const WordInfo& wordInfo() const { return wordInfo_; }
    void setWordInfo(const WordInfo& wordInfo);

    // Holds a destination (outline nodes); null lets the held one go.
    void holdDestination(PdfObject* destination);
    // The held destination (borrowed), or null; its handle is the ID.
    PdfObject* destination() const;
    int32_t destinationHandle() const { return destination_; }

    TreeNode* parent() const { return parent_; }
    int32_t index() const { return index_; }
    int32_t kidCount() const { return kids_.count(); }
    // Kid i (0-based, below kidCount()), borrowed.
    TreeNode* kidAt(int32_t i) const { return kids_[i]; }
    // Levels above this node.
    int32_t depth() const;

protected:
    TreeNode();
    ~TreeNode() override;

private:
    // Inserts a copy of kid at position (0 to kidCount()), the copy allowed
    // `levels` levels of kids below it.
    bool insertCopy(ITreeNode* kid, int32_t position, int32_t levels);
    bool copyFrom(ITreeNode* source, int32_t levels);
    // Puts a node that has no parent at position, taking over one reference.
    bool insertOwned(TreeNode* kid, int32_t position);
    void clearRecords();
    void releaseKids();

    WString name_;
    int32_t destination_ = 0;  // handle into the held-destination table
    TreeNode* parent_ = nullptr;
    int32_t index_ = 0;
    PointerArray<TreeNode> kids_{8, &treeNodeKidsHandle};
    TreeNodeType type_ = TreeNodeType::State;
    DocState state_{};
    PageAnnotation annotation_{};
    PageLink link_{};
    FontInfo fontInfo_{};
    WordInfo wordInfo_{};
};

}  // namespace vistrel
