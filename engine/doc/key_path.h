// Trees stored as nested dictionaries in the document's private dictionary:
// every key becomes a PDF name ("/" + key), every level one dictionary.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "engine/core/containers.h"
#include "engine/core/ref.h"
#include "engine/doc/tree_writer.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class PdfDocument;

// Stored trees nested deeper than this are not read.
inline constexpr int32_t kMaxStoredTreeDepth = 256;

// Builds the private dictionary from trees and saves it into the document's
// file as an incremental update. One writer serves one store.
class KeyPathWriter final : public TreeWriter {
public:
    KeyPathWriter(PdfDocument* document, const WString& fileName);
    ~KeyPathWriter() override;
    KeyPathWriter(const KeyPathWriter&) = delete;
    KeyPathWriter& operator=(const KeyPathWriter&) = delete;

    bool begin(const WString& key) override;
    bool value(const WString& text) override;
    bool end() override;
    // Stores a child node in a dictionary of its own under the key; a node
    // whose save fails leaves no entry.
    bool putNode(const WString& key, Storable& storable) override;
    bool putString(const WString& key, const WString& text) override;
    // PdfDocument::save with the root dictionary (1 on success); 0 once saved.
    int save() override;

    bool put(const WString& key, Storable& storable) { return putNode(key, storable); }

    // The root dictionary (one entry per stored tree) until save hands it over.
    PdfDict* root() const { return root_.get(); }

private:
    PdfDocument* document_;
    WString fileName_;
    bool saved_ = false;
    PointerArray<PdfDict> stack_;
    Ref<PdfDict> root_;
    PdfDict* current_;
};

// Walks the stored private dictionary and hands each level to the tree.
class KeyPathReader final : public TreeReader {
public:
    explicit KeyPathReader(PdfDocument* document);
    // A reader over a private dictionary already at hand (or null).
    explicit KeyPathReader(PdfDict* privateData);
    ~KeyPathReader() override;
    KeyPathReader(const KeyPathReader&) = delete;
    KeyPathReader& operator=(const KeyPathReader&) = delete;

    // Has the storable load itself from the dictionary under the key. False
    // when there is none, when this reader has entered it before (a
    // dictionary that refers back to an ancestor, or one shared by several
    // kids, which would multiply the tree) or when the tree is nested too
    // deep.
    bool getNode(const WString& key, Storable& storable) override;
    bool getString(const WString& key, WString& text) override;

    bool get(const WString& key, Storable& storable) { return getNode(key, storable); }

private:
    Ref<PdfDict> hold_;  // the private dictionary
    PdfDict* current_;
    PointerArray<PdfDict> stack_;
    // Every dictionary entered, held so that its address stays its own.
    std::unordered_map<const PdfDict*, Ref<PdfDict>> entered_;
};

// The PDF name of a key: "/" followed by the key.
ObjectRef keyName(const WString& key);

}  // namespace vistrel
