// The handlers of the content operators, one per operator. Each takes its
// operands from the top of the interpreter's operand stack (the last operand
// written first) and answers a status of operator_tables.h.
#pragma once

#include <cstdint>

#include "engine/object/pdf_object.h"

namespace vistrel {

class ContentInterpreter;

// Graphics state.
std::int32_t opq(ContentInterpreter& in);
std::int32_t opQ(ContentInterpreter& in);
std::int32_t opcm(ContentInterpreter& in);
std::int32_t opw(ContentInterpreter& in);
std::int32_t opJ(ContentInterpreter& in);
std::int32_t opj(ContentInterpreter& in);
std::int32_t opM(ContentInterpreter& in);
std::int32_t opd(ContentInterpreter& in);
std::int32_t opi(ContentInterpreter& in);
std::int32_t opri(ContentInterpreter& in);
std::int32_t opgs(ContentInterpreter& in);

// Colour.
std::int32_t opg(ContentInterpreter& in);
std::int32_t opG(ContentInterpreter& in);
std::int32_t opk(ContentInterpreter& in);
std::int32_t opK(ContentInterpreter& in);
std::int32_t oprg(ContentInterpreter& in);
std::int32_t opRG(ContentInterpreter& in);
std::int32_t opsc(ContentInterpreter& in);
std::int32_t opSC(ContentInterpreter& in);
std::int32_t opscn(ContentInterpreter& in);
std::int32_t opSCN(ContentInterpreter& in);
std::int32_t opcs(ContentInterpreter& in);
std::int32_t opCS(ContentInterpreter& in);

// Path construction, painting and clipping.
std::int32_t opm(ContentInterpreter& in);
std::int32_t opl(ContentInterpreter& in);
std::int32_t opc(ContentInterpreter& in);
std::int32_t opv(ContentInterpreter& in);
std::int32_t opy(ContentInterpreter& in);
std::int32_t oph(ContentInterpreter& in);
std::int32_t opre(ContentInterpreter& in);
std::int32_t opf(ContentInterpreter& in);
std::int32_t opF(ContentInterpreter& in);
std::int32_t opfstar(ContentInterpreter& in);
std::int32_t opn(ContentInterpreter& in);
std::int32_t opS(ContentInterpreter& in);
std::int32_t ops(ContentInterpreter& in);
std::int32_t opB(ContentInterpreter& in);
std::int32_t opBstar(ContentInterpreter& in);
std::int32_t opb(ContentInterpreter& in);
std::int32_t opbstar(ContentInterpreter& in);
std::int32_t opW(ContentInterpreter& in);
std::int32_t opWstar(ContentInterpreter& in);

// Text objects, text state, positioning and showing.
std::int32_t opBT(ContentInterpreter& in);
std::int32_t opET(ContentInterpreter& in);
std::int32_t opTc(ContentInterpreter& in);
std::int32_t opTw(ContentInterpreter& in);
std::int32_t opTz(ContentInterpreter& in);
std::int32_t opTL(ContentInterpreter& in);
std::int32_t opTr(ContentInterpreter& in);
std::int32_t opTs(ContentInterpreter& in);
std::int32_t opTd(ContentInterpreter& in);
std::int32_t opTD(ContentInterpreter& in);
std::int32_t opTm(ContentInterpreter& in);
std::int32_t opTstar(ContentInterpreter& in);
std::int32_t opTf(ContentInterpreter& in);
std::int32_t opTj(ContentInterpreter& in);
std::int32_t opTJ(ContentInterpreter& in);
std::int32_t opquote(ContentInterpreter& in);
std::int32_t opdquote(ContentInterpreter& in);
// What "Tf" does once it has found the font dictionary (also the font entry
// of "gs"): the font recorded under `key` in the run's font-use map, or one
// made from the dictionary and recorded there, becomes current at `size`,
// taking over the position of the font before it.
std::int32_t selectFont(ContentInterpreter& in, ObjectRef key, PdfDict& fontDict, double size);

// External objects, inline images, shading, marked content.
std::int32_t opDo(ContentInterpreter& in);
std::int32_t opBI(ContentInterpreter& in);
std::int32_t opID(ContentInterpreter& in);
std::int32_t opEI(ContentInterpreter& in);
std::int32_t opsh(ContentInterpreter& in);
std::int32_t opPS(ContentInterpreter& in);
std::int32_t opBMC(ContentInterpreter& in);
std::int32_t opBDC(ContentInterpreter& in);
std::int32_t opEMC(ContentInterpreter& in);
std::int32_t opMP(ContentInterpreter& in);
std::int32_t opDP(ContentInterpreter& in);

}  // namespace vistrel
