#include "engine/doc/key_path.h"

#include "engine/parser/pdf_document.h"

namespace vistrel {

ObjectRef keyName(const WString& key) {
    return ObjectRef::adopt(new PdfName(u'/' + key));
}

// ---------------------------------------------------------------------------

KeyPathWriter::KeyPathWriter(PdfDocument* document, const WString& fileName)
    : document_(document),
      fileName_(fileName),
      stack_(8),
      root_(Ref<PdfDict>::adopt(new PdfDict())),
      current_(root_.get()) {}

KeyPathWriter::~KeyPathWriter() = default;

bool KeyPathWriter::begin(const WString&) {
    return false;
}

bool KeyPathWriter::value(const WString&) {
    return false;
}

bool KeyPathWriter::end() {
    return false;
}

bool KeyPathWriter::putNode(const WString& key, Storable& storable) {
    if (!current_ || saved_)
        return false;
    auto dict = Ref<PdfDict>::adopt(new PdfDict());
    ObjectRef name = keyName(key);
    if (!dict || !name || !stack_.append(current_))
        return false;
    current_ = dict.get();
    const bool stored = storable.save(*this);
    PdfDict* parent = stack_[stack_.count() - 1];
    stack_.setSize(stack_.count() - 1);
    current_ = parent;
    if (!stored || !parent)
        return false;
    return parent->put(std::move(name), std::move(dict));
}

bool KeyPathWriter::putString(const WString& key, const WString& text) {
    if (!current_ || saved_)
        return false;
    ObjectRef value = ObjectRef::adopt(new PdfString(text));
    ObjectRef name = keyName(key);
    if (!value || !name)
        return false;
    return current_->put(std::move(name), std::move(value));
}

int KeyPathWriter::save() {
    if (saved_ || !document_ || !root_)
        return 0;
    // The document takes the root dictionary over, whatever the outcome.
    current_ = nullptr;
    const int result = document_->save(std::move(root_), fileName_);
    if (result == 1)
        saved_ = true;
    return result;
}

// ---------------------------------------------------------------------------

KeyPathReader::KeyPathReader(PdfDocument* document)
    : KeyPathReader(document ? document->privateData() : nullptr) {}

KeyPathReader::KeyPathReader(PdfDict* privateData)
    : hold_(Ref<PdfDict>::share(privateData)), current_(privateData), stack_(8) {}

KeyPathReader::~KeyPathReader() = default;

bool KeyPathReader::getNode(const WString& key, Storable& storable) {
    if (!current_)
        return false;
    ObjectRef name = keyName(key);
    if (!name)
        return false;
    PdfDict* found = asDict(current_->get(*name));
    if (!found || found == current_ || stack_.count() >= kMaxStoredTreeDepth ||
        entered_.count(found))
        return false;
    if (!stack_.append(current_))
        return false;
    // Held from now on: the tree may replace entries of the parent.
    entered_.emplace(found, Ref<PdfDict>::share(found));
    current_ = found;
    const bool loaded = storable.load(*this);
    current_ = stack_[stack_.count() - 1];
    stack_.setSize(stack_.count() - 1);
    return loaded;
}

bool KeyPathReader::getString(const WString& key, WString& text) {
    if (!current_)
        return false;
    ObjectRef name = keyName(key);
    if (!name)
        return false;
    PdfObject* value = current_->get(*name);
    PdfObject* direct = value ? value->direct() : nullptr;
    if (!direct || direct->kind() != kKindString)
        return false;
    return text.assign(static_cast<PdfString*>(direct)->textValue());
}

}  // namespace vistrel
