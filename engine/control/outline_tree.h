// The document outline as a tree of nodes (the "TOC" tree).
#pragma once

#include <cstdint>

#include "engine/control/tree_node.h"

namespace vistrel {

class PdfDict;

// Levels of the outline that are built below the node given first; deeper
// items are left out.
inline constexpr int32_t kMaxOutlineDepth = kMaxTreeDepth;

// Adds to parent one kid per item of the item's /First chain (along /Next),
// each with its own items below it: a TOC node holding the item's
// destination (its /Dest, else the /D of a GoTo /A) or, without one, a State
// node of page 0; named by its /Title string (else "Page 0--100%"). /Count
// and /Open are not consulted. An item met a second time in one walk ends
// the chain that leads to it, so loops in /First and /Next stop; levels
// beyond kMaxOutlineDepth are not built.
void buildOutlineTree(TreeNode& parent, PdfDict& item);

}  // namespace vistrel
