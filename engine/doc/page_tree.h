// The page tree: pages found by number, page attributes looked up with
// inheritance through /Parent, and page sizes from the page boxes and
// /Rotate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/core/ref.h"
#include "engine/doc/pdf_page.h"
#include "engine/doc/typed_objects.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

// The value of `key` for the page: its own entry, else (with `inherit`) the
// nearest pages node's up the /Parent chain; borrowed, or null. Callers
// inherit "/Resources", "/MediaBox", "/CropBox" and "/Rotate", never
// "/Annots".
PdfObject* getInheritedAttribute(PdfDict* page, const PdfObject& key, bool inherit);

// Most pages a page tree lists: the most objects a file may number.
inline constexpr size_t kMaxPageCount = (size_t(1) << 23) - 1;

// The pages under the pages node in tree order: every element of a /Kids
// array that is a page, as it stands there (a reference or a direct page),
// with the pages of every kid that is a pages node (toPagesNode) in its
// place. /Count is not consulted. A node listed below itself (a /Kids cycle)
// adds nothing, nodes deeper than kMaxPageTreeDepth are not entered, and a
// node listed twice is walked once, so the work is linear in the size of the
// tree and of the list, which ends at kMaxPageCount pages.
std::vector<ObjectRef> listPages(PdfDict* root);

// Finds a page by its place in the tree without listing every page: from the
// root down, through the /Count values of the kids before it. A pages node's
// /Count is taken only when it checks against what the node's own kids hold
// (a page 1, a pages node its /Count, anything else 0), and a node is passed
// through only when the /Count of every pages node among its kids checks so
// too; a node listed below itself, a kid that is no reference to a pages
// node, and nodes near kMaxPageTreeDepth end the descent. Where the descent
// ends without a page, listPages tells. What is learned of each node (by
// object number) is kept, so that a lookup costs the depth of the tree once
// the nodes on its way were read.
class PageFinder {
public:
    // The page at the 0-based place, borrowed; null when the descent cannot
    // tell it (the place beyond the pages the counts tell included).
    PdfPage* find(PdfDict* root, size_t place);
    // The pages the root's counts tell where a descent passing the root
    // takes them (the root's /Count and that of every pages node among its
    // kids check); -1 otherwise.
    int64_t count(PdfDict* root);
    // Forgets what was learned.
    void clear() { nodes_.clear(); }

private:
    // The /Count of a pages node when its kids add up to it (a page 1, a
    // pages node its /Count as it stands, anything else 0), else -1.
    int64_t checkedCount(PdfDict& node, int32_t number);
    // Learns the pages before each kid of a node and, last, all of them;
    // none when the node's /Count or that of a pages node among its kids
    // does not check.
    void learnPlaces(PdfDict& node, int32_t number);
    // The kid of a node whose pages hold a place, and the pages before it;
    // false when the node's places are not known or the place lies beyond
    // them.
    bool locate(PdfDict& node, int32_t number, size_t place, int32_t& kid, size_t& before);
    // The pages before each kid of a node and, last, all of them, learned
    // on the first use; empty when the counts do not check.
    const std::vector<int32_t>& places(PdfDict& node, int32_t number);

    // What is known of a node with an object number.
    struct Learned {
        int64_t count = -2;  // checkedCount; -2 before it was worked out
        bool placed = false;
        std::vector<int32_t> before;  // learnPlaces; empty when none
    };
    std::unordered_map<int32_t, Learned> nodes_;
};

// The page size in whole points after rotation: the inherited /CropBox, else
// the inherited /MediaBox, with width and height swapped for any inherited
// /Rotate other than 0 and 180 (modulo 360). False, with the outputs left
// unchanged, when the page has neither box.
bool getPageBoxes(PdfDict* page, int32_t& width, int32_t& height);

// The pages node an object stands for: itself when it is one, else a new
// pages node copied from a dictionary with both /Kids and /Count. Null
// otherwise.
Ref<PagesNode> toPagesNode(PdfObject* object);

}  // namespace vistrel
