#include "engine/render/content/operator_tables.h"

#include <iterator>

#include "engine/constants/constant_registry.h"
#include "engine/constants/constant_slot.h"
#include "engine/constants/keyword_constants.h"
#include "engine/render/content/operators.h"

namespace vistrel {
namespace {

// The parser states that accept an operator, one bit per state.
enum : unsigned {
    P = 1u << kStatePage,
    T = 1u << kStateText,
    A = 1u << kStatePath,
    I = 1u << kStateInlineImage
};

struct OperatorEntry {
    const KeywordConstant* op;
    OperatorHandler handler;
    unsigned states;
};

// The whole vocabulary: 70 operators; page level 40, text object 41, path
// 31, inline image 2.
const OperatorEntry kOperators[] = {
    {&keywords::d, opd, P | T},
    {&keywords::gs, opgs, P | T},
    {&keywords::i, opi, P | T},
    {&keywords::j, opj, P | T},
    {&keywords::J, opJ, P | T},
    {&keywords::M, opM, P | T},
    {&keywords::ri, opri, P | T},
    {&keywords::w, opw, P | T},
    {&keywords::q, opq, P},
    {&keywords::Q, opQ, P},
    {&keywords::cm, opcm, P},
    {&keywords::g, opg, P | T | A},
    {&keywords::G, opG, P | T | A},
    {&keywords::k, opk, P | T | A},
    {&keywords::K, opK, P | T | A},
    {&keywords::rg, oprg, P | T | A},
    {&keywords::RG, opRG, P | T | A},
    {&keywords::sc, opsc, P | T | A},
    {&keywords::SC, opSC, P | T | A},
    {&keywords::scn, opscn, P | T | A},
    {&keywords::SCN, opSCN, P | T | A},
    {&keywords::cs, opcs, P | T | A},
    {&keywords::CS, opCS, P | T | A},
    {&keywords::BMC, opBMC, P | T},
    {&keywords::BDC, opBDC, P | T},
    {&keywords::EMC, opEMC, P | T},
    {&keywords::MP, opMP, P | T},
    {&keywords::DP, opDP, P | T},
    {&keywords::sh, opsh, P},
    {&keywords::Do, opDo, P},
    {&keywords::PS, opPS, P},
    {&keywords::BI, opBI, P},
    {&keywords::BT, opBT, P},
    {&keywords::c, opc, P | A},
    {&keywords::h, oph, P | A},
    {&keywords::l, opl, P | A},
    {&keywords::m, opm, P | A},
    {&keywords::re, opre, P | A},
    {&keywords::v, opv, P | A},
    {&keywords::y, opy, P | A},
    {&keywords::Tc, opTc, T},
    {&keywords::TL, opTL, T},
    {&keywords::Tr, opTr, T},
    {&keywords::Ts, opTs, T},
    {&keywords::Tw, opTw, T},
    {&keywords::Tz, opTz, T},
    {&keywords::Td, opTd, T},
    {&keywords::TD, opTD, T},
    {&keywords::Tm, opTm, T},
    {&keywords::T_star, opTstar, T},
    {&keywords::Tf, opTf, T},
    {&keywords::Tj, opTj, T},
    {&keywords::TJ, opTJ, T},
    {&keywords::quote, opquote, T},
    {&keywords::dquote, opdquote, T},
    {&keywords::ET, opET, T},
    {&keywords::f, opf, A},
    {&keywords::F, opF, A},
    {&keywords::f_star, opfstar, A},
    {&keywords::n, opn, A},
    {&keywords::s, ops, A},
    {&keywords::S, opS, A},
    {&keywords::b, opb, A},
    {&keywords::b_star, opbstar, A},
    {&keywords::B, opB, A},
    {&keywords::B_star, opBstar, A},
    {&keywords::W, opW, A},
    {&keywords::W_star, opWstar, A},
    {&keywords::ID, opID, I},
    {&keywords::EI, opEI, I},
};

// Storage of the global tables and maps; the registry below constructs them
// in place at load and destroys them at unload.
enum TableIndex {
    kPageTable,
    kReducedPageTable,
    kTextTable,
    kPathTable,
    kInlineImageTable,
    kTableCount
};
ConstantSlot<OperatorTable> tableSlots[kTableCount];
ConstantSlot<OperatorStateMap> fullMapSlot;
ConstantSlot<OperatorStateMap> reducedMapSlot;

void buildTables() {
    tableSlots[kPageTable].construct(kStatePage);
    tableSlots[kReducedPageTable].construct(kStatePage, false);
    tableSlots[kTextTable].construct(kStateText);
    tableSlots[kPathTable].construct(kStatePath);
    tableSlots[kInlineImageTable].construct(kStateInlineImage);
}

void destroyTables() {
    for (int i = kTableCount; i-- > 0;)
        tableSlots[i].destroy();
}

void buildMaps() {
    fullMapSlot.construct();
    reducedMapSlot.construct();
}

void destroyMaps() {
    reducedMapSlot.destroy();
    fullMapSlot.destroy();
}

// Built after the engine's constants (the tables are keyed by the operator
// keywords), destroyed before them.
constexpr ConstantGroup kContentGroups[] = {
    {"content-operator tables", buildTables, destroyTables},
    {"operator state maps", buildMaps, destroyMaps},
};

constinit ConstantRegistry contentRegistry{kContentGroups, std::size(kContentGroups)};

__attribute__((constructor(102))) void buildContentTables() {
    contentRegistry.buildAll();
}
__attribute__((destructor(102))) void destroyContentTables() {
    contentRegistry.destroyAll();
}

}  // namespace

OperatorTable::OperatorTable(std::int32_t state, bool withTextObjects) {
    const unsigned bit = 1u << state;
    for (const OperatorEntry& e : kOperators) {
        if (!(e.states & bit))
            continue;
        if (!withTextObjects && e.op == &keywords::BT)
            continue;
        table_.insert(const_cast<KeywordConstant*>(e.op), e.handler);
    }
}

const OperatorTable& pageOperatorTable() {
    return tableSlots[kPageTable].object;
}
const OperatorTable& reducedPageOperatorTable() {
    return tableSlots[kReducedPageTable].object;
}
const OperatorTable& textOperatorTable() {
    return tableSlots[kTextTable].object;
}
const OperatorTable& pathOperatorTable() {
    return tableSlots[kPathTable].object;
}
const OperatorTable& inlineImageOperatorTable() {
    return tableSlots[kInlineImageTable].object;
}

OperatorStateMap& fullOperatorStateMap() {
    return fullMapSlot.object;
}
OperatorStateMap& reducedOperatorStateMap() {
    return reducedMapSlot.object;
}

void fillOperatorStateMaps() {
    OperatorStateMap& full = fullOperatorStateMap();
    full.put(kStatePage, &pageOperatorTable());
    full.put(kStateText, &textOperatorTable());
    full.put(kStatePath, &pathOperatorTable());
    full.put(kStateInlineImage, &inlineImageOperatorTable());
    OperatorStateMap& reduced = reducedOperatorStateMap();
    reduced.put(kStatePage, &reducedPageOperatorTable());
    reduced.put(kStatePath, &pathOperatorTable());
    reduced.put(kStateInlineImage, &inlineImageOperatorTable());
}

}  // namespace vistrel
