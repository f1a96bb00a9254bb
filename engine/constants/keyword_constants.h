// The engine's global PDF keyword constants: file-structure keywords, the
// words of the PostScript calculator, the boolean words and the content-stream
// operators, in load order. Built by the constant registry right after the name
// constants; use them by name: keywords::BT. Identifiers that are no C++ names
// are spelled out ("T*" is T_star, "'" is quote, "and" is and_).
#pragma once

#include "engine/constants/constant_slot.h"
#include "engine/object/pdf_object.h"

// X(identifier, text), in load order.
#define VISTREL_KEYWORD_CONSTANTS(X)             \
    /* File-structure keywords (5) */            \
    X(trailer, u"trailer")                       \
    X(xref, u"xref")                             \
    X(R, u"R")                                   \
    X(obj, u"obj")                               \
    X(stream, u"stream")                         \
    /* PostScript calculator words (42) */       \
    X(abs, u"abs")                               \
    X(add, u"add")                               \
    X(and_, u"and")                              \
    X(atan, u"atan")                             \
    X(bitshift, u"bitshift")                     \
    X(ceiling, u"ceiling")                       \
    X(cos, u"cos")                               \
    X(cvi, u"cvi")                               \
    X(cvr, u"cvr")                               \
    X(div, u"div")                               \
    X(exp, u"exp")                               \
    X(floor, u"floor")                           \
    X(idiv, u"idiv")                             \
    X(ln, u"ln")                                 \
    X(log, u"log")                               \
    X(mod, u"mod")                               \
    X(mul, u"mul")                               \
    X(neg, u"neg")                               \
    X(not_, u"not")                              \
    X(or_, u"or")                                \
    X(round, u"round")                           \
    X(sin, u"sin")                               \
    X(sqrt, u"sqrt")                             \
    X(sub, u"sub")                               \
    X(truncate, u"truncate")                     \
    X(xor_, u"xor")                              \
    X(eq, u"eq")                                 \
    X(ge, u"ge")                                 \
    X(gt, u"gt")                                 \
    X(if_, u"if")                                \
    X(ifelse, u"ifelse")                         \
    X(le, u"le")                                 \
    X(lt, u"lt")                                 \
    X(ne, u"ne")                                 \
    X(copy, u"copy")                             \
    X(dup, u"dup")                               \
    X(exch, u"exch")                             \
    X(index, u"index")                           \
    X(pop, u"pop")                               \
    X(roll, u"roll")                             \
    X(lbrace, u"{")                              \
    X(rbrace, u"}")                              \
    /* Boolean words (2) */                      \
    X(true_, u"true")                            \
    X(false_, u"false")                          \
    /* Operators: general graphics state (8) */  \
    X(d, u"d")                                   \
    X(gs, u"gs")                                 \
    X(i, u"i")                                   \
    X(j, u"j")                                   \
    X(J, u"J")                                   \
    X(M, u"M")                                   \
    X(ri, u"ri")                                 \
    X(w, u"w")                                   \
    /* Operators: special graphics state (3) */  \
    X(q, u"q")                                   \
    X(Q, u"Q")                                   \
    X(cm, u"cm")                                 \
    /* Operators: colour (12) */                 \
    X(g, u"g")                                   \
    X(G, u"G")                                   \
    X(k, u"k")                                   \
    X(K, u"K")                                   \
    X(rg, u"rg")                                 \
    X(RG, u"RG")                                 \
    X(sc, u"sc")                                 \
    X(SC, u"SC")                                 \
    X(scn, u"scn")                               \
    X(SCN, u"SCN")                               \
    X(cs, u"cs")                                 \
    X(CS, u"CS")                                 \
    /* Operators: text state (7) */              \
    X(Tc, u"Tc")                                 \
    X(Tf, u"Tf")                                 \
    X(TL, u"TL")                                 \
    X(Tr, u"Tr")                                 \
    X(Ts, u"Ts")                                 \
    X(Tw, u"Tw")                                 \
    X(Tz, u"Tz")                                 \
    /* Operators: text showing (4) */            \
    X(Tj, u"Tj")                                 \
    X(TJ, u"TJ")                                 \
    X(quote, u"'")                               \
    X(dquote, u"\"")                             \
    /* Operators: text positioning (4) */        \
    X(Td, u"Td")                                 \
    X(TD, u"TD")                                 \
    X(Tm, u"Tm")                                 \
    X(T_star, u"T*")                             \
    /* Operators: path construction (7) */       \
    X(c, u"c")                                   \
    X(h, u"h")                                   \
    X(l, u"l")                                   \
    X(m, u"m")                                   \
    X(re, u"re")                                 \
    X(v, u"v")                                   \
    X(y, u"y")                                   \
    /* Operators: path painting (10) */          \
    X(f, u"f")                                   \
    X(F, u"F")                                   \
    X(f_star, u"f*")                             \
    X(n, u"n")                                   \
    X(s, u"s")                                   \
    X(S, u"S")                                   \
    X(b, u"b")                                   \
    X(b_star, u"b*")                             \
    X(B, u"B")                                   \
    X(B_star, u"B*")                             \
    /* Operators: clipping (2) */                \
    X(W, u"W")                                   \
    X(W_star, u"W*")                             \
    /* Operators: marked content (5) */          \
    X(BMC, u"BMC")                               \
    X(BDC, u"BDC")                               \
    X(EMC, u"EMC")                               \
    X(MP, u"MP")                                 \
    X(DP, u"DP")                                 \
    /* Operators: shading (1) */                 \
    X(sh, u"sh")                                 \
    /* Operators: inline images (3) */           \
    X(EI, u"EI")                                 \
    X(BI, u"BI")                                 \
    X(ID, u"ID")                                 \
    /* Operators: external objects (1) */        \
    X(Do, u"Do")                                 \
    /* Operators: PostScript pass-through (1) */ \
    X(PS, u"PS")                                 \
    /* Operators: text objects (2) */            \
    X(BT, u"BT")                                 \
    X(ET, u"ET")

namespace vistrel {

namespace detail {
#define VISTREL_X(id, text) kKeyword_##id,
enum KeywordConstantIndex : int { VISTREL_KEYWORD_CONSTANTS(VISTREL_X) kKeywordConstantCount };
#undef VISTREL_X
extern ConstantSlot<KeywordConstant> keywordConstantSlots[kKeywordConstantCount];
}  // namespace detail

namespace keywords {
#define VISTREL_X(id, text)                \
    inline constexpr KeywordConstant& id = \
        detail::keywordConstantSlots[detail::kKeyword_##id].object;
VISTREL_KEYWORD_CONSTANTS(VISTREL_X)
#undef VISTREL_X
}  // namespace keywords

}  // namespace vistrel
