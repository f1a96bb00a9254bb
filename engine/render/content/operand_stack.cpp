#include "engine/render/content/operand_stack.h"

namespace vistrel {

ContentOperandStack::ContentOperandStack() {
    makeConstant();
    setValid(true);
}

ContentOperandStack::~ContentOperandStack() {
    clear();
}

bool ContentOperandStack::push(ObjectRef object) {
    if (!items_.append(object.get()))
        return false;
    (void)object.detach();
    return true;
}

ObjectRef ContentOperandStack::pop() {
    const int32_t n = items_.count();
    if (n == 0)
        return nullptr;
    PdfObject* top = items_[n - 1];
    items_.setSize(n - 1);
    return ObjectRef::adopt(top);
}

PdfObject* ContentOperandStack::peek(int32_t n) const {
    const int32_t c = items_.count();
    return n >= 0 && n < c ? items_[c - 1 - n] : nullptr;
}

void ContentOperandStack::clear() {
    while (count() > 0)
        pop();
}

uint16_t ContentOperandStack::kind() const {
    return kKindOperandStack;
}

bool ContentOperandStack::equals(const PdfObject* other) const {
    return other == this;
}

WString ContentOperandStack::typeName() const {
    return WString(u"***stack***");
}
WString ContentOperandStack::text(const FileKey*) const {
    return WString(u"***stack***");
}

Ref<PdfName> FetchNameOperand(ContentOperandStack& stack) {
    ObjectRef operand = stack.pop();
    if (!operand)
        return nullptr;
    PdfObject* d = operand->direct();
    if (!d || d->kind() != kKindName)
        return nullptr;
    // A reference on the name itself, whether the operand was the name or a
    // reference to it.
    return Ref<PdfName>::share(static_cast<PdfName*>(d));
}

int32_t FetchIntOperand(ContentOperandStack& stack) {
    if (stack.count() == 0)
        return 0;
    ObjectRef operand = stack.pop();
    PdfNumber* n = asNumber(operand.get());
    return n ? n->intValue() : 0;
}

double FetchRealOperand(ContentOperandStack& stack) {
    if (stack.count() == 0)
        return 0.0;
    ObjectRef operand = stack.pop();
    PdfNumber* n = asNumber(operand.get());
    return n ? n->realValue() : 0.0;
}

}  // namespace vistrel
