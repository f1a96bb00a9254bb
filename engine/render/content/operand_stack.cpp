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
    if (!items_.append(Operand{object.get(), 0.0, 0, false, false}))
        return false;
    (void)object.detach();
    return true;
}

bool ContentOperandStack::pushNumber(bool isReal, int32_t intValue, double realValue) {
    // The values a number object made from the token keeps.
    if (isReal)
        return items_.append(Operand{nullptr, realValue, truncateToInt(realValue), true, false});
    return items_.append(Operand{nullptr, double(intValue), intValue, true, true});
}

ObjectRef ContentOperandStack::numberObject(const Operand& operand) {
    if (operand.isInteger)
        return makeRef<PdfNumber>(operand.intValue);
    return makeRef<PdfNumber>(operand.realValue);
}

ObjectRef ContentOperandStack::pop() {
    const int32_t n = items_.count();
    if (n == 0)
        return nullptr;
    const Operand top = items_[n - 1];
    items_.setSize(n - 1);
    return top.isNumber ? numberObject(top) : ObjectRef::adopt(top.object);
}

PdfObject* ContentOperandStack::peek(int32_t n) {
    const int32_t c = items_.count();
    if (n < 0 || n >= c)
        return nullptr;
    Operand& operand = items_[c - 1 - n];
    if (operand.isNumber)
        operand = Operand{numberObject(operand).detach(), 0.0, 0, false, false};
    return operand.object;
}

int32_t ContentOperandStack::kindAt(int32_t n) const {
    const int32_t c = items_.count();
    if (n < 0 || n >= c)
        return -1;
    const Operand& operand = items_[c - 1 - n];
    if (operand.isNumber)
        return kKindNumber;
    return operand.object ? operand.object->kind() : -1;
}

void ContentOperandStack::clear() {
    // Released from the top down, as popping would.
    for (int32_t i = items_.count() - 1; i >= 0; --i) {
        if (!items_[i].isNumber)
            releaseRef(items_[i].object);
    }
    items_.clear();
}

template <class T>
T ContentOperandStack::popValue(T Operand::*field, T (PdfNumber::*value)() const) {
    const Operand& top = items_[items_.count() - 1];
    if (top.isNumber) {
        const T v = top.*field;
        items_.setSize(items_.count() - 1);
        return v;
    }
    ObjectRef operand = pop();
    PdfNumber* n = asNumber(operand.get());
    return n ? (n->*value)() : T(0);
}

int32_t ContentOperandStack::popInt() {
    return popValue(&Operand::intValue, &PdfNumber::intValue);
}

double ContentOperandStack::popReal() {
    return popValue(&Operand::realValue, &PdfNumber::realValue);
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
    return stack.count() == 0 ? 0 : stack.popInt();
}

double FetchRealOperand(ContentOperandStack& stack) {
    return stack.count() == 0 ? 0.0 : stack.popReal();
}

}  // namespace vistrel
