// Operators whose drawing work is not built yet: each makes only the change
// of parser state its operator stands for, so that the grammar of the
// content is enforced in full.
#include "engine/render/content/content_interpreter.h"
#include "engine/render/content/operators.h"

namespace vistrel {
namespace {

std::int32_t enter(ContentInterpreter& in, std::int32_t state) {
    in.setMode(state);
    return kStatusDone;
}

}  // namespace

// Inline images.
std::int32_t opBI(ContentInterpreter& in) {
    return enter(in, kStateInlineImage);
}
std::int32_t opID(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opEI(ContentInterpreter& in) {
    return enter(in, kStatePage);
}

}  // namespace vistrel
