// The source of the "Standard" font category: a font asked for by face
// name and style rather than by a document's font dictionary. The face list
// holds one face name or several alternatives separated by ';', tried in
// order.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/font/differences.h"

namespace vistrel {

class StandardFontRequest {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    StandardFontRequest() = default;
    StandardFontRequest(const StandardFontRequest&) = delete;
    StandardFontRequest& operator=(const StandardFontRequest&) = delete;

    // A copy of every field, the differences included, with another face
    // list; null when memory runs out.
    Ref<StandardFontRequest> withFaces(const WString& faces) const;

    void addRef() { ++refCount_; }
    void release() {
        if (--refCount_ == 0)
            delete this;
    }
    std::uint32_t refCount() const { return refCount_; }

    WString name;
    // (code, glyph name) pairs, or none.
    std::unique_ptr<Differences> differences;
    std::int32_t weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    WString faces;

private:
    ~StandardFontRequest() = default;

    std::uint32_t refCount_ = 1;
};

}  // namespace vistrel
