// The content interpreter's operand stack (a PDF object of kind 13) and the
// operand fetches of the operator handlers.
#pragma once

#include <cstdint>

#include "engine/object/pdf_object.h"

namespace vistrel {

// Holds one reference on each operand. Reference counting never destroys the
// stack itself: it lives and dies with its owner.
class ContentOperandStack final : public PdfObject {
public:
    ContentOperandStack();
    ~ContentOperandStack() override;

    int32_t count() const { return items_.count(); }
    // Pushes, taking over the given reference; false when memory runs out.
    bool push(ObjectRef object);
    // The top operand with the reference the stack held; null when empty.
    ObjectRef pop();
    // The operand at depth n (0 the top), borrowed; null when there is none.
    PdfObject* peek(int32_t n) const;
    // Pops and releases every operand.
    void clear();

    uint16_t kind() const override;
    bool equals(const PdfObject* other) const override;
    WString typeName() const override;
    WString text(const FileKey* key = nullptr) const override;

private:
    PointerArray<PdfObject> items_;
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
