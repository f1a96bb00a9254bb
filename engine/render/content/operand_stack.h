// The content interpreter's operand stack (a PDF object of kind 13) and the
// operand fetches of the operator handlers.
#pragma once

#include <cstdint>

#include "engine/object/pdf_object.h"

namespace vistrel {

// Holds one reference on each object operand. Number operands, which the
// content loop reads most, are kept as values: an operator that takes them
// as numbers makes no object, one that takes them as objects gets a new
// number object equal to the one the parser makes of the token. Reference
// counting never destroys the stack itself: it lives and dies with its
// owner.
class ContentOperandStack final : public PdfObject {
public:
    ContentOperandStack();
    ~ContentOperandStack() override;

    int32_t count() const { return items_.count(); }
    // Pushes, taking over the given reference; false when memory runs out.
    bool push(ObjectRef object);
    // Pushes a number operand as the tokenizer read it: an integer, or a real
    // when isReal; false when memory runs out.
    bool pushNumber(bool isReal, int32_t intValue, double realValue);
    // The top operand with the reference the stack held (a number operand as
    // a new number object); null when empty.
    ObjectRef pop();
    // The operand at depth n (0 the top), borrowed (a number operand becomes
    // a number object in its place); null when there is none.
    PdfObject* peek(int32_t n);
    // The kind of the operand at depth n, as peek(n) would answer it; -1 when
    // peek(n) would give null.
    int32_t kindAt(int32_t n) const;
    // Pops and releases every operand.
    void clear();

    // Pops the top operand (the stack must not be empty): a number gives its
    // integer or real value, anything else 0.
    int32_t popInt();
    double popReal();

    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

private:
    // An object (null allowed, as pushed) or a number's two values as a
    // number object keeps them.
    struct Operand {
        PdfObject* object;
        double realValue;
        int32_t intValue;
        bool isNumber;
        bool isInteger;
    };
    static ObjectRef numberObject(const Operand& operand);
    // Pops the top operand: a number gives its value (the field of a value
    // operand, the getter's of a number object), anything else 0.
    template <class T>
    T popValue(T Operand::*field, T (PdfNumber::*value)() const);

    GrowableArray<Operand> items_;
};

// Pops one operand: its direct object when that is a name, else null (the
// operand is released). Null when the stack is empty.
Ref<PdfName> FetchNameOperand(ContentOperandStack& stack);
// 0 when the stack is empty (nothing popped); otherwise pops one operand: a
// number gives its integer value, anything else 0.
int32_t FetchIntOperand(ContentOperandStack& stack);
// As FetchIntOperand with the real value.
double FetchRealOperand(ContentOperandStack& stack);

}  // namespace vistrel
