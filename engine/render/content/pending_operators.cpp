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

// Colour.
std::int32_t opg(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opG(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opk(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opK(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t oprg(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opRG(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opsc(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opSC(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opscn(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opSCN(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opcs(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opCS(ContentInterpreter&) {
    return kStatusDone;
}

// Path construction: into a path.
std::int32_t opm(ContentInterpreter& in) {
    return enter(in, kStatePath);
}
std::int32_t opl(ContentInterpreter& in) {
    return enter(in, kStatePath);
}
std::int32_t opc(ContentInterpreter& in) {
    return enter(in, kStatePath);
}
std::int32_t opv(ContentInterpreter& in) {
    return enter(in, kStatePath);
}
std::int32_t opy(ContentInterpreter& in) {
    return enter(in, kStatePath);
}
std::int32_t oph(ContentInterpreter& in) {
    return enter(in, kStatePath);
}
std::int32_t opre(ContentInterpreter& in) {
    return enter(in, kStatePath);
}

// Painting: back to page level.
std::int32_t opf(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opF(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opfstar(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opn(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opS(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t ops(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opB(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opBstar(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opb(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opbstar(ContentInterpreter& in) {
    return enter(in, kStatePage);
}

// Clipping.
std::int32_t opW(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opWstar(ContentInterpreter&) {
    return kStatusDone;
}

// Text objects and text showing.
std::int32_t opBT(ContentInterpreter& in) {
    return enter(in, kStateText);
}
std::int32_t opET(ContentInterpreter& in) {
    return enter(in, kStatePage);
}
std::int32_t opTf(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opTj(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opTJ(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opquote(ContentInterpreter&) {
    return kStatusDone;
}
std::int32_t opdquote(ContentInterpreter&) {
    return kStatusDone;
}

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
